// The label printer: which printer labels go to and its paper, over CUPS.
//
// The settings file keeps a label printer as its device name, its port and
// five paper values in their Windows meaning, so that a template means the
// same everywhere. Here a printer is a CUPS queue: its device name is the
// queue name and its port is the queue's device URI (as `lpstat -v` shows
// it). The five paper values map onto the options of a print job:
//
// | Paper value        | Windows meaning                         | CUPS job option |
// |--------------------|-----------------------------------------|-----------------|
// | Paper Size         | DMPAPER code, table below; 256 custom   | media=<PWG name> |
// | Paper Width/Length | tenths of a millimetre                  | media=custom_<W>x<L>mm_<W>x<L>mm (whole inches: custom_4x1in_4x1in), for code 256, and for code 0 when both are above 0 |
// | Paper Bin          | DMBIN code, table below                 | media-source=<keyword> (InputSlot=<name> where IPP has no keyword) |
// | Paper Orientation  | 1 portrait, 2 landscape                 | the page is laid out landscape (as orientation-requested=4) |
//
// | Size code | Paper             | PWG media name             |
// |-----------|-------------------|----------------------------|
// | 1         | Letter            | na_letter_8.5x11in         |
// | 3         | Tabloid           | na_ledger_11x17in          |
// | 5         | Legal             | na_legal_8.5x14in          |
// | 6         | Statement         | na_invoice_5.5x8.5in       |
// | 7         | Executive         | na_executive_7.25x10.5in   |
// | 8         | A3                | iso_a3_297x420mm           |
// | 9         | A4                | iso_a4_210x297mm           |
// | 11        | A5                | iso_a5_148x210mm           |
// | 13        | B5 (JIS)          | jis_b5_182x257mm           |
// | 19        | Envelope #9       | na_number-9_3.875x8.875in  |
// | 20        | Envelope #10      | na_number-10_4.125x9.5in   |
// | 27        | Envelope DL       | iso_dl_110x220mm           |
// | 28        | Envelope C5       | iso_c5_162x229mm           |
// | 34        | Envelope B5       | iso_b5_176x250mm           |
// | 37        | Envelope Monarch  | na_monarch_3.875x7.5in     |
// | 256       | custom size       | custom_<W>x<L>mm_<W>x<L>mm, W and L in mm |
//
// | Bin code | Source          | media-source / InputSlot |
// |----------|-----------------|--------------------------|
// | 1        | upper (only one)| top / Upper              |
// | 2        | lower           | bottom / Lower           |
// | 3        | middle          | middle / Middle          |
// | 4        | manual          | manual / Manual          |
// | 5        | envelope        | envelope / Envelope      |
// | 6        | envelope manual | InputSlot=EnvManual      |
// | 7        | automatic       | auto / Auto              |
// | 8        | tractor         | InputSlot=Tractor        |
// | 11       | large capacity  | large-capacity / LargeCapacity |
// | 14       | cassette        | InputSlot=Cassette       |
//
// A value of 0 sets nothing: the queue's own default applies. Reading a
// queue's settings gives its default media (code from the table, else 256),
// the media's width and length, its default source (0 when it names none)
// and its default orientation (1 unless it is landscape).
//
// Applying settings keeps them as the printer's settings for this run of the
// program (later reads of the same printer see them); the queue's stored
// defaults are left alone.
#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPrinter;

namespace corvellan {

// The five paper values of a label template, in their Windows meaning.
struct PaperSettings {
  std::int16_t size = 0;
  std::int16_t width = 0;   // tenths of a millimetre
  std::int16_t length = 0;  // tenths of a millimetre
  std::int16_t bin = 0;
  std::int16_t orientation = 0;
  bool operator==(const PaperSettings&) const = default;
};

inline constexpr std::int16_t kPaperCustom = 256;
inline constexpr std::int16_t kOrientationPortrait = 1;
inline constexpr std::int16_t kOrientationLandscape = 2;

// The mapping tables above, as functions.
// The PWG media name of the settings ("" when they set no size).
QString MediaForPaper(const PaperSettings& paper);
// The size code, width and length (tenths of a millimetre) of a media size
// given in hundredths of a millimetre; `media` is the PWG name when known.
PaperSettings PaperForMedia(const QString& media, int widthHundredthsMm, int lengthHundredthsMm);
// The job options of the settings: media, media-source or InputSlot.
std::vector<std::pair<QString, QString>> JobOptionsForPaper(const PaperSettings& paper);
// The bin code of a media-source keyword (0 when unknown).
std::int16_t BinForMediaSource(const QString& keyword);
// The page of the settings; `fallback` when they set no size.
QPageLayout PageLayoutForPaper(const PaperSettings& paper, const QPageSize& fallback);
// The size code, width, length and orientation of a page (the bin is 0):
// the way back from PageLayoutForPaper.
PaperSettings PaperForLayout(const QPageLayout& layout);

// The device name of the printer output goes to now: the one
// SelectLabelPrinter chose, else the default queue ("" when there is none).
QString SystemPrinterName();
// The port (device URI) of the queue `name`; "" when there is no such queue.
QString PrinterPort(const QString& name);
// The installed queues.
QStringList PrinterNames();

// Reads the five paper values of the printer `name` on `port`; false (and
// all five 0) when there is no such printer.
bool GetPrinterSettings(const QString& name, const QString& port, PaperSettings& paper);
// Makes the five values the printer's settings; false when there is no such
// printer.
bool ApplyPrinterSettings(const QString& name, const QString& port, const PaperSettings& paper);
// Makes the printer whose device name is `name` and whose port is `port` the
// one output goes to; false when no installed printer has both.
bool SelectLabelPrinter(const QString& name, const QString& port);
// Forgets what SelectLabelPrinter and ApplyPrinterSettings did (tests).
void ResetPrinterLayer();

// A document for the selected printer: pages are drawn on printer(), and
// Submit() hands them to the printer as one job. Nothing reaches the printer
// until then.
class PrinterDocument {
 public:
  // A document laid out for the selected printer's settings. Null when no
  // printer is selected or the document cannot be written.
  static std::unique_ptr<PrinterDocument> Open(const QString& title);
  ~PrinterDocument();
  PrinterDocument(const PrinterDocument&) = delete;
  PrinterDocument& operator=(const PrinterDocument&) = delete;

  QPrinter& printer() { return *printer_; }
  // Ends the document and queues it; false (with a reason) when the printer
  // refused it.
  bool Submit(QString* reason = nullptr);

 private:
  PrinterDocument() = default;
  QString queue_, title_, path_;
  PaperSettings paper_;
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace corvellan
