#include "DirectSurface.h"

#include <QGuiApplication>
#include <QWidget>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace kestrel::qt {

namespace {
xcb_connection_t *Connection(void *c) {
  return static_cast<xcb_connection_t *>(c);
}

// Whether the server keeps depth's pixels as 32-bit words, low byte first.
bool ThirtyTwoBits(const xcb_setup_t *setup, std::uint8_t depth) {
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
    return false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == depth)
      return f.data->bits_per_pixel == 32;
  return false;
}
} // namespace

std::unique_ptr<DirectSurface> DirectSurface::For(QWidget &widget) {
  auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection())
    return nullptr;
  xcb_connection_t *c = x11->connection();
  const auto window = static_cast<xcb_window_t>(widget.winId());
  xcb_get_geometry_reply_t *geometry =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  if (!geometry)
    return nullptr;
  const std::uint8_t depth = geometry->depth;
  std::free(geometry);
  if ((depth != 24 && depth != 32) || !ThirtyTwoBits(xcb_get_setup(c), depth))
    return nullptr;
  std::unique_ptr<DirectSurface> surface(new DirectSurface);
  surface->mConnection = c;
  surface->mWindow = window;
  surface->mDepth = depth;
  surface->mMaxBytes = xcb_get_maximum_request_length(c) * 4 - 64;
  surface->mGc = xcb_generate_id(c);
  // Parts of a move whose source was covered come back as GraphicsExposure.
  const std::uint32_t exposures = 1;
  xcb_create_gc(c, surface->mGc, window, XCB_GC_GRAPHICS_EXPOSURES, &exposures);
  const xcb_query_extension_reply_t *shm = xcb_get_extension_data(c, &xcb_shm_id);
  surface->mShareable = shm && shm->present;
  if (surface->mShareable)
    surface->mCompletion = static_cast<std::uint8_t>(shm->first_event + XCB_SHM_COMPLETION);
  surface->mWidget = &widget;
  qGuiApp->installNativeEventFilter(surface.get());
  return surface;
}

// Without the application its X connection is gone, and with it the server's
// side of the segment and the graphics context.
DirectSurface::~DirectSurface() {
  if (mPainter.isActive())
    mPainter.end();
  if (!qGuiApp) {
    if (mShared)
      shmdt(mShared);
    return;
  }
  qGuiApp->removeNativeEventFilter(this);
  Unshare();
  xcb_free_gc(Connection(mConnection), mGc);
}

// The segment is marked for removal as soon as the server holds it, so it
// goes with the program however the program ends.
void DirectSurface::Share(std::size_t bytes) {
  xcb_connection_t *c = Connection(mConnection);
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) {
    mShareable = false;
    return;
  }
  void *at = shmat(id, nullptr, 0);
  const std::uint32_t segment = xcb_generate_id(c);
  xcb_generic_error_t *error =
      at == reinterpret_cast<void *>(-1)
          ? nullptr
          : xcb_request_check(
                c, xcb_shm_attach_checked(c, segment, static_cast<std::uint32_t>(id), 0));
  shmctl(id, IPC_RMID, nullptr);
  if (at == reinterpret_cast<void *>(-1) || error) {
    std::free(error);
    if (at != reinterpret_cast<void *>(-1))
      shmdt(at);
    mShareable = false;
    return;
  }
  mSegment = segment;
  mShared = static_cast<unsigned char *>(at);
  mRing.Size(bytes);
}

void DirectSurface::Unshare() {
  if (!mSegment)
    return;
  xcb_shm_detach(Connection(mConnection), mSegment);
  xcb_flush(Connection(mConnection));
  mRingImage = QImage();
  shmdt(mShared);
  mSegment = 0;
  mShared = nullptr;
  mRing.Size(0);
}

