// The About box's logic: the version line built from the build's version
// numbers and the executable's last-change date, the layout of its text block
// in twips, and the self-closing countdown.
//
// The box closes itself five seconds after it was last activated or after the
// Website button was last pressed, at once on a double-click on its
// background, and on OK. The web site opens through the desktop's default
// handler; a failure is silent.
#pragma once

#include "Controls.h"
#include "Version.h"

#include <cstdint>
#include <string>

namespace kestrel {

struct frmAboutControls {
  ITimer &tmrClose;
  ILabel &lblVersion;
  IClock &clock;
  IAppInfo &appInfo;
  IShell &shell;
  IForm &form;
};

class frmAbout {
public:
  static constexpr const char *Caption = "About Kestrel Terminal - Serial Communication Terminal";
  static constexpr const char *TitleText = "Kestrel Terminal - Halvard Serial Terminal";
  static constexpr const char *CopyrightText = "Copyright (C) 2009 Halvard Instruments Ltd.";
  static constexpr const char *VersionDesignText = "Version 0.1 - January 13, 2009 (Alpha)";
  static constexpr const char *DescriptionText =
      "This program is a serial communication terminal for use with Halvard Instruments products";
  static constexpr const char *DisclaimerText =
      "Warning: this computer program is protected by copyright law and international treaties. "
      "Unauthorized reproduction or distribution of this program, or any portion of it, may "
      "result in severe civil and criminal penalties, and will be prosecuted to the maximum "
      "extent possible under the law.";
  // The project's address, as the build gives it to the package as well.
  static constexpr const char *WebsiteAddress = KESTREL_HOMEPAGE;
  static constexpr int CloseAfterMs = 5000;
  // The banner's frame, in twips.
  static constexpr int Image2Width = 6780;
  static constexpr int Image2Height = 1716;

  explicit frmAbout(frmAboutControls controls);

  void Form_Load();
  void Form_Activate();
  void Form_DblClick();
  void cmdWebsite_Click();
  void cmdOK_Click(std::int16_t Index);
  void tmrClose_Timer();

  // The layout computed by the load step, in twips.
  int Width() const { return mWidth; }
  int Image1Top() const { return mTop; }
  int lblTitleTop() const { return mTop; }
  int lblCopyrightTop() const { return mTop + 200; }
  int lblVersionTop() const { return mTop + 400; }
  int lblDescriptionTop() const { return mTop + 800; }

  ITimer &tmrClose() { return mControls.tmrClose; }

private:
  frmAboutControls mControls;
  int mWidth = Image2Width;
  std::int16_t mTop = Image2Height + 100;
};

} // namespace kestrel
