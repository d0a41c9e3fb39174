// The start line's date and time in every locale Qt knows: the short date, a blank and the long
// time, with the zone's name gone and nothing left of what set it off.
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
    return QString::fromStdString(qt::QtClock().DefaultDateTimeText(FakeClock().now));
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
        Case{"nds_DE", "5.12.26 Klock 3.46:54"}, Case{"zh_TW", "2026/12/5 \u4e0a\u53483:46:54"},
        Case{"yue_HK", "2026/12/5 \u4e0a\u53483:46:54"}, Case{"be_BY", "5.12.26 03:46:54"},
        Case{"sq_AL", "5.12.26 3:46:54 E PARADITES"},
        Case{"bg_BG", "5.12.26 \u0433. 3:46:54 \u0447."}}) {
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
