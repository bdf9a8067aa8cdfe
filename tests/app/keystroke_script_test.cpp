// The keystroke notation of the insert settings: named keys with counts,
// Shift/Ctrl/Alt and groups, characters in braces, and malformed scripts.
#include <QTest>

#include "qtest_registry.h"
#include "transfer/keystroke_script.h"

using namespace corvellan;

namespace {

using Kind = KeyStroke::Kind;

KeyStroke Text(const char* text) { return {Kind::Text, QString::fromUtf8(text), {}, 0, 1}; }
KeyStroke Key(const char* keysym, unsigned modifiers = 0, int count = 1) {
  return {Kind::Key, {}, QLatin1String(keysym), modifiers, count};
}
KeyStroke Char(const char* character, unsigned modifiers, int count = 1) {
  return {Kind::Character, QString::fromUtf8(character), {}, modifiers, count};
}

QString Describe(const std::vector<KeyStroke>& strokes) {
  QStringList parts;
  for (const KeyStroke& s : strokes) {
    parts.append(QStringLiteral("%1:%2%3 m%4 x%5")
                     .arg(static_cast<int>(s.kind))
                     .arg(s.text, s.key)
                     .arg(s.modifiers)
                     .arg(s.count));
  }
  return parts.join(QStringLiteral(" | "));
}

}  // namespace

class KeystrokeScriptTest : public QObject {
  Q_OBJECT

 private:
  void expect(const QString& script, const std::vector<KeyStroke>& strokes) {
    const ParsedKeys parsed = ParseKeystrokes(script);
    QVERIFY2(parsed.ok(), qPrintable(script + QStringLiteral(": ") + parsed.error));
    QVERIFY2(parsed.strokes == strokes,
             qPrintable(script + QStringLiteral(": ") + Describe(parsed.strokes) + QStringLiteral(" instead of ") +
                        Describe(strokes)));
  }

 private slots:
  void namedKeysTakeCountsAndIgnoreLetterCase() {
    expect("Jane{TAB}Doe{ENTER}", {Text("Jane"), Key("Tab"), Text("Doe"), Key("Return")});
    expect("{down 4}{Tab 2}{F4}{F12}{PGDN}{BS}{del}", {Key("Down", 0, 4), Key("Tab", 0, 2), Key("F4"), Key("F12"),
                                                      Key("Next"), Key("BackSpace"), Key("Delete")});
    expect("a~b", {Text("a"), Key("Return"), Text("b")});
    expect("a\r\nb\nc", {Text("a"), Key("Return"), Text("b"), Key("Return"), Text("c")});
    expect("{TAB 0}x", {Text("x")});
    expect("", {});
  }

  void modifiersApplyToOneKeyOrAGroup() {
    expect("^c", {Char("c", kModCtrl)});
    expect("%{F4}", {Key("F4", kModAlt)});
    expect("+^{TAB}x", {Key("Tab", kModShift | kModCtrl), Text("x")});
    expect("+(ab)c", {Char("a", kModShift), Char("b", kModShift), Text("c")});
    expect("^(a{HOME})", {Char("a", kModCtrl), Key("Home", kModCtrl)});
    expect("+{a 3}", {Char("a", kModShift, 3)});
    expect("(ab)", {Text("ab")});
  }

  void bracesTypeTheCharactersThemselves() {
    expect("{+}{^}{%}{~}{(}{)}{{}{}}", {Text("+^%~(){}")});
    expect("{a 3}-{} 2}", {Text("aaa-}}")});
    expect("[x]", {Text("[x]")});
    expect("Peñuelas ®", {Text("Peñuelas ®")});
  }

  void malformedScriptsAreErrorsWithoutStrokes() {
    for (const char* script : {"{TAB", "x}", "{NOPE}", "{TAB x}", "{TAB 1000}", "{TAB -1}", "(ab", "ab)", "((a))",
                               "^", "a+", "+()", "{", "{}", "(+)", "%(a"}) {
      const ParsedKeys parsed = ParseKeystrokes(QString::fromLatin1(script));
      QVERIFY2(!parsed.ok(), script);
      QVERIFY2(parsed.strokes.empty(), script);
    }
    // Every short combination of the notation's signs parses to strokes or
    // to an error, never anything else.
    const QString alphabet = QStringLiteral("+^%(){}~a 1T");
    int errors = 0;
    for (const QChar a : alphabet) {
      for (const QChar b : alphabet) {
        for (const QChar c : alphabet) {
          for (const QChar d : alphabet) {
            const ParsedKeys parsed = ParseKeystrokes(QString(a) + b + c + d);
            if (!parsed.ok()) {
              ++errors;
              QVERIFY(parsed.strokes.empty());
            }
          }
        }
      }
    }
    QVERIFY(errors > 0);
  }

  void escapedValuesAreTypedLiterally() {
    const QString value = QStringLiteral("100% PURE ^ SMITH + SONS ~ A(1) {B} [C]");
    QCOMPARE(EscapeKeystrokeText(QStringLiteral("A+B")), QStringLiteral("A{+}B"));
    const ParsedKeys parsed = ParseKeystrokes(EscapeKeystrokeText(value) + QStringLiteral("{TAB}"));
    QVERIFY2(parsed.ok(), qPrintable(parsed.error));
    QVERIFY(parsed.strokes == std::vector<KeyStroke>({{Kind::Text, value, {}, 0, 1}, Key("Tab")}));
  }
};

CORVELLAN_TEST_CLASS(KeystrokeScriptTest);

#include "keystroke_script_test.moc"
