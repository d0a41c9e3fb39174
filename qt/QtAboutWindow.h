// The About box's widgets, wired to frmAbout. A top-level window of its own
// (no owner), shown modeless. Unloading hides it and marks it unloaded; the
// window host replaces an unloaded box the next time it is asked for one,
// never from inside the box's own handlers.
#pragma once

#include "QtControls.h"
#include "WindowHost.h"
#include "frmAbout.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace kestrel::qt {

class QtAboutWindow : public IAboutWindow {
public:
  // Shown centred over `over` when one is given.
  QtAboutWindow(IClock &clock, IAppInfo &appInfo, IShell &shell, QWidget *over = nullptr);
  ~QtAboutWindow() override;

  frmAbout &Form() override { return *mFrm; }
  void ShowModeless() override;
  bool Loaded() const { return mLoaded; }
  QWidget &Widget();

private:
  class Window;
  std::unique_ptr<Window> mWindow;
  QPointer<QWidget> mOver;
  std::unique_ptr<QtTimer> mTimerAdapter;
  std::unique_ptr<QtLabel> mVersionAdapter;
  std::unique_ptr<QtForm> mFormAdapter;
  std::unique_ptr<frmAbout> mFrm;
  bool mLoaded = true;
};

} // namespace kestrel::qt
