/* The far end and the eye of bench/echo_latency.sh: a pseudo-terminal whose
 * slave is linked at PATH plays the board; keys are typed into the focused
 * window through XTest; the screen region is read back (XGetImage) each time
 * the X server reports that something was drawn on the screen (DAMAGE), so
 * the eye neither loads the server between frames nor sees a frame up to a
 * read-back late. With "poll" as the last argument the region is read back
 * continuously instead, as an earlier eye did. The board answers each key at
 * once with an echo line (its trial number); with "reply" it sends a reply
 * line 4 ms after the echo. A trial's answer is shown once the region differs
 * from its state before the key (for a reply: as it was when the reply was
 * sent) in at least 80 % of the pixels in which its settled state differs, so
 * a blinking cursor neither starts nor ends a measurement (a 32-bit screen);
 * its time is when the server told of the drawing that the read-back shows.
 * The latency is from the key (isolated) or from the reply's write (reply) to
 * that moment.
 * Prints "median p90 worst" in milliseconds, then the medians of the key's way
 * to the board and of the board's write to the screen. With ECHO_SAMPLES set,
 * each trial's three times are added to that file as a line; "pool FILE"
 * prints the same figures over all the trials such a file holds.
 * Usage: echo_far PATH isolated|reply TRIALS X Y WIDTH HEIGHT [poll]
 *        echo_far pool FILE */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static Display *dpy;
static int rx, ry, rw, rh;

static XImage *grab(void) {
  return XGetImage(dpy, DefaultRootWindow(dpy), rx, ry, rw, rh, AllPlanes, ZPixmap);
}

static long differ(XImage *a, XImage *b) {
  long n = 0;
  for (int y = 0; y < rh; ++y) {
    const unsigned *pa = (const unsigned *)(a->data + y * a->bytes_per_line);
    const unsigned *pb = (const unsigned *)(b->data + y * b->bytes_per_line);
    for (int x = 0; x < rw; ++x)
      n += (pa[x] & 0xffffff) != (pb[x] & 0xffffff);
  }
  return n;
}

static void drain(int m) {
  char buf[4096];
  while (read(m, buf, sizeof buf) > 0) {
  }
}

static int cmp(const void *a, const void *b) {
  double d = *(const double *)a - *(const double *)b;
  return (d > 0) - (d < 0);
}

/* Sorts the kept trials' times and prints the figures; 1 when none was kept. */
static int report(double *got, double *reached, double *onScreen, int kept, int trials) {
  qsort(got, (size_t)kept, sizeof *got, cmp);
  qsort(reached, (size_t)kept, sizeof *reached, cmp);
  qsort(onScreen, (size_t)kept, sizeof *onScreen, cmp);
  if (kept == 0)
    return printf("no answer was seen\n"), 1;
  printf("%.2f %.2f %.2f (%d of %d trials; medians: the key reached the board after %.2f ms, "
         "the screen %.2f ms after the board wrote)\n",
         got[kept / 2], got[(kept * 9) / 10], got[kept - 1], kept, trials, reached[kept / 2],
         onScreen[kept / 2]);
  return 0;
}

static int pool(const char *path) {
  FILE *const in = fopen(path, "r");
  if (!in)
    return perror(path), 1;
  int kept = 0, room = 0;
  double *got = NULL, *reached = NULL, *onScreen = NULL;
  double a, b, c;
  while (fscanf(in, "%lf %lf %lf", &a, &b, &c) == 3) {
    if (kept == room) {
      room = room ? 2 * room : 256;
      got = realloc(got, (size_t)room * sizeof *got);
      reached = realloc(reached, (size_t)room * sizeof *reached);
      onScreen = realloc(onScreen, (size_t)room * sizeof *onScreen);
      if (!got || !reached || !onScreen)
        return fprintf(stderr, "out of memory\n"), 1;
    }
    got[kept] = a, reached[kept] = b, onScreen[kept++] = c;
  }
  fclose(in);
  return report(got, reached, onScreen, kept, kept);
}

