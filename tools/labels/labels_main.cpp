// corvdb-labels: mailing labels for a whole address list, drawn by the same
// code as the program's Mailing Label tab. `corvdb labels ARGS...` runs it.
//
//   corvdb labels --in LIST.csv (--out LABELS.pdf | --printer QUEUE) [--data DIR]
//                 [--product NAME] [--start N] [--max-chars N]
//                 [--barcode none|postnet|imb] [--barcode-id NN --service-type NNN
//                 --mailer-id N --serial N] [--digits] [--font FAMILY]
//                 [--font-size PT] [--left IN] [--top IN]
//
// LIST.csv is read as corvdb standardize reads it (RFC 4180, UTF-8, a header
// row, column names without regard to letter case). Each row is one label:
//   - with the columns corvdb standardize appends (std_delivery_line,
//     std_city, std_state, std_zip4), they are printed as they are; a row
//     without a ZIP code there is skipped;
//   - else the column "address" (or --column) is matched against the
//     database as corvdb standardize matches it; a row that does not match
//     (exactly or corrected) is skipped.
// A column "recipient" (or else "name") gives the label's first line.
// Skipped rows are listed on standard error with their row number (the
// header row not counted) and the reason.
//
// The label is composed as the program composes one (ComposeAddressBlock):
// the unit above the delivery line, or the ZIP code on a line of its own,
// when the line is longer than --max-chars. The PDF is written beside --out
// under a name of its own and renamed over it when complete.
//
// Exit status: 0 labels printed, 1 no label (an empty list, no row usable),
// 2 error (usage, an unreadable list, a missing column, a data file that
// cannot be opened, an output that cannot be written, a printer that refused
// the job).
#include <cups/cups.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "address_matcher.h"
#include "csv.h"
#include "labels/drawing/imb.h"
#include "labels/drawing/label_pages.h"
#include "labels/drawing/label_products.h"
#include "labels/drawing/label_text.h"
#include "place_names.h"
#include "read_zip_file.h"
#include "signal_cleanup.h"
#include "standardize_files.h"

