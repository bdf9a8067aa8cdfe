#include "labels/drawing/imb.h"

#include <algorithm>

#include <QPainter>
#include <QRegularExpression>
#include <QStringList>

#include <memory>

#include <zint.h>

namespace corvellan {

namespace {

bool AllDigits(const QString& text) {
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

// The digits of a primary number as the delivery point counts them: up to
// the first letter, hyphens and other marks skipped ("123A" -> 123,
// "12-34" -> 1234).
QString NumberDigits(const QString& token) {
  QString digits;
  for (const QChar c : token) {
    if (c.isLetter()) break;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
  }
  return digits;
}

struct SymbolDeleter {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

// Module (row, column) of a symbol: libzint packs each row's modules into
// bits, column c in bit c % 8 of byte c / 8.
bool ModuleSet(const zint_symbol& symbol, int row, int column) {
  return ((symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1) != 0;
}

}  // namespace

ImbEncoding EncodeImb(const QString& tracking, const QString& routing) {
  if (tracking.size() != 20 || !AllDigits(tracking)) return {{}, QStringLiteral("The tracking code must be 20 digits")};
  if (tracking[1] > QLatin1Char('4')) {
    return {{}, QStringLiteral("The second digit of the barcode ID must be 0 to 4")};
  }
  const qsizetype length = routing.size();
  if (!AllDigits(routing) || (length != 0 && length != 5 && length != 9 && length != 11)) {
    return {{}, QStringLiteral("The routing code must be 0, 5, 9 or 11 digits")};
  }
  const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
  if (!symbol) return {{}, QStringLiteral("Out of memory")};
  symbol->symbology = BARCODE_USPS_IMAIL;
  // libzint takes the tracking code, a hyphen and the routing code.
  const QByteArray data = (routing.isEmpty() ? tracking : tracking + QLatin1Char('-') + routing).toLatin1();
  const int result =
      ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()), static_cast<int>(data.size()));
  if (result >= ZINT_ERROR) return {{}, QString::fromLatin1(symbol->errtxt)};
  // Three rows (ascender part, tracker, descender part); the bars are the
  // even columns, a space between each two.
  if (symbol->rows != 3 || symbol->width != 2 * kImbBars - 1) {
    return {{}, QStringLiteral("Unexpected symbol from the barcode library")};
  }
  QString bars;
  bars.reserve(kImbBars);
  for (int column = 0; column < symbol->width; column += 2) {
    const bool up = ModuleSet(*symbol, 0, column);
    const bool down = ModuleSet(*symbol, 2, column);
    bars += QLatin1Char(up && down ? 'F' : up ? 'A' : down ? 'D' : 'T');
  }
  return {bars, {}};
}

QString ImbDeliveryPoint(const QString& primary) {
  static const QRegularExpression blanks(QStringLiteral("\\s+"));
  const QStringList tokens = primary.trimmed().split(blanks, Qt::SkipEmptyParts);
  // A box number (PO Box 42, RR 2 Box 15) counts before a leading number.
  QString digits;
  for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].compare(QLatin1String("BOX"), Qt::CaseInsensitive) == 0) {
      digits = NumberDigits(tokens[i + 1]);
      break;
    }
  }
  if (digits.isEmpty() && !tokens.isEmpty() && tokens.front()[0].isDigit()) digits = NumberDigits(tokens.front());
  if (digits.isEmpty()) return {};
  return digits.size() == 1 ? QLatin1Char('0') + digits : digits.right(2);
}

QString ImbRoutingCode(const QString& zipDigits, const QString& primary) {
  if (!AllDigits(zipDigits)) return {};
  if (zipDigits.size() == 5) return zipDigits;
  if (zipDigits.size() != 9) return {};
  return zipDigits + ImbDeliveryPoint(primary);
}

