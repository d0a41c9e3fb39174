#include "FakeControls.h"
#include "TempDir.h"
#include "frmAbout.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sys/time.h>

namespace kestrel {
namespace {

using namespace test;

class About : public ::testing::Test {
protected:
  void SetUp() override {
    appInfo.folder = dir.Path();
    appInfo.name = "kestrel-terminal";
  }
  // The executable's last change, at local noon of the day given.
  void ExeChangedOn(int year, int month, int day) {
    WriteFile(dir.File("kestrel-terminal"), "\x7f"
                                            "ELF");
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    timeval times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(::utimes(dir.File("kestrel-terminal").c_str(), times), 0);
  }

  TempDir dir;
  FakeTimer tmrClose;
  FakeLabel lblVersion;
  FakeClock clock;
  FakeAppInfo appInfo;
  FakeShell shell;
  FakeForm form;
  frmAbout about{frmAboutControls{tmrClose, lblVersion, clock, appInfo, shell, form}};
};

TEST_F(About, VersionLineCarriesTheBuildAndTheExecutablesDate) {
  ExeChangedOn(2009, 1, 13);
  about.Form_Load();
  EXPECT_EQ(lblVersion.Caption(), "Version 1.3.0 - Tuesday Jan 13, 2009");
}

TEST_F(About, WithoutTheExecutableTheDesignTextStays) {
  about.Form_Load();
  EXPECT_EQ(lblVersion.Caption(), "Version 0.1 - January 13, 2009 (Alpha)");
}

TEST_F(About, LoadLaysTheTextBlockOutBelowTheBanner) {
  about.Form_Load();
  EXPECT_EQ(about.Width(), 6780);
  EXPECT_EQ(about.Image1Top(), 1816);
  EXPECT_EQ(about.lblTitleTop(), 1816);
  EXPECT_EQ(about.lblCopyrightTop(), 2016);
  EXPECT_EQ(about.lblVersionTop(), 2216);
  EXPECT_EQ(about.lblDescriptionTop(), 2616);
}

TEST_F(About, ClosesFiveSecondsAfterActivationOrTheLastWebsitePress) {
  tmrClose.OnTimer([this] { about.tmrClose_Timer(); });
  about.Form_Load();
  about.Form_Activate();
  tmrClose.Advance(3000);
  about.cmdWebsite_Click();
  EXPECT_EQ(shell.opened, std::vector<std::string>{frmAbout::WebsiteAddress});
  tmrClose.Advance(4999);
  EXPECT_EQ(form.unloads, 0);
  tmrClose.Advance(1);
  EXPECT_EQ(form.unloads, 1);
  EXPECT_EQ(tmrClose.Interval(), 0);
  tmrClose.Advance(20000);
  EXPECT_EQ(form.unloads, 1);
}

TEST_F(About, AFailingBrowserStillRestartsTheCountdown) {
  shell.result = false;
  tmrClose.Interval(5000);
  tmrClose.Advance(4000);
  about.cmdWebsite_Click();
  EXPECT_EQ(tmrClose.Interval(), 5000);
  tmrClose.Advance(4000);
  EXPECT_EQ(form.unloads, 0);
}

TEST_F(About, DoubleClickClosesAtOnceAndStopsTheTimer) {
  tmrClose.OnTimer([this] { about.tmrClose_Timer(); });
  about.Form_Activate();
  about.Form_DblClick();
  EXPECT_EQ(form.unloads, 1);
  tmrClose.Advance(10000);
  EXPECT_EQ(tmrClose.fired, 0);
  EXPECT_EQ(form.unloads, 1);
}

TEST_F(About, OnlyOkIndexZeroCloses) {
  about.cmdOK_Click(1);
  EXPECT_EQ(form.unloads, 0);
  about.cmdOK_Click(0);
  EXPECT_EQ(form.unloads, 1);
}

} // namespace
} // namespace kestrel