namespace {

using corvdb::tools::FileId;
using corvdb::tools::InputList;
using corvdb::tools::Lower;
using corvdb::tools::ResultFile;
using corvdb::tools::Trim;
using corvellan::matcher::CsvReader;
using corvellan::matcher::CsvRecord;

constexpr char kTool[] = "corvdb labels";
constexpr char kBarcodeFont[] = "Corvellan POSTNET";
constexpr int kBarcodeFontSize = 18;
// One label per page when no product is named: a 4 x 1.5 in label.
constexpr double kDefaultWidthInches = 4.0;
constexpr double kDefaultHeightInches = 1.5;
constexpr int kPdfDpi = 1200;

struct Args {
  std::string in, out, printer, data, column, product, barcode = "postnet";
  int start = 1;
  int maxChars = 30;
  std::string barcodeId = "00", serviceType, mailerId;
  long long serial = -1;
  bool digits = false;
  std::string font = "DejaVu Sans";
  double fontSize = 0;         // 0: by the label's height
  double left = -1, top = -1;  // inches; below 0: the default
};

int Fail(const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", kTool, line.c_str());
  return 2;
}

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The unit designators of the Postal Service, for a delivery line read back
// from a list: "150 MAIN ST APT 2" -> "150 MAIN ST" and "APT 2". A unit ends
// the line: a designator that takes no number as the last word (REAR), or
// one followed by its number (APT 2, STE B, # 5, #5). A designator word
// elsewhere belongs to the street's name ("100 N PIER RD", "5 W SIDE DR").
void SplitUnit(const QString& line, QString* primary, QString* unit) {
  static const QStringList kWithNumber = {
      QStringLiteral("APT"),  QStringLiteral("BLDG"), QStringLiteral("DEPT"), QStringLiteral("FL"),
      QStringLiteral("HNGR"), QStringLiteral("KEY"),  QStringLiteral("LOT"),  QStringLiteral("PIER"),
      QStringLiteral("RM"),   QStringLiteral("SLIP"), QStringLiteral("SPC"),  QStringLiteral("STE"),
      QStringLiteral("STOP"), QStringLiteral("TRLR"), QStringLiteral("UNIT"), QStringLiteral("#")};
  static const QStringList kWithoutNumber = {QStringLiteral("BSMT"), QStringLiteral("FRNT"), QStringLiteral("LBBY"),
                                             QStringLiteral("LOWR"), QStringLiteral("OFC"),  QStringLiteral("PH"),
                                             QStringLiteral("REAR"), QStringLiteral("SIDE"), QStringLiteral("UPPR")};
  static const QRegularExpression unitNumber(QStringLiteral(R"(^(\d[\w-]*|[A-Z]\d*|[A-Z]-?\d+)$)"),
                                             QRegularExpression::CaseInsensitiveOption);
  const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  const qsizetype n = words.size();
  qsizetype at = -1;
  // The number and the street come first.
  if (n >= 3 && (kWithoutNumber.contains(words[n - 1].toUpper()) ||
                 (words[n - 1].size() > 1 && words[n - 1].startsWith(QLatin1Char('#'))))) {
    at = n - 1;
  } else if (n >= 4 && (kWithNumber.contains(words[n - 2].toUpper()) || kWithoutNumber.contains(words[n - 2].toUpper())) &&
             unitNumber.match(words[n - 1]).hasMatch()) {
    at = n - 2;
  }
  if (at < 0) {
    *primary = line.simplified();
    unit->clear();
    return;
  }
  *primary = words.mid(0, at).join(QLatin1Char(' '));
  *unit = words.mid(at).join(QLatin1Char(' '));
}

// The columns of the list that give a label.
struct Columns {
  int address = -1, recipient = -1;
  int stdLine = -1, stdCity = -1, stdState = -1, stdZip = -1, matchCode = -1, matchReason = -1;
  bool standardized() const { return stdLine >= 0 && stdCity >= 0 && stdState >= 0 && stdZip >= 0; }
  std::size_t needed() const {
    return static_cast<std::size_t>(std::max({address, recipient, stdLine, stdCity, stdState, stdZip}) + 1);
  }
};

// What the barcode of a label encodes, and the label itself.
struct Label {
  corvellan::LabelAddress address;
  QString barcodeDigits;
};

// The address of a row; nothing, with the reason, when the row gives no label.
std::optional<Label> RowLabel(const Columns& c, const CsvRecord& row, corvellan::matcher::AddressMatcher* matcher,
                              int maxChars, std::string* why) {
  if (!row.error.empty()) {
    *why = "cannot be read: " + row.error;
    return std::nullopt;
  }
  const auto field = [&row](int i) {
    return i >= 0 && static_cast<std::size_t>(i) < row.fields.size() ? row.fields[static_cast<std::size_t>(i)]
                                                                     : std::string();
  };
  if (row.fields.size() < c.needed()) {
    *why = "has " + std::to_string(row.fields.size()) + " fields, the header " + std::to_string(c.needed());
    return std::nullopt;
  }
  Label label;
  corvellan::LabelAddress& a = label.address;
  a.maxChars = maxChars;
  a.recipient = Text(Trim(field(c.recipient)));
  std::string zip4;
  if (c.standardized()) {
    zip4 = Trim(field(c.stdZip));
    if (zip4.empty()) {
      const std::string code = Trim(field(c.matchCode));
      const std::string reason = Trim(field(c.matchReason));
      *why = "no ZIP code in std_zip4" +
             (code.empty() ? std::string() : " (" + code + (reason.empty() ? "" : ": " + reason) + ")");
      return std::nullopt;
    }
    SplitUnit(Text(Trim(field(c.stdLine))), &a.primary, &a.secondary);
    a.city = Text(Trim(field(c.stdCity)));
    a.state = Text(Trim(field(c.stdState)));
  } else {
    const std::string text = field(c.address);
    const corvellan::matcher::ParsedAddress parsed = matcher->parser().parse(text);
    if (!parsed.error.empty() && parsed.error != "no street address") {
      *why = "not matched (error: " + parsed.error + ")";
      return std::nullopt;
    }
    const corvellan::matcher::MatchResult m = matcher->match(parsed);
    if (!m.confident()) {
      *why = std::string("not matched (") + corvellan::matcher::MatchCodeName(m.code) +
             (m.reason.empty() ? "" : ": " + m.reason) + ")";
      return std::nullopt;
    }
    std::string primary = m.deliveryLine;
    if (!m.unit.empty() && primary.size() > m.unit.size() &&
        primary.compare(primary.size() - m.unit.size(), m.unit.size(), m.unit) == 0) {
      primary = Trim(primary.substr(0, primary.size() - m.unit.size()));
      a.secondary = Text(m.unit);
    }
    a.primary = Text(primary);
    a.city = Text(m.city);
    a.state = Text(m.state);
    zip4 = m.zip + (m.plus4.empty() ? "" : "-" + m.plus4);
  }
  const auto dash = zip4.find('-');
  a.zip = Text(zip4.substr(0, dash));
  if (dash != std::string::npos) a.plus4 = Text(zip4.substr(dash + 1));
  label.barcodeDigits = corvellan::LabelBarcodeDigits(a);
  if (label.barcodeDigits.isEmpty()) {
    *why = "the ZIP code \"" + zip4 + "\" is not five digits or five digits, a hyphen and four";
    return std::nullopt;
  }
  return label;
}

// The barcode font: fonts/ beside this program (the build tree), else the
// installed program files' fonts folder.
bool LoadBarcodeFont() {
  const QDir program(QCoreApplication::applicationDirPath());
  for (const QString& dir : {program.filePath(QStringLiteral("fonts")),
                             QDir::cleanPath(program.filePath(QStringLiteral(CORVELLAN_LIBEXEC_TO_DATA "/fonts")))}) {
    const QString file = QDir(dir).filePath(QStringLiteral("CorvellanPOSTNET.ttf"));
    if (QFileInfo::exists(file) && QFontDatabase::addApplicationFont(file) >= 0) return true;
  }
  return false;
}

// The POSTNET barcode text of the shipped barcode font: the frame bar, the
// digits and their correction digit (bringing the sum to a multiple of 10),
// the frame bar.
QString PostnetBarcode(const QString& digits) {
  int sum = 0;
  for (const QChar ch : digits) sum += ch.unicode() - '0';
  return QStringLiteral("|") + digits + QString::number((10 - sum % 10) % 10) + QStringLiteral("|");
}

// Hands the PDF to the CUPS queue; false with the reason when it was refused.
bool SubmitToQueue(const std::string& queue, const QString& pdf, const QSizeF& pageInches, std::string* why) {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
  if (dest == nullptr) {
    *why = "there is no printer queue \"" + queue + "\" (lpstat -p lists them)";
    return false;
  }
  cupsFreeDests(1, dest);
  cups_option_t* options = nullptr;
  int count = 0;
  // The page of the labels as the media of the job (its PWG media name, or
  // a custom size); a landscape page is turned onto it by the queue.
  if (pwg_media_t* media = pwgMediaForSize(static_cast<int>(std::lround(pageInches.width() * 2540)),
                                           static_cast<int>(std::lround(pageInches.height() * 2540)))) {
    count = cupsAddOption("media", media->pwg, count, &options);
  }
  count = cupsAddOption("document-format", "application/pdf", count, &options);
  const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), QFile::encodeName(pdf).constData(),
                                 "Corvellan labels", count, options);
  cupsFreeOptions(count, options);
  if (job == 0) {
    *why = "the printer queue \"" + queue + "\" refused the job: " + cupsLastErrorString();
    return false;
  }
  std::fprintf(stderr, "%s: job %d sent to %s\n", kTool, job, queue.c_str());
  return true;
}

