#include "QtAboutWindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include <functional>

namespace kestrel::qt {

// The window itself, for its activate and double-click events.
class QtAboutWindow::Window : public QWidget {
public:
  std::function<void()> activated, doubleClicked, closed;

protected:
  void closeEvent(QCloseEvent *e) override {
    if (closed)
      closed();
    QWidget::closeEvent(e);
  }
  bool event(QEvent *e) override {
    if (e->type() == QEvent::WindowActivate && activated)
      activated();
    return QWidget::event(e);
  }
  // Labels pass a double-click on to the window; only one on the window's
  // own background closes it.
  void mouseDoubleClickEvent(QMouseEvent *e) override {
    if (doubleClicked && !childAt(e->position().toPoint()))
      doubleClicked();
  }
  void keyPressEvent(QKeyEvent *e) override {
    if (!PressFocusedButton(*this, *e))
      QWidget::keyPressEvent(e);
  }
};

QtAboutWindow::QtAboutWindow(IClock &clock, IAppInfo &appInfo, IShell &shell, QWidget *over)
    : mWindow(std::make_unique<Window>()), mOver(over) {
  Window *w = mWindow.get();
  w->setWindowTitle(QString::fromUtf8(frmAbout::Caption));
  w->setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                    Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  w->setAttribute(Qt::WA_DeleteOnClose, false);

  auto *banner = new QLabel(w);
  banner->setPixmap(QPixmap(QStringLiteral(":/kestrel/banner.png")));
  banner->setScaledContents(true);
  banner->setGeometry(0, 0, Px(frmAbout::Image2Width), Px(frmAbout::Image2Height));

  auto *image1 = new QLabel(w);
  image1->setPixmap(ProgramIcon().pixmap(32, 32));
  QFont text = w->font();
  text.setPointSizeF(8);
  auto label = [&](const char *caption) {
    auto *l = new QLabel(QString::fromUtf8(caption), w);
    l->setFont(text);
    return l;
  };
  QLabel *title = label(frmAbout::TitleText);
  QFont bold = text;
  bold.setBold(true);
  title->setFont(bold);
  QLabel *copyright = label(frmAbout::CopyrightText);
  QLabel *version = label(frmAbout::VersionDesignText);
  QLabel *description = label(frmAbout::DescriptionText);
  description->setWordWrap(true);
  QLabel *disclaimer = label(frmAbout::DisclaimerText);
  disclaimer->setWordWrap(true);
  QFont fine = text;
  fine.setPointSizeF(7);
  disclaimer->setFont(fine);
  disclaimer->setGeometry(Px(120), Px(3720), Px(5040), Px(1020));

  auto *dark = new QFrame(w);
  dark->setFrameShape(QFrame::HLine);
  dark->setFrameShadow(QFrame::Sunken);
  dark->setGeometry(Px(60), Px(3540), Px(frmAbout::Image2Width - 120), 2);

  auto *website = new QPushButton(QStringLiteral("&Website"), w);
  website->setGeometry(Px(5280), Px(2016), Px(1335), 26);
  website->setAutoDefault(false);
  auto *ok = new QPushButton(QStringLiteral("&OK"), w);
  ok->setGeometry(Px(5280), Px(3840), Px(1335), 26);
  ok->setAutoDefault(false);

  mTimerAdapter = std::make_unique<QtTimer>(w);
  mVersionAdapter = std::make_unique<QtLabel>(version);
  // Unloading closes the window; closing it, by the logic or from the title
  // bar, marks the box unloaded.
  mFormAdapter = std::make_unique<QtForm>([this] { mWindow->close(); });
  mFrm = std::make_unique<frmAbout>(
      frmAboutControls{*mTimerAdapter, *mVersionAdapter, clock, appInfo, shell, *mFormAdapter});
  mTimerAdapter->OnTimer([this] { mFrm->tmrClose_Timer(); });
  w->activated = [this] {
    if (mLoaded)
      mFrm->Form_Activate();
  };
  w->doubleClicked = [this] { mFrm->Form_DblClick(); };
  w->closed = [this] {
    mLoaded = false;
    mTimerAdapter->Interval(0);
  };
  QObject::connect(website, &QPushButton::clicked, w, [this] { mFrm->cmdWebsite_Click(); });
  QObject::connect(ok, &QPushButton::clicked, w, [this] { mFrm->cmdOK_Click(0); });

  mFrm->Form_Load();
  // The load step's layout: the icon and title below the banner, then the
  // maker's line, the version line and, after a gap, the description.
  w->setFixedSize(Px(mFrm->Width()), Px(4860));
  image1->setGeometry(Px(120), Px(mFrm->Image1Top()), 32, 32);
  title->setGeometry(Px(720), Px(mFrm->lblTitleTop()), Px(4440), Px(200) + 2);
  copyright->setGeometry(Px(720), Px(mFrm->lblCopyrightTop()), Px(4440), Px(200) + 2);
  version->setGeometry(Px(720), Px(mFrm->lblVersionTop()), Px(4440), Px(200) + 2);
  description->setGeometry(Px(720), Px(mFrm->lblDescriptionTop()), Px(4440), Px(600));
}

QtAboutWindow::~QtAboutWindow() = default;

QWidget &QtAboutWindow::Widget() {
  return *mWindow;
}

void QtAboutWindow::ShowModeless() {
  // No owner, but it opens over the window it was called from.
  if (mOver)
    mWindow->move(mOver->frameGeometry().center() - mWindow->rect().center());
  mWindow->show();
  mWindow->raise();
  mWindow->activateWindow();
}

} // namespace kestrel::qt