// X takes rows packed at the width it is told, so an image is exactly as wide
// as what is put. The ring's stretches are whole rows of that width, and the
// ring is seen again at another width only once the server holds none.
QPainter &DirectSurface::Canvas(const QRect &area) {
  const auto stride = static_cast<std::size_t>(area.width()) * 4;
  const std::size_t bytes = stride * static_cast<std::size_t>(area.height());
  mTaken = HandOverRing::npos;
  if (mShareable && mRing.Idle() && (bytes > mRing.Size() || mRingImage.width() != area.width())) {
    StopPainting(mRingImage);
    if (bytes > mRing.Size()) {
      Unshare();
      Share(bytes);
    }
    mRingImage = mSegment ? QImage(mShared, area.width(), static_cast<int>(mRing.Size() / stride),
                                   static_cast<qsizetype>(stride), QImage::Format_RGB32)
                          : QImage();
  }
  if (mSegment && mRingImage.width() == area.width())
    mTaken = mRing.Take(bytes);
  if (mTaken != HandOverRing::npos)
    return PainterOn(mRingImage, QPoint(0, static_cast<int>(mTaken / stride)), area);
  // The canvas keeps its height, and with it its paint engine.
  if (mCanvas.width() != area.width() || mCanvas.height() < area.height()) {
    StopPainting(mCanvas);
    mCanvas =
        QImage(area.width(),
               std::max(area.height(), mCanvas.width() == area.width() ? mCanvas.height() : 0),
               QImage::Format_RGB32);
  }
  return PainterOn(mCanvas, QPoint(0, 0), area);
}

// Opening a painter costs about as much as painting an echoed row, so the
// one painter stays open on its image from one paint to the next.
QPainter &DirectSurface::PainterOn(QImage &image, QPoint at, const QRect &area) {
  if (mPainter.isActive() && mPainter.device() != &image)
    mPainter.end();
  if (!mPainter.isActive())
    mPainter.begin(&image);
  mPainter.resetTransform();
  mPainter.translate(at - area.topLeft());
  // Rows reach past area; around it the ring holds other images.
  mPainter.setClipRect(area);
  return mPainter;
}

void DirectSurface::StopPainting(const QImage &image) {
  if (mPainter.isActive() && mPainter.device() == &image)
    mPainter.end();
}

void DirectSurface::Put(const QRect &area) {
  xcb_connection_t *c = Connection(mConnection);
  const auto width = static_cast<std::uint16_t>(area.width());
  const auto height = static_cast<std::uint16_t>(area.height());
  if (mTaken != HandOverRing::npos) {
    xcb_shm_put_image(c, mWindow, mGc, width, height, 0, 0, width, height,
                      static_cast<std::int16_t>(area.x()), static_cast<std::int16_t>(area.y()),
                      mDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, 1, mSegment,
                      static_cast<std::uint32_t>(mTaken));
    mTaken = HandOverRing::npos;
  } else {
    const auto stride = static_cast<std::uint32_t>(mCanvas.bytesPerLine());
    const int strip = std::max<int>(1, static_cast<int>(mMaxBytes / stride));
    for (int top = 0; top < area.height(); top += strip) {
      const int rows = std::min(strip, area.height() - top);
      xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, mWindow, mGc, width,
                    static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(area.x()),
                    static_cast<std::int16_t>(area.y() + top), 0, mDepth,
                    stride * static_cast<std::uint32_t>(rows), mCanvas.constScanLine(top));
    }
  }
  xcb_flush(c);
}

void DirectSurface::Scroll(const QRect &area, int dy) {
  const QRect from = area.translated(0, -dy) & area;
  xcb_copy_area(Connection(mConnection), mWindow, mWindow, mGc, static_cast<std::int16_t>(from.x()),
                static_cast<std::int16_t>(from.y()), static_cast<std::int16_t>(from.x()),
                static_cast<std::int16_t>(from.y() + dy), static_cast<std::uint16_t>(from.width()),
                static_cast<std::uint16_t>(from.height()));
}

bool DirectSurface::nativeEventFilter(const QByteArray &type, void *message, qintptr *) {
  if (type != "xcb_generic_event_t")
    return false;
  auto *event = static_cast<xcb_generic_event_t *>(message);
  const auto kind = event->response_type & ~0x80;
  if (mSegment && kind == mCompletion) {
    auto *e = reinterpret_cast<xcb_shm_completion_event_t *>(event);
    if (e->shmseg != mSegment)
      return false;
    mRing.Done();
    return true;
  }
  if (kind == XCB_GRAPHICS_EXPOSURE) {
    auto *e = reinterpret_cast<xcb_graphics_exposure_event_t *>(event);
    if (e->drawable != mWindow)
      return false;
    mWidget->update();
    return true;
  }
  if (kind == XCB_NO_EXPOSURE)
    return reinterpret_cast<xcb_no_exposure_event_t *>(event)->drawable == mWindow;
  return false;
}

} // namespace kestrel::qt
