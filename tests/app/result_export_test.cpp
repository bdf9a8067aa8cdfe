// The export file's line format, and how the export file replaces its
// target: whole or not at all, never the database, never a FIFO or device.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/result_export.h"
#include "qtest_registry.h"

using namespace corvellan;

class ResultExportTest : public QObject {
  Q_OBJECT

 private slots:
  void valuesAreQuotedWithInnerQuotesDoubled() {
    QCOMPARE(ExportLine({"Acme Tool Co", "", "150 Main St"}), QByteArray("\"Acme Tool Co\",\"\",\"150 Main St\"\r\n"));
    // A quote inside a value is doubled, at either end too; commas and
    // blanks stay as they are.
    QCOMPARE(ExportLine({"Joe's \"Best\" Deli", "\"", "\"X\"", " a, b "}),
             QByteArray("\"Joe's \"\"Best\"\" Deli\",\"\"\"\",\"\"\"X\"\"\",\" a, b \"\r\n"));
    QCOMPARE(ExportLine({}), QByteArray("\r\n"));
  }

  void textIsWrittenInSingleBytes() {
    QCOMPARE(ExportLine({QStringLiteral("Caf\u00e9")}), QByteArray("\"Caf\xe9\"\r\n"));
    // No single-byte form: a question mark, as in the engine's records.
    QCOMPARE(ExportLine({QStringLiteral("\u0178")}), QByteArray("\"?\"\r\n"));
  }

  void headerAndErrorText() {
    const QStringList header = ExportHeader();
    QCOMPARE(header.size(), 18);
    QCOMPARE(header.front(), QStringLiteral("Recipient"));
    QCOMPARE(header.back(), QStringLiteral("RecDesc"));
    QCOMPARE(ExportErrorText("Not a directory"), QStringLiteral("Unable to complete export - Not a directory"));
  }

  void failuresAreSaidInWords() {
    QTemporaryDir dir;
    ExportFile missing;
    QVERIFY(!missing.open(dir.path() + "/no/such/dir/out.txt"));
    QCOMPARE(missing.error(), ENOENT);
    QCOMPARE(missing.errorText(), QStringLiteral("No such file or directory"));
    QVERIFY(!missing.write({"x"}));

    ExportFile file;
    QVERIFY(file.open(dir.path() + "/out.txt"));
    QVERIFY(file.write({"a"}));
    QVERIFY(file.close());
    QCOMPARE(file.error(), 0);
    QCOMPARE(ReadFile(dir.path() + "/out.txt"), QByteArray("\"a\"\r\n"));
    QCOMPARE(Entries(dir.path()), QStringList{"out.txt"});
  }

  void anExistingFileIsReplacedWholeWithItsPermissions() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.txt";
    QVERIFY(WriteFile(path, "old contents\n"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    struct stat before {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &before) == 0);

    ExportFile file;
    QVERIFY(file.open(path));
    QVERIFY(file.write({"new"}));
    // Until the export is complete the old file is untouched.
    QCOMPARE(ReadFile(path), QByteArray("old contents\n"));
    QVERIFY(file.close());
    QCOMPARE(ReadFile(path), QByteArray("\"new\"\r\n"));
    struct stat after {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &after) == 0);
    QCOMPARE(after.st_mode & 07777, 0640u);
    QVERIFY(after.st_ino != before.st_ino);

    // Through a symbolic link the file it names is replaced; the link stays.
    QVERIFY(QFile::link(path, dir.path() + "/link.txt"));
    QVERIFY(file.open(dir.path() + "/link.txt"));
    QVERIFY(file.write({"linked"}));
    QVERIFY(file.close());
    QVERIFY(QFileInfo(dir.path() + "/link.txt").isSymLink());
    QCOMPARE(ReadFile(path), QByteArray("\"linked\"\r\n"));

    // Abandoned: the old file stays and nothing is left beside it.
    QVERIFY(file.open(path));
    QVERIFY(file.write({"dropped"}));
    file.discard();
    QCOMPARE(ReadFile(path), QByteArray("\"linked\"\r\n"));
    QCOMPARE(Entries(dir.path()), QStringList({"link.txt", "out.txt"}));
  }

  void aWriteFailureLeavesTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.txt";
    QVERIFY(WriteFile(path, "old contents\n"));
    // A file size limit makes the writes fail (EFBIG) as a full disk would.
    struct rlimit saved {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    ExportFile file;
    bool ok = file.open(path);
    for (int i = 0; ok && i < 1000; ++i) ok = file.write({"a value long enough to pass the limit soon"});
    if (ok) ok = file.close();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!ok);
    QCOMPARE(file.error(), EFBIG);
    QCOMPARE(file.errorText(), QStringLiteral("File too large"));
    file.discard();
    QCOMPARE(ReadFile(path), QByteArray("old contents\n"));
    QCOMPARE(Entries(dir.path()), QStringList{"out.txt"});
  }

  void filesThatAreNotRegularAreRefused() {
    QTemporaryDir dir;
    const QString database = dir.path() + "/zip.cvd";
    QVERIFY(WriteFile(database, "database"));
    // A FIFO would block until something reads it; a device, a directory.
    const QString fifo = dir.path() + "/pipe";
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    for (const QString& path : {fifo, QStringLiteral("/dev/null"), dir.path() + "/folder"}) {
      ExportFile file;
      QVERIFY2(!file.open(path, database), qPrintable(path));
      QCOMPARE(file.errorText(), QFileInfo(path).fileName() + " is not a regular file");
      QCOMPARE(file.error(), 0);
      QVERIFY(!file.close());
    }
    QCOMPARE(Entries(dir.path()), QStringList({"folder", "pipe", "zip.cvd"}));
  }

 private:
  static bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  }
  static QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
  }
  // Every name in the directory, hidden ones too.
  static QStringList Entries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  }
};

CORVELLAN_TEST_CLASS(ResultExportTest);

#include "result_export_test.moc"
