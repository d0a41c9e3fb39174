// A screen reader for the Qt tests: while one lives, Qt's accessibility is on
// and every event it would pass to the desktop is kept here instead.
//
// Only Qt's platform layer can switch accessibility on (a real reader does it
// over the desktop's bus); its headers come with qt6-base-private-dev. Where
// they are missing, Available() is false and the tests that need a reader skip
// themselves.
#pragma once

#include <QAccessible>
#include <QString>

#if __has_include(<QtGui/private/qguiapplication_p.h>) && __has_include(<qpa/qplatformaccessibility.h>)
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#define KESTREL_TEST_SCREEN_READER 1
#endif

#include <ostream>
#include <vector>

namespace kestrel::test {

class ScreenReader {
public:
  // One event as the reader was told it. For a text change: where, what came
  // and what went; for the caret and the selection: the caret and the span
  // (-1 -1 for none).
  struct Told {
    QAccessible::Event type;
    int position = 0;
    QString text;
    QString removed;
    bool operator==(const Told &) const = default;
  };

  ScreenReader() {
    sCurrent = this;
    mPrevious = QAccessible::installUpdateHandler(&Keep);
    Listening(true);
  }
  ~ScreenReader() {
    Listening(false);
    QAccessible::installUpdateHandler(mPrevious);
    sCurrent = nullptr;
  }
  ScreenReader(const ScreenReader &) = delete;
  ScreenReader &operator=(const ScreenReader &) = delete;

  static bool Available() {
#ifdef KESTREL_TEST_SCREEN_READER
    return QGuiApplicationPrivate::platformIntegration() &&
           QGuiApplicationPrivate::platformIntegration()->accessibility();
#else
    return false;
#endif
  }
  // Comes (true) or goes (false), as a reader started or ended on the desktop.
  static void Listening(bool on) {
#ifdef KESTREL_TEST_SCREEN_READER
    if (Available())
      QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(on);
#else
    (void)on;
#endif
  }

  // The text changes told, in order.
  std::vector<Told> TextTold() const {
    return Of({QAccessible::TextInserted, QAccessible::TextRemoved, QAccessible::TextUpdated});
  }
  std::vector<Told> CaretTold() const {
    return Of({QAccessible::TextCaretMoved, QAccessible::TextSelectionChanged});
  }
  void Clear() {
    mTold.clear();
  }

private:
  std::vector<Told> Of(std::initializer_list<QAccessible::Event> types) const {
    std::vector<Told> out;
    for (const Told &t : mTold)
      for (QAccessible::Event type : types)
        if (t.type == type)
          out.push_back(t);
    return out;
  }
  static void Keep(QAccessibleEvent *event) {
    if (!sCurrent)
      return;
    Told told{event->type()};
    switch (event->type()) {
    case QAccessible::TextInserted: {
      const auto *e = static_cast<QAccessibleTextInsertEvent *>(event);
      told.position = e->changePosition();
      told.text = e->textInserted();
      break;
    }
    case QAccessible::TextRemoved: {
      const auto *e = static_cast<QAccessibleTextRemoveEvent *>(event);
      told.position = e->changePosition();
      told.removed = e->textRemoved();
      break;
    }
    case QAccessible::TextUpdated: {
      const auto *e = static_cast<QAccessibleTextUpdateEvent *>(event);
      told.position = e->changePosition();
      told.text = e->textInserted();
      told.removed = e->textRemoved();
      break;
    }
    case QAccessible::TextCaretMoved:
      told.position = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
      break;
    case QAccessible::TextSelectionChanged: {
      const auto *e = static_cast<QAccessibleTextSelectionEvent *>(event);
      told.position = e->cursorPosition();
      told.text = QString::number(e->selectionStart()) + " " + QString::number(e->selectionEnd());
      break;
    }
    default:
      break;
    }
    sCurrent->mTold.push_back(told);
  }

  static inline ScreenReader *sCurrent = nullptr;
  QAccessible::UpdateHandler mPrevious = nullptr;
  std::vector<Told> mTold;
};

inline void PrintTo(const ScreenReader::Told &t, std::ostream *os) {
  *os << "{event " << t.type << " at " << t.position << ", came \"" << t.text.toStdString()
      << "\", went \"" << t.removed.toStdString() << "\"}";
}

} // namespace kestrel::test
