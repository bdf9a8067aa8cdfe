// Label templates saved to and loaded from a real Corvel.ini.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/label_form.h"
#include "labels/label_templates.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class LabelTemplatesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnvironment> env_;

  // A main window after start-up on the settings written so far.
  static std::unique_ptr<ZipMain> StartedWindow() {
    auto window = std::make_unique<ZipMain>();
    if (!window->Form_Load({})) return nullptr;
    return window;
  }
  static QStringList Entries(ZipMain& window) {
    auto* list = window.findChild<QComboBox*>("LabList");
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names.append(list->itemText(i));
    return names;
  }
  static QString Box(ZipMain& window, const char* name) { return window.findChild<QLineEdit*>(name)->text(); }

 private slots:
  void init() {
    env_ = std::make_unique<TestEnvironment>();
    env_->installDefault();
  }
  void cleanup() { env_.reset(); }

  void noTemplatesGiveTheSingleEntryDefault() {
    auto window = StartedWindow();
    QVERIFY(window);
    QCOMPARE(Entries(*window), QStringList{"default"});
    QCOMPARE(window->findChild<QComboBox*>("LabList")->currentText(), QStringLiteral("default"));
    // Nothing stored: the design values stay.
    QCOMPARE(Box(*window, "TopMarg"), QStringLiteral("1.5"));
    QCOMPARE(Box(*window, "LeftMarg"), QStringLiteral("1.5"));
    // Loading a template makes it the default for the next start.
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "Default Label"), QStringLiteral("default"));
  }

  void theListComesFromTheLabelNoKeys() {
    env_->writeIni("[Directories]\nData=" + env_->dataDir().toUtf8() + "\nProgram=" + env_->programDir().toUtf8() +
                   "\n[Label Settings]\nDefault Label=Avery 5160\nNo of Labels=5\nLabel No 0=Dymo\n"
                   "Label No 1=\nLabel No 2=avery 5160\nLabel No 3=Zebra\nLabel No 4=dymo\n"
                   "[avery 5160]\nLeft Margin=0.25\nTop Margin=.5\nMax Chars=15\nQuantity=3\nPrinter=labels\n"
                   "Printer Port=usb://Dymo/Label\nPaper Size=256\nPaper Width= 1016\nPaper Length=254\n"
                   "Paper Bin=7\nPaper Orientation=2\nFont Name=DejaVu Serif\nFont Size=\nFont Bold=True\n"
                   "Font Italic=maybe\n");
    auto window = StartedWindow();
    QVERIFY(window);
    // Empty entries and the default itself are left out; the default comes
    // last and is loaded; names are lower-case.
    QCOMPARE(Entries(*window), QStringList({"dymo", "zebra", "dymo", "avery 5160"}));
    QCOMPARE(Box(*window, "LeftMarg"), QStringLiteral("0.25"));
    QCOMPARE(Box(*window, "TopMarg"), QStringLiteral(".5"));
    QCOMPARE(Box(*window, "Qty"), QStringLiteral("3"));
    QCOMPARE(Box(*window, "MaxChars"), QString());  // 15 or less is ignored
    const LabelForm& label = LabelForm::of(*window);
    QCOMPARE(label.LabelPrinter, QStringLiteral("labels"));
    QCOMPARE(label.LabelPort, QStringLiteral("usb://Dymo/Label"));
    QCOMPARE(label.Paper, (PaperSettings{256, 1016, 254, 7, 2}));
    QCOMPARE(window->PanelText(1), QStringLiteral("Ready"));

    // Unusable values are skipped, the others applied to both boxes.
    const QFont font = window->findChild<QPlainTextEdit*>("txtAddressBlock")->font();
    QCOMPARE(font.family(), QStringLiteral("DejaVu Serif"));
    QVERIFY(font.bold());
    QVERIFY(!font.italic());
    QCOMPARE(font.pointSizeF(), QFont().pointSizeF());
    QCOMPARE(window->findChild<QPlainTextEdit*>("txtAttentionLine")->font(), font);

    // Choosing another template: a Max Chars above 15 is taken, and the
    // choice becomes the default.
    QVERIFY(WriteIni("dymo", "Max Chars", "16", "Corvel.ini"));
    QVERIFY(WriteIni("dymo", "Font Size", "9.75", "Corvel.ini"));
    auto* list = window->findChild<QComboBox*>("LabList");
    list->setFocus();
    for (int i = 0; i < 3; ++i) QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(list->currentText(), QStringLiteral("dymo"));
    QCOMPARE(Box(*window, "MaxChars"), QStringLiteral("16"));
    QCOMPARE(window->findChild<QPlainTextEdit*>("txtAddressBlock")->font().pointSizeF(), 9.75);
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "Default Label"), QStringLiteral("dymo"));
    // Without a stored printer the current system printer is named (which
    // may be none here), and the port is empty.
    QCOMPARE(window->PanelText(1), QStringLiteral("Print Labels to ") + label.LabelPrinter);
    QVERIFY(label.LabelPort.isEmpty());
  }

  void savingUnderANewNameAddsItLowerCase() {
    {
      auto window = StartedWindow();
      QVERIFY(window);
      LabelForm& label = LabelForm::of(*window);
      label.LabelPrinter = " labels ";
      label.LabelPort = "cups-pdf:/";
      label.Paper = {1, 2159, 2794, 0, 1};
      window->findChild<QLineEdit*>("LeftMarg")->setText(" 0.75 ");
      window->findChild<QLineEdit*>("MaxChars")->setText("28");
      window->findChild<QLineEdit*>("Qty")->setText("2");
      QFont font("DejaVu Sans");
      font.setPointSizeF(8.25);
      font.setItalic(true);
      window->findChild<QPlainTextEdit*>("txtAddressBlock")->setFont(font);
      window->findChild<QComboBox*>("LabList")->setEditText(" Avery ");
      MessageBox::clearShown();
      window->findChild<QPushButton*>("SaveButton")->click();
      QCOMPARE(MessageBox::shownTexts(), QStringList{"Label Settings Saved"});
      QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Information);
      QCOMPARE(window->PanelText(1), QStringLiteral("avery Label Saved"));
      QCOMPARE(Entries(*window), QStringList({"default", "avery"}));

      // «AVERY» is the same template: saved again, not listed twice.
      window->findChild<QComboBox*>("LabList")->setEditText("AVERY");
      QVERIFY(SaveLabel(*window));
      QCOMPARE(Entries(*window), QStringList({"default", "avery"}));
    }
    // The fifteen keys in their order; the width keeps its leading blank.
    const QString ini = QString::fromUtf8(TestEnvironment::readFile(env_->iniPath()));
    const QString section = ini.mid(ini.indexOf("[avery]"));
    const QList<QPair<const char*, const char*>> keys = {
        {"Left Margin", "0.75"},  {"Top Margin", "1.5"},         {"Max Chars", "28"},     {"Quantity", "2"},
        {"Printer", "labels"},    {"Printer Port", "cups-pdf:/"}, {"Paper Size", "1"},     {"Paper Width", "2159"},
        {"Paper Length", "2794"}, {"Paper Bin", "0"},            {"Paper Orientation", "1"},
        {"Font Name", "DejaVu Sans"}, {"Font Size", "8.25"},     {"Font Bold", "False"},  {"Font Italic", "True"}};
    qsizetype at = 0;
    for (const auto& [key, value] : keys) {
      const qsizetype found = section.indexOf(QLatin1String(key) + '=');
      QVERIFY2(found >= at, key);
      at = found;
      QCOMPARE(GetIni("Corvel.ini", "avery", key), QString::fromLatin1(value));
    }
    QVERIFY(section.contains("Paper Width= "));
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "No of Labels"), QStringLiteral("2"));
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "Label No 0"), QStringLiteral("default"));
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "Label No 1"), QStringLiteral("avery"));

    // The next start lists both and loads the saved one.
    auto window = StartedWindow();
    QVERIFY(window);
    QCOMPARE(Entries(*window), QStringList({"default", "avery"}));
    QCOMPARE(window->findChild<QComboBox*>("LabList")->currentText(), QStringLiteral("avery"));
    QCOMPARE(Box(*window, "MaxChars"), QStringLiteral("28"));
    QCOMPARE(LabelForm::of(*window).Paper, (PaperSettings{1, 2159, 2794, 0, 1}));
    const QFont font = window->findChild<QPlainTextEdit*>("txtAttentionLine")->font();
    QCOMPARE(font.pointSizeF(), 8.25);
    QVERIFY(font.italic() && !font.bold());
  }

  void aTemplateWithoutANameIsRefusedBeforeAnythingIsWritten() {
    auto window = StartedWindow();
    QVERIFY(window);
    const QByteArray before = TestEnvironment::readFile(env_->iniPath());
    const QStringList entries = Entries(*window);
    for (const char* name : {"", "   "}) {
      MessageBox::clearShown();
      window->findChild<QComboBox*>("LabList")->setEditText(name);  // no name, no section
      window->findChild<QPushButton*>("SaveButton")->click();
      QCOMPARE(MessageBox::shownTexts(), QStringList{"Enter a name for the Label Template"});
      QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
      QCOMPARE(window->PanelText(1), QStringLiteral("Enter a name for the Label Template"));
      QVERIFY(!SaveLabel(*window));
      // The settings file and the list are as they were.
      QCOMPARE(TestEnvironment::readFile(env_->iniPath()), before);
      QCOMPARE(Entries(*window), entries);
    }
  }

  void flags() {
    QCOMPARE(TemplateFlag("True"), std::optional<bool>(true));
    QCOMPARE(TemplateFlag("false"), std::optional<bool>(false));
    QCOMPARE(TemplateFlag("-1"), std::optional<bool>(true));
    QCOMPARE(TemplateFlag("0"), std::optional<bool>(false));
    QCOMPARE(TemplateFlag(""), std::nullopt);
    QCOMPARE(TemplateFlag("Yes"), std::nullopt);
  }
};

CORVELLAN_TEST_CLASS(LabelTemplatesTest);

#include "label_templates_test.moc"
