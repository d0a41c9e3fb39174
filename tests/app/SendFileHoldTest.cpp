// Send File holds the port: typed keys and pastes never land inside the file's bytes, a file
// that changes size or is written again stops with a word, and a paste to a closed port says why
// not.
#include "ToolsOnPty.h"
#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
namespace kestrel::test {
namespace {
using namespace std::chrono_literals;
using Text = std::string;
const Text kTitle = "kestrel-terminal - Send File";
// 2 MB of bytes that tell every offset apart; no byte is a typed 'k' or a pasted 'P'.
Text Image() {
  Text file(2u << 20, '\0');
  for (std::size_t i = 0, seed = 7; i < file.size(); ++i)
    file[i] = char(((seed = seed * 1103515245u + 12345u) >> 16) & 0x3F);
  return file;
}
TEST(SendFileOnPty, KeysAndPastesDuringASendAreRefusedAndTheFileArrivesByteExact) {
  TempDir dir;
  ToolsOnPty p(dir);
  if (!p.Ok())
    GTEST_SKIP() << "no pseudo-terminal to be had here";
  auto &t = *p.t;
  auto &x = *p.x;
  Pty &pty = *p.pty;
  UiQueue &ui = p.ui;
  ASSERT_TRUE(t.MSComm1.PortOpen());
  const Text file = Image();
  WriteFile(x.chooser.path = dir.File("image.bin"), file);
  Text arrived;
  std::thread reader([&] { arrived = pty.Read(file.size() + 1, 60s); });
  x.menu.mnuToolsSendFile_Click();
  int tries = 0;
  for (auto end = std::chrono::steady_clock::now() + 60s;
       x.progress.shown && std::chrono::steady_clock::now() < end; x.Advance(5), ++tries) {
    ui.PumpFor(5ms);
    if (tries % 7 == 0) {
      std::int16_t key = 'k', enter = 13;
      t.frm.rtfData_KeyPress(key);
      t.frm.rtfData_KeyPress(enter);
      EXPECT_EQ(t.sbTop.PanelText(1), "Typed keys are not sent while a file is sending");
    } else if (tries % 7 == 3) {
      x.menu.mnuToolsPaste_Click(U"PASTED\n"); // Paste to Port and a middle click alike
      EXPECT_EQ(t.sbTop.PanelText(1), "Paste to Port: nothing sent while a file is sending");
    }
  }
  ASSERT_GT(tries, 3) << "the send ended before anything was typed";
  EXPECT_EQ(x.menu.Sender().Status(), FileSender::State::Done);
  EXPECT_EQ(t.sbTop.PanelText(1), "Serial Port Active");
  std::int16_t key = 'k';
  t.frm.rtfData_KeyPress(key); // typing goes through again once the file is out
  reader.join();
  EXPECT_EQ(arrived.size(), file.size() + 1);
  EXPECT_EQ(std::count_if(arrived.begin(), arrived.end() - 1, [](char b) { return b >= 0x40; }), 0)
      << "typed or pasted bytes inside the file";
  EXPECT_TRUE(arrived.substr(0, file.size()) == file)
      << "first difference at "
      << std::mismatch(file.begin(), file.end(), arrived.begin(), arrived.end()).first -
             file.begin();
  EXPECT_EQ(arrived.substr(file.size()), "k");
  EXPECT_TRUE(t.messageBox.shown.empty());
}
class SendFileChangeTest : public TerminalTest {
protected:
  SendFileChangeTest() {
    c.Port(3, FakeCommControl::PortState::Free);
    Load("3", "9600,N,8,1");
  }
  FakeCommControl &c = t->MSComm1;
  ToolsOn x{*t};
};
// A file that shrinks or grows is told by its size; one written again in place at the same size
// (an image copied over) by its modification time.
TEST_F(SendFileChangeTest, AFileThatChangesWhileSendingStopsAndSaysHowMuchWent) {
  const Text file(2u << 20, 'f');
  const struct {
    const char *name;
    std::size_t newSize;
    bool writtenAgain;
  } rows[] = {{"shrinks", 458752, false},
              {"grows", (2u << 20) + 1000, false},
              {"emptied", 0, false},
              {"written again at the same size", 2u << 20, true}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (!c.PortOpen())
      t->frm.cmdOpenPort_Click();
    c.sent.clear();
    t->messageBox.shown.clear();
    const std::string path = x.chooser.path = dir.File("image.bin");
    WriteFile(path, file);
    x.menu.mnuToolsSendFile_Click();
    for (int tick = 0; tick < 5; ++tick) {
      c.Drain(30000);
      x.Advance(ToolsMenu::kSendTickMs);
    }
    ASSERT_TRUE(x.progress.shown);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    if (row.writtenAgain) {
      WriteFile(path, Text(file.size(), 'n')); // in place: the same file, a second later
      const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    } else {
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(row.newSize)), 0);
    }
    c.Drain(30000);
    x.Advance(ToolsMenu::kSendTickMs);
    EXPECT_FALSE(x.progress.shown);
    EXPECT_EQ(c.OutBufferCount(), 0) << "what was queued is thrown away";
    const Text went = c.sent;
    EXPECT_EQ(went, Text(went.size(), 'f'));
    EXPECT_GT(went.size(), 0u);
    const std::string told =
        row.writtenAgain
            ? "image.bin was written again while it was being sent. Sending stopped after " +
                  std::to_string(went.size()) + " bytes."
            : "image.bin changed size while it was being sent (2097152 bytes when chosen, " +
                  std::to_string(row.newSize) + " bytes now). Sending stopped after " +
                  std::to_string(went.size()) + " bytes.";
    EXPECT_EQ(t->messageBox.shown,
              (std::vector<Box>{{told, kTitle, MessageIcon::Exclamation, ""}}));
    x.Advance(100);
    EXPECT_EQ(c.sent, went) << "nothing more goes out";
  }
}
// A paste or a break refused while a file goes out is told while the send lasts; once the file
// is out or cancelled, the status bar shows the port again, as it does after a refused key. A
// break would take the bytes the line shifts out meanwhile.
TEST_F(SendFileChangeTest, APasteOrABreakRefusedWhileSendingIsToldOnlyWhileTheSendLasts) {
  const struct {
    const char *name;
    bool paste;
    bool cancelled;
    const char *told;
  } rows[] = {
      {"paste, file sent to the end", true, false,
       "Paste to Port: nothing sent while a file is sending"},
      {"paste, send cancelled", true, true, "Paste to Port: nothing sent while a file is sending"},
      {"break, file sent to the end", false, false, "Send Break: no break while a file is sending"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    if (!c.PortOpen())
      t->frm.cmdOpenPort_Click();
    c.sent.clear();
    WriteFile(x.chooser.path = dir.File("image.bin"), Text(1u << 20, 'f'));
    x.menu.mnuToolsSendFile_Click();
    ASSERT_TRUE(x.progress.shown);
    if (row.paste)
      x.menu.mnuToolsPaste_Click(U"reset\n");
    else
      x.menu.mnuToolsSendBreak_Click();
    EXPECT_EQ(t->sbTop.PanelText(1), row.told);
    if (row.cancelled)
      x.menu.cmdSendCancel_Click();
    for (int tick = 0; tick < 100 && x.progress.shown; ++tick) {
      c.Drain(1u << 20);
      x.Advance(ToolsMenu::kSendTickMs);
    }
    EXPECT_FALSE(x.progress.shown);
    EXPECT_EQ(t->sbTop.PanelText(1), "Serial Port Active");
    EXPECT_EQ(c.sent.find("reset"), Text::npos);
    EXPECT_EQ(c.breakHistory, std::vector<bool>{});
  }
}
// A file on a share that stalls: the read that hangs holds the sender no longer than its
// patience, Pump returns at once from then on, and the window goes on; Cancel lets the stalled
// reader go, and a share that comes back sends the rest exact.
TEST(SendFileStall, AStalledReadNeverHoldsTheSenderAndCancelLetsItGo) {
  struct Gate {
    std::mutex m;
    std::condition_variable changed;
    int reads = 0;
    bool open = false;     // the share answers again
    bool returned = false; // the held read came back
  };
  const struct {
    const char *name;
    bool cancelled;
  } rows[] = {{"cancelled while stalled", true}, {"the share comes back", false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const Text file = Image();
    WriteFile(dir.File("image.bin"), file);
    FakeCommControl comm;
    comm.Port(1, FakeCommControl::PortState::Free);
    comm.CommPort(1);
    comm.PortOpen(true);
    FileSender sender(comm);
    auto gate = std::make_shared<Gate>();
    // The third read hangs until the share answers again.
    sender.ReadWith([gate](int fd, char *buffer, std::size_t size) -> ssize_t {
      std::unique_lock lock(gate->m);
      if (++gate->reads == 3) {
        gate->changed.wait(lock, [&] { return gate->open; });
        gate->returned = true;
        gate->changed.notify_all();
      }
      lock.unlock();
      return ::read(fd, buffer, size);
    });
    ASSERT_EQ(sender.Open(dir.File("image.bin")), 0);
    for (int pump = 0; pump < 3; ++pump) {
      EXPECT_EQ(sender.Pump(), FileSender::State::Sending);
      comm.Drain(file.size());
    }
    EXPECT_EQ(comm.sent, file.substr(0, 2 * FileSender::kChunk)) << "two chunks before the stall";
    if (row.cancelled)
      sender.Cancel();
    {
      std::lock_guard lock(gate->m);
      gate->open = true;
    }
    gate->changed.notify_all();
    {
      std::unique_lock lock(gate->m);
      gate->changed.wait(lock, [&] { return gate->returned; });
    }
    for (int pump = 0; pump < 1000 && sender.Status() == FileSender::State::Sending; ++pump) {
      sender.Pump();
      comm.Drain(file.size());
      std::this_thread::sleep_for(1ms);
    }
    // The reader closes the file once it is let go or has read it all.
    const auto held = [&] {
      for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) == dir.File("image.bin"))
          return true;
      }
      return false;
    };
    for (int wait = 0; wait < 1000 && held(); ++wait)
      std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(held());
    if (row.cancelled) {
      EXPECT_EQ(sender.Status(), FileSender::State::Idle);
      EXPECT_EQ(comm.sent, file.substr(0, 2 * FileSender::kChunk)) << "nothing after Cancel";
    } else {
      EXPECT_EQ(sender.Status(), FileSender::State::Done);
      EXPECT_TRUE(comm.sent == file) << comm.sent.size() << " bytes of " << file.size();
    }
  }
}
TEST_F(SendFileChangeTest, PasteToAClosedPortSaysSoAsSendFileDoes) {
  x.menu.mnuToolsPaste_Click(U"reset\n");
  x.menu.mnuToolsSendFile_Click();
  const Box paste{"Open the port before pasting to it.", "kestrel-terminal - Paste to Port",
                  MessageIcon::Exclamation, ""};
  const Box send{"Open the port before sending a file.", kTitle, MessageIcon::Exclamation, ""};
  EXPECT_EQ(t->messageBox.shown, (std::vector<Box>{paste, send}));
  EXPECT_EQ(c.sent, "");
}
} // namespace
} // namespace kestrel::test
