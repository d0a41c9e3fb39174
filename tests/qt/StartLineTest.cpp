// The start line's date and time in every locale Qt knows: the short date, a blank and the long
// time, with the zone's name gone and nothing left of what set it off, in the display's Latin-1.
#include "FakeControls.h"
#include "QtRuntime.h"
#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>
namespace kestrel::test {
namespace {
class StartLine : public ::testing::Test {
protected:
  void TearDown() override { QLocale::setDefault(original); }
  static QString Text(const QLocale &locale) {
    QLocale::setDefault(locale);
    return QString::fromLatin1(qt::QtClock().DefaultDateTimeText(FakeClock().now));
  }
  const QLocale original;
};
TEST_F(StartLine, NamedLocalesShowTheirShortDateAndLongTimeWithoutTheZone) {
  struct Case {
    const char *locale;
    const char *text;
  };
  for (const Case &c :
       {Case{"en_US", "12/5/26 3:46:54 AM"}, Case{"de_DE", "05.12.26 03:46:54"},
        Case{"ca_ES", "5/12/26 3:46:54"}, Case{"eu_ES", "26/12/5 03:46:54"},
        Case{"nds_DE", "5.12.26 Klock 3.46:54"}, Case{"be_BY", "5.12.26 03:46:54"},
        Case{"sq_AL", "5.12.26 3:46:54 E PARADITES"},
        // Latin-1 letters are the display's own, one byte each.
        Case{"pt_MO", "05/12/26 3:46:54 DA MANH\u00c3"},
        Case{"tr_CY", "5.12.2026 3:46:54 \u00d6\u00d6"},
        // Letters beyond Latin-1 would be byte debris there: the time prefix's form stands in.
        Case{"zh_TW", "2026/12/05 03:46:54"}, Case{"yue_HK", "2026/12/05 03:46:54"},
        Case{"bg_BG", "2026/12/05 03:46:54"}, Case{"ko_KR", "2026/12/05 03:46:54"},
        Case{"ar_EG", "2026/12/05 03:46:54"}}) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(Text(QLocale(QString::fromLatin1(c.locale))), QString::fromUtf8(c.text));
  }
}
// What would be left of a zone's surroundings, and a letter Qt did not understand standing
// against the hour.
TEST_F(StartLine, NoLocaleLeavesBracketsCommasOrBlanksBehind) {
  const QRegularExpression debris(QStringLiteral(
      R"(\(\s*\)|\[\s*\]|\x{FF08}\s*\x{FF09}|\x{3010}\s*\x{3011}|\s\s|,\s*$|^\s|\s$|\s,|[A-Za-z]\d)"));
  const auto locales =
      QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
  ASSERT_GT(locales.size(), 300);
  for (const QLocale &locale : locales) {
    const QString text = Text(locale);
    SCOPED_TRACE(locale.name().toStdString() + ": " + text.toStdString());
    EXPECT_FALSE(text.contains(debris));
    for (auto [open, close] : {std::pair(u'(', u')'), std::pair(u'[', u']')})
      EXPECT_EQ(text.count(QChar(open)), text.count(QChar(close)));
  }
}
} // namespace
} // namespace kestrel::test
