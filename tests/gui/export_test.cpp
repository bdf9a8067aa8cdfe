// File, Export on the test database. Every file is read back with Python's
// csv module (an RFC 4180 reader that knows nothing of this program) and each
// value compared with the record the line came from.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/result_export.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::EveryYield;
using corvellan::test::SearchSession;
using corvellan::test::TestEnvironment;

namespace {

using Rows = QList<QStringList>;

const QStringList kHeader = {"Recipient", "Secondary", "SecLow", "SecHigh", "Sec-OE",       "Primary",
                             "PriLow",    "PriHigh",   "Pri-OE", "Urbanization", "City", "State",
                             "ZipCode",   "Plus4",     "ZipLow", "ZipHigh",     "RecType", "RecDesc"};

// The addresses of ZIP code 12360 as the panel shows them.
const QStringList kElmStreet = {"", "", "", "", "", "Elm St", "1", "99", "O", "", "Easton", "IL",
                                "12360", "", "0001", "0099", "S", "Street"};
const QStringList kZephyr = {"Zephyr Labs", "", "", "", "", "10 Elm St", "10", "10", "B", "", "Easton", "IL",
                             "12360", "0010", "0010", "0010", "F", "Firm"};
const QStringList kAcorn = {"Acorn Bakery", "Ste 1", "1", "1", "B", "12 Elm St", "12", "12", "B", "", "Easton", "IL",
                            "12360", "0012", "0012", "0012", "F", "Firm"};
const QStringList kJoes = {"Joe's \"best\" Deli", "Ste 5", "5", "5", "B", "40 Elm St", "40", "40", "B", "", "Easton",
                           "IL", "12360", "0040", "0040", "0040", "F", "Firm"};
const QStringList kBrightIdeas = {"Bright Ideas Co", "", "", "", "", "50 Cedar St", "50", "50", "B", "", "Easton",
                                  "IL", "12360", "0050", "0050", "0050", "F", "Firm"};

// The file as Python's csv module reads it (strict quoting: a stray quote
// inside a value is an error). Fails the test when the reader does.
Rows ReadCsv(const QString& path) {
  static const char kScript[] =
      "import csv, json, sys\n"
      "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
      "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n";
  QProcess python;
  python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QLatin1String(kScript), path});
  if (!python.waitForFinished(30000) || python.exitCode() != 0) {
    qWarning("csv reader: %s", python.readAllStandardError().constData());
    return {{QStringLiteral("<unreadable>")}};
  }
  Rows rows;
  for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
    QStringList values;
    for (const QJsonValue& value : row.toArray()) values.append(value.toString());
    rows.append(values);
  }
  return rows;
}

