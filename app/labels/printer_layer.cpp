#include "labels/printer_layer.h"

#include <cups/cups.h>
#include <cups/pwg.h>

#include <QHash>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>

namespace corvellan {

namespace {

struct PaperEntry {
  std::int16_t code;
  const char* media;
  double widthMm;
  double lengthMm;
};

constexpr double kInch = 25.4;

// Windows paper codes and their PWG media names (see the header).
constexpr std::array<PaperEntry, 15> kPapers{{
    {1, "na_letter_8.5x11in", 8.5 * kInch, 11 * kInch},
    {3, "na_ledger_11x17in", 11 * kInch, 17 * kInch},
    {5, "na_legal_8.5x14in", 8.5 * kInch, 14 * kInch},
    {6, "na_invoice_5.5x8.5in", 5.5 * kInch, 8.5 * kInch},
    {7, "na_executive_7.25x10.5in", 7.25 * kInch, 10.5 * kInch},
    {8, "iso_a3_297x420mm", 297, 420},
    {9, "iso_a4_210x297mm", 210, 297},
    {11, "iso_a5_148x210mm", 148, 210},
    {13, "jis_b5_182x257mm", 182, 257},
    {19, "na_number-9_3.875x8.875in", 3.875 * kInch, 8.875 * kInch},
    {20, "na_number-10_4.125x9.5in", 4.125 * kInch, 9.5 * kInch},
    {27, "iso_dl_110x220mm", 110, 220},
    {28, "iso_c5_162x229mm", 162, 229},
    {34, "iso_b5_176x250mm", 176, 250},
    {37, "na_monarch_3.875x7.5in", 3.875 * kInch, 7.5 * kInch},
}};

struct BinEntry {
  std::int16_t code;
  const char* mediaSource;  // IPP keyword, or nullptr
  const char* inputSlot;    // PPD choice
};

constexpr std::array<BinEntry, 10> kBins{{
    {1, "top", "Upper"},
    {2, "bottom", "Lower"},
    {3, "middle", "Middle"},
    {4, "manual", "Manual"},
    {5, "envelope", "Envelope"},
    {6, nullptr, "EnvManual"},
    {7, "auto", "Auto"},
    {8, nullptr, "Tractor"},
    {11, "large-capacity", "LargeCapacity"},
    {14, nullptr, "Cassette"},
}};

const PaperEntry* FindPaper(std::int16_t code) {
  for (const PaperEntry& entry : kPapers) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

bool HasCustomSize(const PaperSettings& paper) {
  return (paper.size == kPaperCustom || paper.size == 0) && paper.width > 0 && paper.length > 0;
}

// The process's printer state: the printer output goes to, and the settings
// applied to each printer during this run.
struct LayerState {
  QString selected;
  QHash<QString, PaperSettings> applied;
};

LayerState& State() {
  static LayerState state;
  return state;
}

// One destination of the CUPS server, freed on scope exit.
class Destination {
 public:
  explicit Destination(const QString& name)
      : dest_(name.isEmpty() ? nullptr : cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.toUtf8().constData(), nullptr)) {}
  Destination() : dest_(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr)) {}
  ~Destination() {
    if (dest_ != nullptr) cupsFreeDests(1, dest_);
  }
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  explicit operator bool() const { return dest_ != nullptr; }
  cups_dest_t* get() const { return dest_; }
  QString name() const { return dest_ != nullptr ? QString::fromUtf8(dest_->name) : QString(); }
  QString option(const char* key) const {
    if (dest_ == nullptr) return {};
    return QString::fromUtf8(cupsGetOption(key, dest_->num_options, dest_->options));
  }