QString ImbMailerError(const ImbMailer& mailer) {
  if (mailer.barcodeId.size() != 2 || !AllDigits(mailer.barcodeId)) {
    return QStringLiteral("The barcode ID must be two digits.");
  }
  if (mailer.barcodeId[1] > QLatin1Char('4')) return QStringLiteral("The second digit of the barcode ID must be 0 to 4.");
  if (mailer.serviceType.size() != 3 || !AllDigits(mailer.serviceType)) {
    return QStringLiteral("The service type ID must be three digits.");
  }
  const QString& id = mailer.mailerId;
  if (!AllDigits(id) || (id.size() != 6 && id.size() != 9)) {
    return QStringLiteral("The Mailer ID must be six or nine digits.");
  }
  // The Postal Service gives out 9-digit Mailer IDs starting with 9 and
  // 6-digit ones starting with 0 to 8, so a barcode reader tells them apart.
  if ((id.size() == 9) != (id[0] == QLatin1Char('9'))) {
    return QStringLiteral("A nine-digit Mailer ID starts with 9, a six-digit one does not.");
  }
  return {};
}

std::int64_t ImbSerialCount(const QString& mailerId) { return mailerId.size() == 9 ? 1000000 : 1000000000; }

QString ImbTrackingCode(const ImbMailer& mailer, std::int64_t serial) {
  const std::int64_t count = ImbSerialCount(mailer.mailerId);
  const std::int64_t number = ((serial % count) + count) % count;
  const int width = 20 - 5 - static_cast<int>(mailer.mailerId.size());
  return mailer.barcodeId + mailer.serviceType + mailer.mailerId +
         QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

QString ImbHumanReadable(const QString& tracking, int mailerIdDigits, const QString& routing) {
  if (tracking.size() != 20) return {};
  QStringList groups{tracking.left(2), tracking.mid(2, 3), tracking.mid(5, mailerIdDigits),
                     tracking.mid(5 + mailerIdDigits)};
  if (routing.size() >= 5) groups << routing.left(5);
  if (routing.size() >= 9) groups << routing.mid(5, 4);
  if (routing.size() == 11) groups << routing.mid(9);
  return groups.join(QLatin1Char(' '));
}

ImbPlacement PlaceImbOnLabel(double wantedLeft, double labelLeft, double labelRight) {
  ImbPlacement place;
  place.leftInches = wantedLeft;
  if (wantedLeft + ImbWidthInches(kImbPitchInches) <= labelRight - kImbEdgeInches) return place;
  const double first = labelLeft + kImbEdgeInches;
  const double last = labelRight - kImbEdgeInches;
  place.pitchInches = kImbNarrowPitchInches;
  if (last - first >= ImbWidthInches(kImbNarrowPitchInches)) {
    place.leftInches = std::max(first, std::min(wantedLeft, last - ImbWidthInches(kImbNarrowPitchInches)));
    return place;
  }
  place.leftInches = first;
  place.pitchInches = std::max(0.0, last - first - kImbBarWidthInches) / (kImbBars - 1);
  place.squeezed = true;
  return place;
}

void DrawImbBars(QPainter& painter, QPointF topLeft, double unitsPerInch, const QString& bars, double pitchInches) {
  const double width = kImbBarWidthInches * unitsPerInch;
  const double full = kImbFullInches * unitsPerInch;
  const double ascender = kImbAscenderInches * unitsPerInch;
  // The tracker is centred; an ascender reaches from the top to the
  // tracker's lower edge, a descender from the tracker's upper edge down.
  const double trackerTop = (kImbFullInches - kImbTrackerInches) / 2 * unitsPerInch;
  const QColor colour = painter.pen().color();
  for (qsizetype i = 0; i < bars.size(); ++i) {
    const double x = topLeft.x() + static_cast<double>(i) * pitchInches * unitsPerInch;
    double top = 0;
    double height = full;
    switch (bars[i].toLatin1()) {
      case 'F': break;
      case 'A': height = ascender; break;
      case 'D': top = full - ascender; height = ascender; break;
      default: top = trackerTop; height = kImbTrackerInches * unitsPerInch; break;
    }
    painter.fillRect(QRectF(x, topLeft.y() + top, width, height), colour);
  }
}

}  // namespace corvellan
