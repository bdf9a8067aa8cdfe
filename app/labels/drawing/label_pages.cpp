#include "labels/drawing/label_pages.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <cmath>

#include "labels/drawing/label_text.h"

namespace corvellan {

namespace {

void DrawLines(QPainter& painter, QPaintDevice& device, double dpi, const QList<LabelLine>& lines,
               const QFont& barcodeFont, const QFont& labelFont) {
  const double pixelsPerTwip = dpi / kLabelTwipsPerInch;
  for (const LabelLine& line : lines) {
    if (line.text.isEmpty()) continue;
    const QFont& font = line.barcode ? barcodeFont : labelFont;
    painter.setFont(font);
    // A line's position is the top of its text; QPainter draws on the baseline.
    const double ascent = QFontMetricsF(font, &device).ascent();
    painter.drawText(QPointF(line.xTwips * pixelsPerTwip, line.yTwips * pixelsPerTwip + ascent), line.text);
  }
}

}  // namespace

QList<LabelLine> LayoutLabel(const LabelContent& content, double barcodeLineTwips, double labelLineTwips) {
  QList<LabelLine> lines;
  const long x0 = content.leftTwips;
  const long y0 = content.topTwips;
  if (content.useBar) {
    double y = static_cast<double>(y0);
    for (const QString& text : content.barcode.split(QLatin1Char('\n'))) {
      lines.append({x0, y, true, QString(text).remove(QLatin1Char('\r'))});
      y += barcodeLineTwips;
    }
  }
  // One empty line of the label font, then the attention and address lines.
  double y = static_cast<double>(y0 + kBarcodeBandTwips) + labelLineTwips;
  for (const QString& text : PrintedLines(TrimLabelBlanks(content.attention)) + PrintedLines(content.address)) {
    lines.append({x0, y, false, text});
    y += labelLineTwips;
  }
  return lines;
}

int LabelPageCount(qsizetype count, const std::optional<LabelProduct>& product, int startLabel) {
  if (count <= 0) return 0;
  if (!product || product->cells.isEmpty()) return static_cast<int>(count);
  return PlaceOnSheet(static_cast<int>(count - 1), startLabel, static_cast<int>(product->cells.size())).sheet + 1;
}

LabelRunResult DrawLabelPages(QPagedPaintDevice& device, const QList<LabelContent>& labels, const LabelRun& run,
                              const std::function<bool(qsizetype)>& progress) {
  LabelRunResult result;
  const std::optional<LabelProduct>& product = run.product;
  if (product && product->cells.isEmpty()) return result;
  const double dpi = run.dpi;
  const double twipsPerPixel = kLabelTwipsPerInch / dpi;
  const double barcodeLine = QFontMetricsF(run.fonts.barcode, &device).lineSpacing() * twipsPerPixel;
  const double labelLine = QFontMetricsF(run.fonts.label, &device).lineSpacing() * twipsPerPixel;
  // The bottom edge of a label: its cell's on a sheet, else the page's.
  const double pageBottomTwips = device.pageLayout().fullRectPoints().height() * 20.0;
  const int cellsPerSheet = product ? static_cast<int>(product->cells.size()) : 0;

  QPainter painter;
  if (!painter.begin(&device)) return result;
  result.begun = true;
  if (!labels.isEmpty()) result.pages = 1;
  int page = 0;
  std::int64_t serial = run.firstSerial;
  for (qsizetype i = 0; i < labels.size(); ++i) {
    LabelContent content = labels[i];
    // A label of a sheet is laid out from its cell's top-left corner.
    int sheet = static_cast<int>(i);
    QPointF cell;
    double bottomTwips = pageBottomTwips;
    if (product) {
      const SheetPlace place = PlaceOnSheet(static_cast<int>(i), run.startLabel, cellsPerSheet);
      sheet = place.sheet;
      cell = product->cells[place.cell];
      content.leftTwips += std::lround(cell.x() * kLabelTwipsPerInch);
      content.topTwips += std::lround(cell.y() * kLabelTwipsPerInch);
      bottomTwips = (cell.y() + product->label.height()) * kLabelTwipsPerInch;
    }
    if (sheet != page) {
      if (!device.newPage()) break;
      page = sheet;
      ++result.pages;
    }
    const bool drawImb = run.imb && content.useBar && !content.barcode.isEmpty();
    // On a sheet, the bars stay on their label (see PlaceImbOnLabel).
    double pitch = kImbPitchInches;
    double barsLeftInches = content.leftTwips / kLabelTwipsPerInch;
    if (product && drawImb) {
      const ImbPlacement place = PlaceImbOnLabel(barsLeftInches, cell.x(), cell.x() + product->label.width());
      pitch = place.pitchInches;
      barsLeftInches = place.leftInches;
    }
    LabelContent text = content;
    if (run.imb) text.useBar = false;  // its bars are drawn, not printed as text
    const QList<LabelLine> lines = LayoutLabel(text, barcodeLine, labelLine);
    DrawLines(painter, device, dpi, lines, run.fonts.barcode, run.fonts.label);
    if (!lines.isEmpty() && lines.last().yTwips + labelLine > bottomTwips + 0.5) ++result.overflowing;
    if (drawImb) {
      const QString tracking = ImbTrackingCode(run.mailer, serial++);
      ++result.serialsUsed;
      const ImbEncoding code = EncodeImb(tracking, content.barcode);
      const QPointF topLeft(barsLeftInches * dpi, content.topTwips / kLabelTwipsPerInch * dpi);
      painter.save();
      painter.setPen(Qt::black);
      DrawImbBars(painter, topLeft, dpi, code.bars, pitch);
      painter.restore();
      if (run.imbDigits) {
        painter.setFont(run.fonts.digits);
        const double baseline =
            topLeft.y() + (kImbFullInches + 0.02) * dpi + QFontMetricsF(run.fonts.digits, &device).ascent();
        painter.drawText(QPointF(topLeft.x(), baseline),
                         ImbHumanReadable(tracking, static_cast<int>(run.mailer.mailerId.size()), content.barcode));
      }
    }
    result.labels = i + 1;
    if (progress && !progress(i + 1)) {
      painter.end();
      result.cancelled = true;
      return result;
    }
  }
  painter.end();
  result.complete = result.labels == labels.size();
  return result;
}

}  // namespace corvellan