 private:
  cups_dest_t* dest_;
};

// The queue's own defaults: media, source and orientation.
PaperSettings QueueDefaults(const Destination& dest) {
  PaperSettings paper;
  paper.orientation = kOrientationPortrait;
  cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get());
  if (info == nullptr) return paper;
  cups_size_t size{};
  if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest.get(), info, 0, &size) != 0) {
    const PaperSettings media = PaperForMedia(QString::fromUtf8(size.media), size.width, size.length);
    paper.size = media.size;
    paper.width = media.width;
    paper.length = media.length;
  }
  if (ipp_attribute_t* source = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest.get(), info, "media-source")) {
    paper.bin = BinForMediaSource(QString::fromUtf8(ippGetString(source, 0, nullptr)));
  }
  if (ipp_attribute_t* orientation = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest.get(), info, "orientation-requested")) {
    const int value = ippGetInteger(orientation, 0);
    if (value == IPP_ORIENT_LANDSCAPE || value == IPP_ORIENT_REVERSE_LANDSCAPE) paper.orientation = kOrientationLandscape;
  }
  cupsFreeDestInfo(info);
  return paper;
}

bool IsPrinter(const Destination& dest, const QString& port) {
  return dest && dest.option("device-uri") == port;
}

}  // namespace

QString MediaForPaper(const PaperSettings& paper) {
  if (const PaperEntry* entry = FindPaper(paper.size)) return QString::fromLatin1(entry->media);
  if (HasCustomSize(paper)) {
    // PWG sizes count in hundredths of a millimetre.
    char keyword[128];
    if (pwgFormatSizeName(keyword, sizeof keyword, "custom", nullptr, paper.width * 10, paper.length * 10, nullptr)) {
      return QString::fromLatin1(keyword);
    }
  }
  return {};
}

PaperSettings PaperForMedia(const QString& media, int widthHundredthsMm, int lengthHundredthsMm) {
  PaperSettings paper;
  paper.width = static_cast<std::int16_t>(std::clamp(widthHundredthsMm / 10, 0, 32767));
  paper.length = static_cast<std::int16_t>(std::clamp(lengthHundredthsMm / 10, 0, 32767));
  paper.size = kPaperCustom;
  for (const PaperEntry& entry : kPapers) {
    const bool sameName = media == QLatin1String(entry.media);
    const bool sameSize = std::abs(entry.widthMm * 100 - widthHundredthsMm) < 100 &&
                          std::abs(entry.lengthMm * 100 - lengthHundredthsMm) < 100;
    if (sameName || sameSize) {
      paper.size = entry.code;
      break;
    }
  }
  return paper;
}

std::int16_t BinForMediaSource(const QString& keyword) {
  for (const BinEntry& entry : kBins) {
    if (entry.mediaSource != nullptr && keyword == QLatin1String(entry.mediaSource)) return entry.code;
  }
  return 0;
}

std::vector<std::pair<QString, QString>> JobOptionsForPaper(const PaperSettings& paper) {
  std::vector<std::pair<QString, QString>> options;
  const QString media = MediaForPaper(paper);
  if (!media.isEmpty()) options.emplace_back(QStringLiteral("media"), media);
  for (const BinEntry& entry : kBins) {
    if (entry.code != paper.bin) continue;
    if (entry.mediaSource != nullptr) {
      options.emplace_back(QStringLiteral("media-source"), QString::fromLatin1(entry.mediaSource));
    } else {
      options.emplace_back(QStringLiteral("InputSlot"), QString::fromLatin1(entry.inputSlot));
    }
  }
  return options;
}

QPageLayout PageLayoutForPaper(const PaperSettings& paper, const QPageSize& fallback) {
  QPageSize size = fallback;
  if (const PaperEntry* entry = FindPaper(paper.size)) {
    size = QPageSize(QSizeF(entry->widthMm, entry->lengthMm), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyOrientationMatch);
  } else if (HasCustomSize(paper)) {
    size = QPageSize(QSizeF(paper.width / 10.0, paper.length / 10.0), QPageSize::Millimeter, QString(),
                     QPageSize::ExactMatch);
  }
  const auto orientation =
      paper.orientation == kOrientationLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
  return QPageLayout(size, orientation, QMarginsF());
}

PaperSettings PaperForLayout(const QPageLayout& layout) {
  // The page size is the upright sheet; the orientation says how it is used.
  const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
  PaperSettings paper = PaperForMedia(QString(), static_cast<int>(std::lround(mm.width() * 100)),
                                      static_cast<int>(std::lround(mm.height() * 100)));
  paper.orientation = layout.orientation() == QPageLayout::Landscape ? kOrientationLandscape : kOrientationPortrait;
  return paper;
}

