// The search fields as the user types into them: key classes, the hyphen of
// the ZIP field, the state box, focus, the result filters and label clicks.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;

class SearchFieldsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<corvellan::test::SearchSession> session_;
  ZipMain* window_ = nullptr;

  QLineEdit* edit(const char* name) { return window_->findChild<QLineEdit*>(name); }
  QComboBox* stateBox() { return window_->findChild<QComboBox*>("StateList"); }
  void click(const char* labelName) {
    auto* label = window_->findChild<QLabel*>(labelName);
    QVERIFY(label != nullptr);
    QTest::mouseClick(label, Qt::LeftButton);
  }
  void typeInto(QWidget* field, const QString& keys) {
    field->setFocus();
    QTest::keyClicks(field, keys);
  }

 private slots:
  void init() {
    // A complete ZIP+4 code or Enter reaches the engine.
    session_ = std::make_unique<corvellan::test::SearchSession>();
    QVERIFY(session_->ready());
    window_ = &session_->window;
  }
  void cleanup() {
    window_ = nullptr;
    session_.reset();
  }

  void typedLettersBecomeUpperCase() {
    for (const char* name : {"SearchCity", "SearchStreet", "SearchRecipient", "SearchNumber", "SearchSecdry"}) {
      typeInto(edit(name), "oak 1b");
      QCOMPARE(edit(name)->text(), QStringLiteral("OAK 1B"));
    }
    // Upper case only where it is a single-byte character, as the engine's are.
    for (const QChar c : QString::fromUtf8(" \u00ff\u00b5\u00e9")) {
      QTest::sendKeyEvent(QTest::Click, edit("SearchCity"), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(edit("SearchCity")->text(), QString::fromUtf8("OAK 1B \u00ff\u00b5\u00c9"));
  }

  void pastedTextIsNotConverted() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("springfield");
    if (clipboard->text() != "springfield") QSKIP("no clipboard on this platform");
    edit("SearchCity")->setFocus();
    QTest::keyClick(edit("SearchCity"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("springfield"));
  }

  void lettersAreIgnoredInZipAndQuantity() {
    typeInto(edit("SearchZip"), "1a2-b/.");
    QCOMPARE(edit("SearchZip")->text(), QStringLiteral("12-/."));
    edit("MaxQty")->clear();
    typeInto(edit("MaxQty"), "2x5-0 ");
    QCOMPARE(edit("MaxQty")->text(), QStringLiteral("250"));
    QTest::keyClick(edit("MaxQty"), Qt::Key_Backspace);
    QCOMPARE(edit("MaxQty")->text(), QStringLiteral("25"));
  }

  void zipGetsItsHyphenWhenTypedInARow() {
    QLineEdit* zip = edit("SearchZip");
    typeInto(zip, "123456789");
    QCOMPARE(zip->text(), QStringLiteral("12345-6789"));
    QCOMPARE(zip->maxLength(), 10);
    QTest::keyClick(zip, Qt::Key_Backspace);
    QCOMPARE(zip->text(), QStringLiteral("12345-678"));
  }

  void zipHyphenOnlyWithTheCaretAtTheEnd() {
    QLineEdit* zip = edit("SearchZip");
    typeInto(zip, "12345");
    zip->setCursorPosition(2);
    QTest::keyClicks(zip, "9");
    QCOMPARE(zip->text(), QStringLiteral("129345"));
  }

  void typingOverASelectedZipReplacesIt() {
    QLineEdit* zip = edit("SearchZip");
    zip->setText("12345");
    zip->setFocus();
    zip->selectAll();
    QTest::keyClicks(zip, "6");
    QCOMPARE(zip->text(), QStringLiteral("6"));
  }

  void stateBoxTakesUpperCaseAndStopsAfterThreeCharacters() {
    typeInto(stateBox(), "il");
    QCOMPARE(stateBox()->currentText(), QStringLiteral("IL"));
    QTest::keyClicks(stateBox(), "xy");
    QCOMPARE(stateBox()->currentText(), QStringLiteral("ILX"));
    QTest::keyClick(stateBox(), Qt::Key_Backspace);  // still works at three
    QCOMPARE(stateBox()->currentText(), QStringLiteral("IL"));
    QCOMPARE(stateBox()->count(), 62);
  }

  void stateBoxHoldsExactlyWhatWasTypedOrPicked() {
    QVERIFY(QTest::qWaitForWindowActive(window_));
    typeInto(stateBox(), "n");
    QCOMPARE(stateBox()->currentText(), QStringLiteral("N"));  // not completed to NC
    QVERIFY(!stateBox()->lineEdit()->hasSelectedText());
    QTest::keyClick(stateBox(), Qt::Key_Tab);
    QCOMPARE(stateBox()->currentText(), QStringLiteral("N"));
    stateBox()->setEditText(QString());
    typeInto(stateBox(), "i");
    QTest::keyClick(stateBox(), Qt::Key_Return);
    QCOMPARE(stateBox()->currentText(), QStringLiteral("I"));
    QCOMPARE(App().Request.Get(req::kState), QStringLiteral("I "));  // the search asked for I
    MessageBox::clearShown();
    // Picking from the list still sets the code.
    stateBox()->setCurrentIndex(stateBox()->findText("IL"));
    QCOMPARE(stateBox()->currentText(), QStringLiteral("IL"));
  }

  void focusSelectsAndBoldens() {
    QLineEdit* city = edit("SearchCity");
    city->setText("DAYTON");
    city->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(city->font().bold());
    QTRY_COMPARE(city->selectedText(), QStringLiteral("DAYTON"));
    edit("SearchStreet")->setFocus();
    QTRY_VERIFY(!city->font().bold());
    QTRY_VERIFY(edit("SearchStreet")->font().bold());
  }

  void focusSelectsOnlyWhenTheUserMovesToTheField() {
    QVERIFY(QTest::qWaitForWindowActive(window_));
    QLineEdit* city = edit("SearchCity");
    city->setText("DAYTON");
    // Back from a context menu, from another window, or put there by the
    // program: the caret stays where it was.
    for (const Qt::FocusReason reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason, Qt::OtherFocusReason}) {
      edit("SearchStreet")->setFocus(Qt::MouseFocusReason);
      city->setCursorPosition(3);
      city->setFocus(reason);
      QTest::qWait(20);
      QVERIFY2(!city->hasSelectedText(), qPrintable(QString::number(reason)));
      QCOMPARE(city->cursorPosition(), 3);
      QVERIFY(city->font().bold());
    }
    // Tab, Backtab and the access key select the whole text.
    edit("SearchStreet")->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(edit("SearchStreet"), Qt::Key_Tab);
    QTRY_COMPARE(city->selectedText(), QStringLiteral("DAYTON"));
    edit("SearchStreet")->setText("ELM");
    QTest::keyClick(city, Qt::Key_Backtab);
    QTRY_COMPARE(edit("SearchStreet")->selectedText(), QStringLiteral("ELM"));
    city->deselect();
    QTest::keyClick(window_, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(city->hasFocus());
    QTRY_COMPARE(city->selectedText(), QStringLiteral("DAYTON"));
  }

  void changesKeepTheResultFiltersCurrent() {
    typeInto(edit("SearchRecipient"), "  acme ");
    QCOMPARE(App().RecipientFilter, QStringLiteral("ACME"));
    typeInto(edit("SearchSecdry"), " 4b");
    QCOMPARE(App().UnitFilter, QStringLiteral("4B"));
    typeInto(edit("SearchNumber"), "0042");
    QCOMPARE(App().NumberFilter, QStringLiteral("42"));
    // Program changes count too.
    window_->ClearScreen(10);
    QCOMPARE(App().RecipientFilter, QString());
    QCOMPARE(App().UnitFilter, QString());
    QCOMPARE(App().NumberFilter, QString());
  }

  void labelsClearTheirFieldsAndFilters() {
    const QList<QPair<const char*, QWidget*>> pairs = {
        {"SearchLab_0", edit("SearchZip")},    {"SearchLab_1", edit("SearchRecipient")},
        {"SearchLab_2", edit("SearchNumber")}, {"SearchLab_3", edit("SearchStreet")},
        {"SearchLab_4", edit("SearchCity")},   {"Label15", edit("SearchSecdry")}};
    for (const auto& [label, field] : pairs) static_cast<QLineEdit*>(field)->setText("12");
    stateBox()->setEditText("OH");
    for (const auto& [label, field] : pairs) {
      click(label);
      QVERIFY2(static_cast<QLineEdit*>(field)->text().isEmpty(), label);
    }
    click("SearchLab_5");
    QCOMPARE(stateBox()->currentText(), QString());
    QCOMPARE(App().NumberFilter, QString());
    QCOMPARE(App().UnitFilter, QString());
    QCOMPARE(App().RecipientFilter, QString());
  }

  void quantityLabelCycles() {
    QLineEdit* qty = edit("MaxQty");
    QCOMPARE(qty->text(), QStringLiteral("10"));
    const QStringList expected = {"100", "1000", "2500", "5000", "10000", "10"};
    for (const QString& next : expected) {
      click("QtyLab");
      QCOMPARE(qty->text(), next);
    }
    qty->setText("250");
    click("QtyLab");
    QCOMPARE(qty->text(), QStringLiteral("250"));
    // A double click is one step, not two.
    qty->setText("10");
    // (through the window, which turns the second press into a double click
    // as the window system does)
    auto* label = window_->findChild<QLabel*>("QtyLab");
    QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {},
                       label->mapTo(window_, label->rect().center()));
    QCOMPARE(qty->text(), QStringLiteral("100"));
    click("QtyLab");  // and the next single click counts again
    QCOMPARE(qty->text(), QStringLiteral("1000"));
  }

  void enterInAFieldRunsTheSearch() {
    QSignalSpy clicked(window_->findChild<QPushButton*>("SearchButton"), &QPushButton::clicked);
    typeInto(edit("SearchStreet"), "main");
    QTest::keyClick(edit("SearchStreet"), Qt::Key_Return);
    QCOMPARE(clicked.count(), 1);
    stateBox()->setFocus();
    QTest::keyClick(stateBox(), Qt::Key_Return);
    QCOMPARE(clicked.count(), 2);
  }

  void ctrlXTogglesExactStreetMatchEvenInATextBox() {
    auto* exact = window_->findChild<QAction*>("mnuEditExact");
    QVERIFY(!exact->isChecked());
    QVERIFY(QTest::qWaitForWindowActive(window_));
    typeInto(edit("SearchStreet"), "main");
    edit("SearchStreet")->selectAll();
    QTest::keyClick(edit("SearchStreet"), Qt::Key_X, Qt::ControlModifier);
    QVERIFY(exact->isChecked());
    QCOMPARE(edit("SearchStreet")->text(), QStringLiteral("MAIN"));  // not cut
    QTest::keyClick(edit("SearchStreet"), Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!exact->isChecked());
  }

  void altOrMetaWithAKeyThatIsNoAccessKeyTypesNothing() {
    QVERIFY(QTest::qWaitForWindowActive(window_));
    typeInto(edit("SearchZip"), "123");
    // S is no access key of the window; digits and letters alike.
    for (const Qt::Key key : {Qt::Key_S, Qt::Key_5, Qt::Key_Minus}) {
      QTest::keyClick(edit("SearchZip"), key, Qt::AltModifier);
      QTest::keyClick(edit("SearchZip"), key, Qt::MetaModifier);
      QTest::keyClick(edit("SearchZip"), key, Qt::AltModifier | Qt::ShiftModifier);
    }
    QCOMPARE(edit("SearchZip")->text(), QStringLiteral("123"));
    typeInto(edit("SearchCity"), "oak");
    QTest::keyClick(edit("SearchCity"), Qt::Key_S, Qt::AltModifier);
    QTest::keyClick(edit("MaxQty"), Qt::Key_9, Qt::AltModifier);
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("OAK"));
    QCOMPARE(edit("MaxQty")->text(), QStringLiteral("10"));
    // Backspace with Alt is no character: the field handles it as before.
    QTest::keyClick(edit("SearchZip"), Qt::Key_Backspace);
    QCOMPARE(edit("SearchZip")->text(), QStringLiteral("12"));
  }

  void accessKeysStillMoveTheFocusFromAFilteredField() {
    QVERIFY(QTest::qWaitForWindowActive(window_));
    edit("SearchCity")->setFocus();
    QTest::keyClick(edit("SearchCity"), Qt::Key_Z, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), edit("SearchZip"));
    QTest::keyClick(edit("SearchZip"), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), edit("SearchStreet"));
    QVERIFY(edit("SearchZip")->text().isEmpty());
    QVERIFY(edit("SearchStreet")->text().isEmpty());
  }

  void controlKeysStayCommandsOfTheField() {
    QVERIFY(QTest::qWaitForWindowActive(window_));
    typeInto(edit("SearchZip"), "12345");
    QTest::keyClick(edit("SearchZip"), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit("SearchZip")->selectedText(), QStringLiteral("12345"));
    QTest::keyClick(edit("SearchZip"), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!edit("SearchZip")->text().contains(QLatin1Char('s'), Qt::CaseInsensitive));
    // A digit of the keypad with Control is typed, through the field's rules.
    edit("MaxQty")->clear();
    QTest::keyClick(edit("MaxQty"), Qt::Key_7, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(edit("MaxQty"), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(edit("MaxQty")->text(), QStringLiteral("7"));
  }
};

CORVELLAN_TEST_CLASS(SearchFieldsTest);

#include "search_fields_test.moc"
