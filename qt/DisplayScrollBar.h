// The display's scroll bar, painted again only when what it shows changes.
//
// A stream moves the bar's range with every catch-up of the display, but once
// the history is long the handle stays where it is; repainting the bar each
// time would cost as much as painting the rows, and through Qt's backing
// store it waits for the X server first. The bar compares its handle and its
// at-top and at-bottom states with what it last painted, and the view sets
// range and value as one change (Place), so that a range grown under a view
// at the end does not count as the handle leaving the end.
#pragma once

#include <QRect>
#include <QScrollBar>

namespace kestrel::qt {

class DisplayScrollBar : public QScrollBar {
public:
  using QScrollBar::QScrollBar;
  // Page step, range 0..maximum and value, repainted once if they changed how
  // the bar looks.
  void Place(int page, int maximum, int value);

protected:
  void sliderChange(SliderChange change) override;
  void paintEvent(QPaintEvent *event) override;

private:
  struct Look {
    QRect handle;
    bool atMinimum = false;
    bool atMaximum = false;
    bool operator==(const Look &) const = default;
  };
  Look Looks() const;

  bool mPlacing = false;
  // Until the first paint nothing is on screen to compare with.
  Look mPainted{QRect(0, 0, -1, -1), true, false};
};

} // namespace kestrel::qt