QString SystemPrinterName() {
  if (!State().selected.isEmpty()) return State().selected;
  const Destination dest;
  return dest.name();
}

QString PrinterPort(const QString& name) {
  const Destination dest(name);
  return dest.option("device-uri");
}

QStringList PrinterNames() {
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  QStringList names;
  for (int i = 0; i < count; ++i) {
    if (dests[i].instance == nullptr) names.append(QString::fromUtf8(dests[i].name));
  }
  cupsFreeDests(count, dests);
  return names;
}

bool GetPrinterSettings(const QString& name, const QString& port, PaperSettings& paper) {
  paper = PaperSettings();
  const Destination dest(name);
  if (!IsPrinter(dest, port)) return false;
  const auto applied = State().applied.constFind(name);
  paper = applied != State().applied.cend() ? *applied : QueueDefaults(dest);
  return true;
}

bool ApplyPrinterSettings(const QString& name, const QString& port, const PaperSettings& paper) {
  const Destination dest(name);
  if (!IsPrinter(dest, port)) return false;
  State().applied.insert(name, paper);
  return true;
}

bool SelectLabelPrinter(const QString& name, const QString& port) {
  if (name.isEmpty()) return false;
  const Destination dest(name);
  if (!IsPrinter(dest, port)) return false;
  State().selected = name;
  return true;
}

void ResetPrinterLayer() { State() = LayerState(); }

std::unique_ptr<PrinterDocument> PrinterDocument::Open(const QString& title) {
  const QString queue = State().selected;
  if (queue.isEmpty()) return nullptr;
  const Destination dest(queue);
  if (!dest) return nullptr;
  std::unique_ptr<PrinterDocument> document(new PrinterDocument());
  document->queue_ = queue;
  document->title_ = title;
  const auto applied = State().applied.constFind(queue);
  const PaperSettings defaults = QueueDefaults(dest);
  document->paper_ = applied != State().applied.cend() ? *applied : defaults;

  // The page the queue would choose when the settings name no size.
  QPageSize fallback(QPageSize::Letter);
  if (defaults.width > 0 && defaults.length > 0) {
    fallback = QPageSize(QSizeF(defaults.width / 10.0, defaults.length / 10.0), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyOrientationMatch);
  }

  // The job travels to CUPS as a PDF file of our own, so that every option
  // of the job is ours to set and a refusal can be reported.
  static QTemporaryDir spool;
  if (!spool.isValid()) return nullptr;
  static int serial = 0;
  document->path_ = spool.filePath(QStringLiteral("labels-%1.pdf").arg(++serial));
  document->printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrinter& printer = *document->printer_;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(document->path_);
  printer.setDocName(title);
  printer.setCreator(QStringLiteral("Corvellan"));
  printer.setFullPage(true);
  printer.setCopyCount(1);
  printer.setPageLayout(PageLayoutForPaper(document->paper_, fallback));
  return document;
}

PrinterDocument::~PrinterDocument() {
  printer_.reset();
  if (!path_.isEmpty()) QFile::remove(path_);
}

bool PrinterDocument::Submit(QString* reason) {
  std::vector<std::pair<QByteArray, QByteArray>> texts;
  for (const auto& [key, value] : JobOptionsForPaper(paper_)) texts.emplace_back(key.toUtf8(), value.toUtf8());
  cups_option_t* options = nullptr;
  int count = 0;
  for (const auto& [key, value] : texts) count = cupsAddOption(key.constData(), value.constData(), count, &options);
  count = cupsAddOption("document-format", "application/pdf", count, &options);
  const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue_.toUtf8().constData(), QFile::encodeName(path_).constData(),
                                 title_.toUtf8().constData(), count, options);
  cupsFreeOptions(count, options);
  if (job == 0 && reason != nullptr) *reason = QString::fromUtf8(cupsLastErrorString());
  return job != 0;
}

}  // namespace corvellan
