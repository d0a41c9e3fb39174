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
  EXPECT_EQ(about.Width(), 6780);
  EXPECT_EQ(about.Image1Top(), 1816);
  EXPECT_EQ(about.lblTitleTop(), 1816);
  EXPECT_EQ(about.lblCopyrightTop(), 2016);
  EXPECT_EQ(about.lblVersionTop(), 2216);
  EXPECT_EQ(about.lblDescriptionTop(), 2616);
  std::tm noon{};
  // Noon: any daylight saving keeps the day.
  ::strptime("2009-01-13 12:00", "%Y-%m-%d %H:%M", &noon);
  const timeval times[2] = {{std::mktime(&noon), 0}, {std::mktime(&noon), 0}};
  WriteFile(app.ExePath(), "ELF");
  ASSERT_EQ(::utimes(app.ExePath().c_str(), times), 0);
  about.Form_Load();
  EXPECT_EQ(w.lblVersion.Caption(), "Version 1.3.0 - Tuesday Jan 13, 2009");
  w.shell.result = false;
  about.Form_Activate();
  w.tmrClose.Advance(3000);
  about.cmdWebsite_Click();
  w.tmrClose.Advance(4999);
  about.cmdOK_Click(1);
  EXPECT_EQ(w.window.unloads, 0);
  EXPECT_EQ(w.tmrClose.Interval(), 5000);
  EXPECT_EQ(w.tmrClose.fired, 0);
  w.tmrClose.Advance(1);
  EXPECT_EQ(w.window.unloads, 1);
  EXPECT_EQ(w.tmrClose.Interval(), 0);
  EXPECT_EQ(w.tmrClose.fired, 1);
  about.cmdOK_Click(0);
  about.Form_Activate();
  about.Form_DblClick();
  w.tmrClose.Advance(20000);
  EXPECT_EQ(w.window.unloads, 3) << "by OK and by a double-click";
  EXPECT_EQ(w.tmrClose.Interval(), 0);
  EXPECT_EQ(w.tmrClose.fired, 1);
}
