// The About box: its version line and layout, and closing 5 s after activation or the last Website
// press (even when no browser starts), at once on a double-click, and on OK only.
#include "FakeWindowHost.h"
#include "TempDir.h"
#include <ctime>
#include <gtest/gtest.h>
#include <sys/time.h>
using namespace kestrel::test;
TEST(About, VersionLineLayoutAndClosing) {
  TempDir dir;
  FakeClock clock;
  FakeAppInfo app;
  app.folder = dir.Path();
  FakeAboutWindow w(clock, app);
  auto &about = w.form;
  EXPECT_EQ(
      (std::vector<int>{about.Width(), about.Image1Top(), about.lblTitleTop(),
                        about.lblCopyrightTop(), about.lblVersionTop(), about.lblDescriptionTop()}),
      (std::vector<int>{6780, 1816, 1816, 2016, 2216, 2616}));
  std::tm noon{};
  ::strptime("2009-01-13 12:00", "%Y-%m-%d %H:%M",
             &noon); // noon: any daylight saving keeps the day
  const timeval times[2] = {{std::mktime(&noon), 0}, {std::mktime(&noon), 0}};
  WriteFile(app.ExePath(), "ELF");
  ASSERT_EQ(::utimes(app.ExePath().c_str(), times), 0);
  about.Form_Load();
  EXPECT_EQ(w.lblVersion.Caption(), "Version 1.3.0 - Tuesday Jan 13, 2009");
  auto state = [&] { // closes, the timer's interval, how often it fired
    return std::to_string(w.window.unloads) + " " + std::to_string(w.tmrClose.Interval()) + " " +
           std::to_string(w.tmrClose.fired);
  };
  w.shell.result = false;
  about.Form_Activate(), w.tmrClose.Advance(3000);
  about.cmdWebsite_Click(), w.tmrClose.Advance(4999);
  about.cmdOK_Click(1);
  EXPECT_EQ(state(), "0 5000 0");
  w.tmrClose.Advance(1);
  EXPECT_EQ(state(), "1 0 1");
  about.cmdOK_Click(0), about.Form_Activate(), about.Form_DblClick();
  w.tmrClose.Advance(20000);
  EXPECT_EQ(state(), "3 0 1");
}