// Every line of the file ends with CR LF, and no line feed stands alone.
bool LinesEndWithCrLf(const QByteArray& bytes) {
  return bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n");
}

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

  QTabWidget* tabs() const { return s_->window.findChild<QTabWidget*>("SSTab1"); }
  QListWidget* orgList() const { return s_->window.findChild<QListWidget*>("OrgList"); }
  QString outPath() const { return s_->env.root() + "/Address.Txt"; }
  void exportTo(const QString& path) {
    FileDialog::setNextFileName(path);
    s_->window.MnuFileExport_Click();
  }
  void searchElmStreet() {
    s_->type("SearchZip", "12360");
    s_->type("SearchStreet", "elm");
    s_->search();
  }
  static void select(QListWidget* list, const QList<int>& rows) {
    list->clearSelection();
    for (int row : rows) list->item(row)->setSelected(true);
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() {
    FileDialog::clearNextFileName();
    s_.reset();
  }

  void selectedLinesAreWrittenAsThePanelShowsThem() {
    searchElmStreet();
    QCOMPARE(s_->list()->count(), 9);
    select(s_->list(), {8, 0, 1});
    exportTo(outPath());

    const FileDialog::Request dialog = FileDialog::lastRequest();
    QCOMPARE(dialog.caption, QStringLiteral("Export To"));
    QCOMPARE(dialog.proposedName, QStringLiteral("Address.Txt"));
    QCOMPARE(dialog.directory, s_->env.programDir());

    // In list order, whatever the order of selecting.
    QCOMPARE(ReadCsv(outPath()), Rows({kHeader, kElmStreet, kZephyr, kJoes}));
    const QByteArray bytes = TestEnvironment::readFile(outPath());
    QVERIFY(LinesEndWithCrLf(bytes));
    QVERIFY(bytes.startsWith("\"Recipient\",\"Secondary\",\"SecLow\","));
    QVERIFY(bytes.contains("\"Joe's \"\"best\"\" Deli\",\"Ste 5\","));
    QVERIFY(bytes.contains("\"Zephyr Labs\",\"\",\"\",\"\",\"\",\"10 Elm St\""));

    QCOMPARE(s_->window.PanelText(1), QString());
    QCOMPARE(s_->window.PanelText(2), QStringLiteral("Exported 3"));
    // The last line of the list is current and shown; the selection stays.
    QCOMPARE(s_->list()->currentRow(), 8);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Joe's \"best\" Deli"));
    QCOMPARE(s_->list()->selectedItems().size(), 3);
    QCOMPARE(App().BusyPointer, 0);
    QVERIFY(MessageBox::shown().isEmpty());

    // Exporting again replaces the file.
    select(s_->list(), {2});
    exportTo(outPath());
    QCOMPARE(ReadCsv(outPath()), Rows({kHeader, kAcorn}));
  }

  void theOrganizationListWhenItsTabIsInFront() {
    searchElmStreet();
    s_->list()->selectAll();
    tabs()->setCurrentIndex(3);
    s_->edit("OrgZip")->setText("12360");
    s_->button("OrgSearch")->click();
    QCOMPARE(orgList()->count(), 4);
    orgList()->selectAll();
    exportTo(outPath());
    // 12360-0050 is also the code of a street record: the firm's line
    // exports the firm.
    QCOMPARE(ReadCsv(outPath()), Rows({kHeader, kZephyr, kAcorn, kJoes, kBrightIdeas}));
    QCOMPARE(s_->window.PanelText(2), QStringLiteral("Exported 4"));
    QCOMPARE(orgList()->currentRow(), 3);
  }

  void headerOnlyNothingToExportAndACancelledDialog() {
    searchElmStreet();
    s_->list()->clearSelection();
    exportTo(outPath());
    QCOMPARE(TestEnvironment::readFile(outPath()),
             QByteArray("\"Recipient\",\"Secondary\",\"SecLow\",\"SecHigh\",\"Sec-OE\",\"Primary\",\"PriLow\","
                        "\"PriHigh\",\"Pri-OE\",\"Urbanization\",\"City\",\"State\",\"ZipCode\",\"Plus4\","
                        "\"ZipLow\",\"ZipHigh\",\"RecType\",\"RecDesc\"\r\n"));
    QCOMPARE(s_->list()->currentRow(), 8);

    // A cancelled dialog: nothing written, nothing said.
    QFile::remove(outPath());
    exportTo(QString());
    QVERIFY(!QFile::exists(outPath()));
    QVERIFY(MessageBox::shown().isEmpty());

    // An empty list (here the organization list): a message and no file.
    tabs()->setCurrentIndex(3);
    exportTo(outPath());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Nothing to Export"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QVERIFY(!QFile::exists(outPath()));
  }

  void cancelKeepsTheLinesWrittenSoFar() {
    s_->edit("MaxQty")->setText("300");
    s_->type("SearchStreet", "broadway");
    s_->search();
    QCOMPARE(s_->list()->count(), 300);
    s_->list()->selectAll();
    const int interval = SetExportYieldMilliseconds(0);
    bool busy = false;
    EveryYield driver([&](int turn) {
      if (turn < 30) return true;
      busy = App().BusyPointer == 11;
      QTest::mouseClick(s_->button("CancelSearch"), Qt::LeftButton);
      return false;
    });
    exportTo(outPath());
    SetExportYieldMilliseconds(interval);

    QVERIFY(busy);
    const Rows rows = ReadCsv(outPath());
    QVERIFY(rows.size() > 2);
    QVERIFY(rows.size() < 301);
    QCOMPARE(rows.front(), kHeader);
    QCOMPARE(s_->window.PanelText(2), QStringLiteral("Exported %1").arg(rows.size() - 1));
    for (int i = 1; i < rows.size(); ++i) {
      const QString zip = QString::number(20000 + i - 1);
      QCOMPARE(rows[i], QStringList({"", "", "", "", "", "Broadway", "1", "99", "O", "", "Riverton", "OH", zip,
                                     "0001", "0001", "0001", "S", "Street"}));
    }
    // Stopped on the last line written.
    QCOMPARE(s_->list()->currentRow(), rows.size() - 2);
    QVERIFY(LinesEndWithCrLf(TestEnvironment::readFile(outPath())));
    QCOMPARE(App().BusyPointer, 0);
  }

  void aFileThatCannotBeWrittenIsReported() {
    searchElmStreet();
    s_->list()->selectAll();
    // A path through a plain file: no such directory, said in words.
    exportTo(s_->env.iniPath() + "/Address.Txt");
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to complete export - Not a directory"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QCOMPARE(s_->window.PanelText(1), QString());
    QCOMPARE(App().BusyPointer, 0);

    // A FIFO (or a device) is refused at once: nothing waits for a reader.
    MessageBox::clearShown();
    QVERIFY(::mkfifo(QFile::encodeName(outPath()).constData(), 0600) == 0);
    QElapsedTimer clock;
    clock.start();
    exportTo(outPath());
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to complete export - Address.Txt is not a regular file"});
    QVERIFY(QFileInfo(outPath()).isFile() == false);
    MessageBox::clearShown();
    exportTo("/dev/full");
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to complete export - full is not a regular file"});
    QCOMPARE(App().BusyPointer, 0);
  }

  void theDatabaseInUseIsNeverWritten() {
    searchElmStreet();
    s_->list()->selectAll();
    const QString database = App().DataDir + "zip.cvd";
    const QByteArray before = TestEnvironment::readFile(database);
    QVERIFY(before.size() > 1000);
    const auto entries = [] { return QDir(App().DataDir).entryList(QDir::AllEntries | QDir::Hidden); };
    // Recognised by device and inode: under its own name, through a hard
    // link and through a symbolic link in the program folder.
    const QString hard = App().DataDir + "Hard.Txt";
    const QString soft = s_->env.programDir() + "Linked.Txt";
    QVERIFY(::link(QFile::encodeName(database).constData(), QFile::encodeName(hard).constData()) == 0);
    QVERIFY(QFile::link(database, soft));
    const QStringList entriesBefore = entries();
    for (const QString& path : {database, hard, soft}) {
      MessageBox::clearShown();
      exportTo(path);
      QCOMPARE(MessageBox::shownTexts(),
               QStringList{"Unable to complete export - " + QFileInfo(path).fileName() + " is the database in use"});
      QCOMPARE(TestEnvironment::readFile(database), before);
    }
    QCOMPARE(App().BusyPointer, 0);
    // The program still answers from it.
    s_->clickLine(2);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Acorn Bakery"));
    // Nothing is left beside it.
    QCOMPARE(entries(), entriesBefore);
    QVERIFY(QFile::remove(hard));
  }
};

CORVELLAN_TEST_CLASS(ExportTest);

#include "export_test.moc"
