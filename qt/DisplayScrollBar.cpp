#include "DisplayScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace kestrel::qt {

void DisplayScrollBar::Place(int page, int maximum, int value) {
  mPlacing = true;
  setPageStep(page);
  setRange(0, maximum);
  setValue(value);
  mPlacing = false;
  if (Looks() != mPainted)
    update();
}

void DisplayScrollBar::sliderChange(SliderChange change) {
  if (!mPlacing && Looks() != mPainted)
    QScrollBar::sliderChange(change);
}

void DisplayScrollBar::paintEvent(QPaintEvent *event) {
  mPainted = Looks();
  QScrollBar::paintEvent(event);
}

DisplayScrollBar::Look DisplayScrollBar::Looks() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
          value() <= minimum(), value() >= maximum()};
}

} // namespace kestrel::qt