int Run(const Args& args) {
  // Options first: nothing is read before they are known to be good.
  if (args.out.empty() == args.printer.empty()) return Fail("give either --out or --printer");
  std::optional<corvellan::LabelProduct> product;
  if (!args.product.empty()) {
    QString error;
    product = corvellan::FindLabelProduct(Text(args.product), &error);
    if (!product) return Fail(error.toStdString());
    if (product->cells.isEmpty()) return Fail("the label product \"" + args.product + "\" has no labels");
  }
  const int cells = product ? static_cast<int>(product->cells.size()) : 1;
  if (args.start < 1 || args.start > cells)
    return Fail("--start must be 1 to " + std::to_string(cells) +
                (product ? " (the labels of a " + args.product + " sheet)" : " (one label per page)"));
  if (args.maxChars < 1 || args.maxChars > 32767) return Fail("--max-chars must be 1 to 32767");
  const std::string kind = Lower(args.barcode);
  if (kind != "none" && kind != "postnet" && kind != "imb") return Fail("--barcode must be none, postnet or imb");
  const bool imb = kind == "imb";
  corvellan::ImbMailer mailer{Text(args.barcodeId), Text(args.serviceType), Text(args.mailerId)};
  if (imb) {
    if (args.serviceType.empty() || args.mailerId.empty() || args.serial < 0)
      return Fail("--barcode imb needs --service-type, --mailer-id and --serial (and --barcode-id, default 00)");
    const QString problem = corvellan::ImbMailerError(mailer);
    if (!problem.isEmpty()) return Fail(problem.toStdString());
    const std::int64_t available = corvellan::ImbSerialCount(mailer.mailerId);
    if (args.serial >= available)
      return Fail("--serial must be 0 to " + std::to_string(available - 1) + " with a " +
                  std::to_string(args.mailerId.size()) + "-digit Mailer ID");
  } else if (!args.serviceType.empty() || !args.mailerId.empty() || args.serial >= 0 || args.digits) {
    return Fail("--barcode-id, --service-type, --mailer-id, --serial and --digits belong to --barcode imb");
  }
  const QSizeF page = product ? product->page : QSizeF(kDefaultWidthInches, kDefaultHeightInches);
  const QSizeF labelSize = product ? product->label : page;
  const double fontSize = args.fontSize > 0 ? args.fontSize : labelSize.height() < 1.25 ? 8 : 10;
  if (fontSize < 4 || fontSize > 72) return Fail("--font-size must be 4 to 72 points");
  const double left = args.left >= 0 ? args.left : 0.1;
  const double top = args.top >= 0 ? args.top : 0.1;
  if (left > labelSize.width() || top > labelSize.height()) return Fail("--left and --top must lie on the label");

  // The list.
  InputList list;
  std::string error;
  if (!list.Open(args.in, &error)) return Fail(error);
  if (const std::string why = corvellan::matcher::CsvEncodingProblem(list.Peek(4)); !why.empty())
    return Fail(list.name() + " " + why + "; only UTF-8 is read: save the list as UTF-8");
  std::istream in(list.buffer());
  CsvReader csv(in);
  CsvRecord header;
  if (!csv.next(header)) {
    if (list.readError() != 0) return Fail("cannot read " + list.name() + ": " + std::strerror(list.readError()));
    return Fail(list.name() + " is empty: it needs a header row");
  }
  if (!header.error.empty()) return Fail(list.name() + ": header row: " + header.error);
  Columns columns;
  for (std::size_t i = 0; i < header.fields.size(); ++i) {
    const std::string name = Lower(Trim(header.fields[i]));
    const int index = static_cast<int>(i);
    const auto take = [&](int& slot, const char* wanted) {
      if (slot < 0 && name == wanted) slot = index;
    };
    take(columns.address, args.column.empty() ? "address" : Lower(Trim(args.column)).c_str());
    take(columns.recipient, "recipient");
    take(columns.stdLine, "std_delivery_line");
    take(columns.stdCity, "std_city");
    take(columns.stdState, "std_state");
    take(columns.stdZip, "std_zip4");
    take(columns.matchCode, "match_code");
    take(columns.matchReason, "match_reason");
  }
  if (columns.recipient < 0) {
    for (std::size_t i = 0; i < header.fields.size() && columns.recipient < 0; ++i)
      if (Lower(Trim(header.fields[i])) == "name") columns.recipient = static_cast<int>(i);
  }
  if (!args.column.empty() && columns.address < 0)
    return Fail(list.name() + " has no column named \"" + args.column + "\"");
  if (!args.column.empty()) columns.stdLine = -1;  // the column named wins
  if (!columns.standardized() && columns.address < 0)
    return Fail(list.name() +
                " has no column named \"address\", nor the std_delivery_line, std_city, std_state "
                "and std_zip4 columns corvdb standardize writes (name the address column with --column)");

  // The database, only for addresses to match.
  std::unique_ptr<corvdb::ReadZipFile> reader;
  std::unique_ptr<corvellan::matcher::PlaceNames> places;
  std::unique_ptr<corvellan::matcher::AddressMatcher> matcher;
  std::vector<std::pair<FileId, std::string>> inputs = {{list.id(), "the input list " + list.name()}};
  if (!columns.standardized()) {
    reader = std::make_unique<corvdb::ReadZipFile>();
    int32_t rc = 0;
    if (!args.data.empty()) {
      std::filesystem::path p(args.data);
      if (std::filesystem::is_directory(p)) p /= "zip.cvd";
      rc = reader->openPath(p.string());
    } else {
      rc = reader->openDatabase();
    }
    if (rc != 0) return Fail("Error opening Data Files: " + reader->path());
    if (struct stat st{}; stat(reader->path().c_str(), &st) == 0)
      inputs.push_back({FileId{st.st_dev, st.st_ino}, "the database " + reader->path()});
    places = std::make_unique<corvellan::matcher::PlaceNames>(corvellan::matcher::PlaceNames::FromReader(*reader));
    matcher = std::make_unique<corvellan::matcher::AddressMatcher>(*reader, *places);
  }
  ResultFile out;
  if (!args.out.empty() && !out.Prepare(args.out, inputs, &error)) return Fail(error);

  QFont barcodeFont;
  if (kind == "postnet") {
    if (!LoadBarcodeFont())
      return Fail(std::string("the barcode font \"") + kBarcodeFont +
                  "\" was not found in the program's fonts folder; use --barcode none or imb");
    barcodeFont = QFont(QString::fromLatin1(kBarcodeFont));
    barcodeFont.setPointSizeF(kBarcodeFontSize);
  }

  // The rows.
  QList<corvellan::LabelContent> labels;
  const long leftTwips = std::lround(left * corvellan::kLabelTwipsPerInch);
  const long topTwips = std::lround(top * corvellan::kLabelTwipsPerInch);
  std::uint64_t rows = 0;
  std::uint64_t skipped = 0;
  CsvRecord row;
  while (csv.next(row)) {
    ++rows;
    std::string why;
    const std::optional<Label> label = RowLabel(columns, row, matcher.get(), args.maxChars, &why);
    if (!label) {
      ++skipped;
      std::fprintf(stderr, "%s: row %llu (line %llu) skipped: %s\n", kTool, static_cast<unsigned long long>(rows),
                   static_cast<unsigned long long>(row.line), why.c_str());
      continue;
    }
    corvellan::LabelContent content;
    content.leftTwips = leftTwips;
    content.topTwips = topTwips;
    content.useBar = kind != "none";
    if (kind == "postnet") {
      content.barcode = PostnetBarcode(label->barcodeDigits);
    } else if (imb) {
      content.barcode = corvellan::ImbRoutingCode(label->barcodeDigits, label->address.primary);
    }
    QString block = corvellan::ComposeAddressBlock(label->address);
    block.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    content.address = block;
    labels.append(content);
  }
  if (list.readError() != 0) return Fail("cannot read " + list.name() + ": " + std::strerror(list.readError()));
  if (labels.isEmpty()) {
    std::fprintf(
        stderr, "%s: no label: %s\n", kTool,
        rows == 0 ? "the list has no rows" : ("none of the " + std::to_string(rows) + " rows gave one").c_str());
    return 1;
  }
  if (imb && labels.size() > corvellan::ImbSerialCount(mailer.mailerId))
    return Fail("more labels than serial numbers of Mailer ID " + args.mailerId);

  // The pages, drawn into memory and written as one file.
  QBuffer pdf;
  pdf.open(QIODevice::WriteOnly);
  QPdfWriter writer(&pdf);
  writer.setResolution(kPdfDpi);
  writer.setCreator(QStringLiteral("Corvellan"));
  writer.setTitle(QStringLiteral("Corvellan labels"));
  // A turned roll label's page is its own size in landscape.
  const QPageLayout layout = product ? corvellan::PageLayoutOf(*product)
                                     : QPageLayout(QPageSize(page, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                                                   QPageLayout::Portrait, QMarginsF());
  writer.setPageLayout(layout);
  corvellan::LabelRun run;
  run.dpi = writer.resolution();
  run.product = product;
  run.startLabel = args.start;
  run.fonts.barcode = barcodeFont;
  run.fonts.label = QFont(Text(args.font));
  run.fonts.label.setPointSizeF(fontSize);
  if (const QString used = QFontInfo(run.fonts.label).family(); used.compare(Text(args.font), Qt::CaseInsensitive) != 0)
    std::fprintf(stderr, "%s: warning: there is no font \"%s\"; the labels use \"%s\"\n", kTool, args.font.c_str(),
                 used.toUtf8().constData());
  run.fonts.digits = QFont(Text(args.font));
  run.fonts.digits.setPointSizeF(7);
  run.imb = imb;
  run.imbDigits = args.digits;
  run.mailer = mailer;
  run.firstSerial = args.serial;
  const qsizetype total = labels.size();
  const qsizetype step = std::max<qsizetype>(1, total / 100);
  const corvellan::LabelRunResult result = corvellan::DrawLabelPages(writer, labels, run, [&](qsizetype done) {
    if (done % step == 0 || done == total)
      std::fprintf(stderr, "\r%s: %lld of %lld labels", kTool, static_cast<long long>(done),
                   static_cast<long long>(total));
    return true;
  });
  std::fprintf(stderr, "\n");
  if (!result.begun || !result.complete) return Fail("the labels could not be drawn");
  pdf.close();

  if (!args.out.empty()) {
    if (!out.Open(&error) ||
        !out.Write(std::string_view(pdf.data().constData(), static_cast<std::size_t>(pdf.data().size())), &error) ||
        !out.Commit(&error))
      return Fail(error);
  } else {
    QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/corvdb-labels-XXXXXX.pdf"));
    if (!spool.open() || spool.write(pdf.data()) != pdf.data().size() || !spool.flush())
      return Fail("cannot write a temporary file in " + QDir::tempPath().toStdString());
    corvdb::tools::RemoveOnSignal remove(spool.fileName().toStdString());
    if (!SubmitToQueue(args.printer, spool.fileName(), layout.pageSize().size(QPageSize::Inch), &error))
      return Fail(error);
  }
  std::fprintf(stderr, "%s: %lld label%s on %d page%s%s%s; %llu of %llu row%s skipped\n", kTool,
               static_cast<long long>(total), total == 1 ? "" : "s", result.pages, result.pages == 1 ? "" : "s",
               product ? " of " : "", product ? args.product.c_str() : "", static_cast<unsigned long long>(skipped),
               static_cast<unsigned long long>(rows), rows == 1 ? "" : "s");
  if (result.overflowing > 0)
    std::fprintf(stderr,
                 "%s: warning: the text of %lld labels runs past the bottom of the label (a smaller --font-size, "
                 "--top or a larger --max-chars makes it fit)\n",
                 kTool, static_cast<long long>(result.overflowing));
  if (imb) {
    const std::int64_t available = corvellan::ImbSerialCount(mailer.mailerId);
    const std::int64_t last = (args.serial + result.serialsUsed - 1) % available;
    std::fprintf(stderr, "%s: Intelligent Mail serials %lld to %lld of Mailer ID %s used; next serial %lld\n", kTool,
                 static_cast<long long>(args.serial), static_cast<long long>(last), args.mailerId.c_str(),
                 static_cast<long long>((args.serial + result.serialsUsed) % available));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"corvdb labels: mailing labels (PDF or a printer) for a CSV address list"};
  app.name("corvdb labels");
  Args args;
  app.add_option("--in", args.in, "Address list: CSV (RFC 4180), UTF-8, with a header row; - reads standard input")
      ->required();
  app.add_option("--out", args.out, "The PDF to write (- writes standard output)");
  app.add_option("--printer", args.printer, "A CUPS queue to print on instead (lpstat -p lists them)");
  app.add_option("--data", args.data, "Directory of zip.cvd (default: the program's settings)");
  app.add_option("--column", args.column, "Column holding the whole address (default: address)");
  app.add_option("--product", args.product,
                 "Label product, as in the program (\"Avery 5160\"); default one 4 x 1.5 in label per page");
  app.add_option("--start", args.start, "The label of the first sheet to start at, 1-based (default 1)");
  app.add_option("--max-chars", args.maxChars,
                 "Longest line before the unit or ZIP code moves to a line of its own (default 30)");
  app.add_option("--barcode", args.barcode, "none, postnet or imb (default postnet)");
  app.add_option("--barcode-id", args.barcodeId, "Intelligent Mail barcode ID, two digits (default 00)");
  app.add_option("--service-type", args.serviceType, "Intelligent Mail service type ID, three digits");
  app.add_option("--mailer-id", args.mailerId, "Mailer ID, six digits (not starting with 9) or nine (starting with 9)");
  app.add_option("--serial", args.serial, "Serial number of the first label; each next label takes the next one");
  app.add_flag("--digits", args.digits, "Print the digits of the Intelligent Mail barcode under the bars");
  app.add_option("--font", args.font, "Label font family (default DejaVu Sans)");
  app.add_option("--font-size", args.fontSize,
                 "Label font size in points (default 8 on labels under 1.25 in, else 10)");
  app.add_option("--left", args.left, "Left margin in inches from the label's edge (default 0.1)");
  app.add_option("--top", args.top, "Top margin in inches from the label's edge (default 0.1)");
  app.footer(
      "Rows with the std_delivery_line, std_city, std_state and std_zip4 columns of corvdb standardize are printed as "
      "they are; otherwise the address column is matched against the database. A recipient (or name) column gives "
      "the first line. Rows that give no label are listed on standard error and skipped. At the end the "
      "Intelligent Mail serials used and the next one are told.\n"
      "Exit status: 0 labels printed, 1 no label (an empty list, no row usable), 2 error (usage, unreadable list, "
      "missing column, database, unwritable output, printer refused).");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }
  // Qt's own notes (a missing runtime folder and the like) mean nothing to
  // the user of a command; its errors still show.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::fprintf(stderr, "%s: %s\n", kTool, message.toLocal8Bit().constData());
  });
  // No display is needed: the pages are drawn off screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QGuiApplication application(qtArgc, qtArgv);
  corvdb::tools::SignalCleanup::Install();
  return Run(args);
}