int main(int argc, char **argv) {
  if (argc == 3 && strcmp(argv[1], "pool") == 0)
    return pool(argv[2]);
  if (argc != 8 && !(argc == 9 && strcmp(argv[8], "poll") == 0)) {
    fprintf(stderr, "usage: echo_far PATH isolated|reply TRIALS X Y WIDTH HEIGHT [poll]\n"
                    "       echo_far pool FILE\n");
    return 2;
  }
  const int polling = argc == 9;
  const int reply = strcmp(argv[2], "reply") == 0;
  const int trials = atoi(argv[3]);
  rx = atoi(argv[4]), ry = atoi(argv[5]), rw = atoi(argv[6]), rh = atoi(argv[7]);
  int m, s;
  char name[256];
  if (openpty(&m, &s, name, NULL, NULL) != 0)
    return perror("openpty"), 1;
  struct termios raw;
  tcgetattr(s, &raw);
  cfmakeraw(&raw);
  tcsetattr(s, TCSANOW, &raw);
  tcgetattr(m, &raw);
  cfmakeraw(&raw);
  tcsetattr(m, TCSANOW, &raw);
  unlink(argv[1]);
  if (symlink(name, argv[1]) != 0)
    return perror("symlink"), 1;
  fcntl(m, F_SETFL, O_NONBLOCK);
  dpy = XOpenDisplay(NULL);
  if (!dpy)
    return fprintf(stderr, "no display\n"), 1;
  int damageEvent = 0, damageError = 0;
  if (!polling && !XDamageQueryExtension(dpy, &damageEvent, &damageError))
    return fprintf(stderr, "the X server has no DAMAGE extension\n"), 1;
  const Damage damage =
      polling ? 0 : XDamageCreate(dpy, DefaultRootWindow(dpy), XDamageReportNonEmpty);
  const int xfd = ConnectionNumber(dpy);
  printf("ready\n");
  fflush(stdout);
  /* Started once the program has the port open: told by a line on stdin. */
  char line[16];
  if (!fgets(line, sizeof line, stdin))
    return 1;
  const KeyCode key = XKeysymToKeycode(dpy, XK_w);
  double *got = calloc((size_t)trials, sizeof *got);
  double *reached = calloc((size_t)trials, sizeof *reached);   /* key to board */
  double *onScreen = calloc((size_t)trials, sizeof *onScreen); /* board to screen */
  const char *const samplesPath = getenv("ECHO_SAMPLES");
  FILE *const samples = samplesPath ? fopen(samplesPath, "a") : NULL;
  int kept = 0;
  for (int t = 0; t < trials; ++t) {
    drain(m);
    usleep(300000); /* a quiet spell, and a settled screen */
    if (!polling) {
      XDamageSubtract(dpy, damage, None, None);
      XSync(dpy, False);
      for (XEvent e; XPending(dpy);)
        XNextEvent(dpy, &e);
    }
    XImage *before = grab();
    const double pressed = now_ms();
    XTestFakeKeyEvent(dpy, key, True, 0);
    XTestFakeKeyEvent(dpy, key, False, 0);
    XFlush(dpy);
    struct pollfd p = {m, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) {
      fprintf(stderr, "trial %d: the key never reached the board\n", t);
      XDestroyImage(before);
      continue;
    }
    const double arrived = now_ms();
    drain(m);
    char echo[16], answer[64];
    snprintf(echo, sizeof echo, "w%05d\r\n", t); /* each differs, so a scrolled screen does too */
    snprintf(answer, sizeof answer, "reply %03d: ok, 42 files, 3 dirs\r\n", t);
    (void)!write(m, echo, strlen(echo));
    const double echoed = now_ms();
    double replied = echoed;
    /* Frames as they come, with their times, for half a second. */
    enum { kMax = 4000 };
    static long changed[kMax];
    static double at[kMax];
    int n = 0;
    int sentReply = !reply;
    while (now_ms() - echoed < 500 && n < kMax) {
      if (!sentReply && now_ms() - echoed >= 4) {
        /* The reply is judged against the screen as it is when it is sent,
         * echo and all, so an echo on time does not count as the reply. */
        XDestroyImage(before);
        before = grab();
        n = 0;
        (void)!write(m, answer, strlen(answer));
        replied = now_ms();
        sentReply = 1;
      }
      double drawn = now_ms();
      if (!polling) {
        /* Until the server tells of drawing, the reply is due or the trial ends. */
        int seen = 0;
        while (!seen) {
          while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            seen |= e.type == damageEvent + XDamageNotify;
          }
          if (seen)
            break;
          const double wait = (!sentReply ? echoed + 4 : echoed + 500) - now_ms();
          if (wait <= 0)
            break;
          struct pollfd x = {xfd, POLLIN, 0};
          poll(&x, 1, (int)wait + 1);
          if (!sentReply && now_ms() - echoed >= 4)
            break;
        }
        if (!seen)
          continue;
        drawn = now_ms();
        XDamageSubtract(dpy, damage, None, None);
      }
      XImage *frame = grab();
      at[n] = polling ? now_ms() : drawn;
      changed[n++] = differ(before, frame);
      XDestroyImage(frame);
      if (polling)
        usleep(300); /* leave the processor to the program watched */
    }
    const long settled = n > 0 ? changed[n - 1] : 0;
    double shown = -1;
    for (int i = 0; i < n && shown < 0; ++i)
      if (changed[i] * 10 >= settled * 8)
        shown = at[i];
    XDestroyImage(before);
    if (shown >= 0 && settled > 0) {
      reached[kept] = arrived - pressed;
      onScreen[kept] = shown - (reply ? replied : echoed);
      got[kept] = shown - (reply ? replied : pressed);
      if (samples)
        fprintf(samples, "%.3f %.3f %.3f\n", got[kept], reached[kept], onScreen[kept]);
      ++kept;
    } else
      fprintf(stderr, "trial %d: the screen did not change\n", t);
  }
  if (samples)
    fclose(samples);
  if (report(got, reached, onScreen, kept, trials) != 0)
    return 1;
  unlink(argv[1]);
  return 0;
}
