// The display's rows put straight into its own X window.
//
// Qt's X11 backing store waits for the server before it paints over pixels it
// last handed over through shared memory, which puts a round trip between an
// echo's arrival and its painting. The display instead paints the rows that
// changed straight into memory it shares with the server and hands them over
// in one request, and moves the rows kept on the server. The images lie in a
// ring as big as the view: a stretch is painted again only once the server
// has told it is done with it, and a paint that finds no free stretch is
// painted into an image of the surface's own and goes out through the socket
// instead, so painting never waits for the server. Where
// the window system is not X11, or its pixels are not 32-bit little-endian
// RGB, there is no surface and the view paints through Qt as any widget does;
// without shared memory (a remote display) every paint goes through the
// socket.
#pragma once

#include "HandOverRing.h"

#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <memory>

class QWidget;

namespace kestrel::qt {

class DirectSurface : public QAbstractNativeEventFilter {
public:
  // The surface for a native widget, or null where none can be had. Where the
  // server could not move rows (their source was covered), the widget is
  // asked to paint itself again, whole: a later move would carry along the
  // stale rows around a partial repaint.
  static std::unique_ptr<DirectSurface> For(QWidget &widget);
  ~DirectSurface() override;
  // A painter to paint area with, in the window's coordinates and clipped to
  // area; it paints into an image of the surface's until the next Canvas.
  QPainter &Canvas(const QRect &area);
  // Sends what was painted into the last Canvas to area of the window.
  void Put(const QRect &area);
  // Moves the pixels of area by dy rows on the server.
  void Scroll(const QRect &area, int dy);

  bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

private:
  DirectSurface() = default;
  void Share(std::size_t bytes);
  void Unshare();
  // The painter on image, with area's top left at the point at of it.
  QPainter &PainterOn(QImage &image, QPoint at, const QRect &area);
  // Closes the painter where it paints on image.
  void StopPainting(const QImage &image);

  void *mConnection = nullptr;
  std::uint32_t mWindow = 0;
  std::uint32_t mGc = 0;
  std::uint8_t mDepth = 24;
  std::uint32_t mMaxBytes = 0;
  QImage mCanvas;
  std::uint32_t mSegment = 0; // 0: no shared memory
  std::uint8_t mCompletion = 0;
  unsigned char *mShared = nullptr;
  HandOverRing mRing;
  // The ring seen as rows of one width; every stretch is whole rows of it.
  QImage mRingImage;
  std::size_t mTaken = HandOverRing::npos;
  bool mShareable = true;
  QWidget *mWidget = nullptr;
  QPainter mPainter; // last, so that it closes before the images go
};

} // namespace kestrel::qt
