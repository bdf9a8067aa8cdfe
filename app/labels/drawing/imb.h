// The Intelligent Mail barcode (USPS-B-3200): 65 bars, each a full bar, an
// ascender, a descender or a tracker, encoding a 20-digit tracking code and
// a routing code of 0, 5, 9 or 11 digits. libzint computes the bar states;
// the bars are drawn here as filled rectangles, so no font is involved.
//
// Tracking code: barcode ID (2 digits, the second 0 to 4), service type ID
// (3 digits), Mailer ID (6 digits, not starting with 9, or 9 digits starting
// with 9) and a serial number (9 digits with a 6-digit Mailer ID, 6 with a
// 9-digit one). Routing code: the ZIP code, the ZIP+4, or the ZIP+4 and the
// 2-digit delivery point.
#pragma once

#include <QPointF>
#include <QString>

#include <cstdint>

class QPainter;

namespace corvellan {

// The bar states of an Intelligent Mail barcode, one letter per bar from
// left to right: F full, A ascender, D descender, T tracker.
struct ImbEncoding {
  QString bars;   // 65 letters; empty on error
  QString error;  // why the codes cannot be encoded
};
ImbEncoding EncodeImb(const QString& tracking, const QString& routing);

// The delivery point of a delivery line by the Postal Service's rule: the
// last two digits of its primary number (the house number, or the box number
// of a PO box or rural route box), one digit written with a leading 0. Empty
// when the line has no number.
QString ImbDeliveryPoint(const QString& primary);

// The routing code of a label: `zipDigits` (the 5 or 9 digits of the ZIP
// text the label prints), followed by the delivery point of `primary` only
// when there are 9 digits and the line has a number. Empty when `zipDigits`
// is neither 5 nor 9 digits.
QString ImbRoutingCode(const QString& zipDigits, const QString& primary);

// The mailer's part of the tracking code, as set in the settings window.
struct ImbMailer {
  QString barcodeId;    // 2 digits
  QString serviceType;  // 3 digits
  QString mailerId;     // 6 or 9 digits
};
// Why the settings cannot make a tracking code; empty when they can.
QString ImbMailerError(const ImbMailer& mailer);
// The number of serial numbers a Mailer ID has: 10^9 for a 6-digit one,
// 10^6 for a 9-digit one.
std::int64_t ImbSerialCount(const QString& mailerId);
// The 20-digit tracking code of the serial number `serial` (taken modulo
// the serial count).
QString ImbTrackingCode(const ImbMailer& mailer, std::int64_t serial);
// The digits as printed under the bars: tracking and routing code in groups
// (barcode ID, service type, Mailer ID, serial, ZIP, plus-4, delivery point).
QString ImbHumanReadable(const QString& tracking, int mailerIdDigits, const QString& routing);

// The printed dimensions, in inches, within USPS-B-3200's limits: pitch
// 20 to 24 bars per inch, bar width 0.015 to 0.025, full bar 0.125 to
// 0.165, ascender and descender 0.085 to 0.115, tracker 0.039 to 0.057.
inline constexpr double kImbPitchInches = 1.0 / 22;
// The closest pitch allowed, for labels too narrow for the usual one.
inline constexpr double kImbNarrowPitchInches = 1.0 / 24;
inline constexpr double kImbBarWidthInches = 0.020;
inline constexpr double kImbFullInches = 0.145;
inline constexpr double kImbTrackerInches = 0.048;
inline constexpr double kImbAscenderInches = (kImbFullInches + kImbTrackerInches) / 2;
inline constexpr int kImbBars = 65;

// The width of the 65 bars at a pitch, in inches.
inline constexpr double ImbWidthInches(double pitchInches) { return (kImbBars - 1) * pitchInches + kImbBarWidthInches; }

// Where the bars go on a label of a sheet, and at what pitch. They start at
// the label's left margin (`wantedLeft`) at the usual pitch when they fit
// there; else at the closest pitch allowed, moved left as far as needed; and
// on a label narrower than that barcode (an Avery 5160 is 2.625 in wide, the
// shortest barcode allowed 2.687 in) at the pitch that keeps all 65 bars on
// the label, kImbEdgeInches inside each edge. A bar that falls off a label
// is lost when the label is peeled off the sheet, and a barcode without all
// its bars cannot be read, whereas a pitch a little closer than 24 to the
// inch still is.
struct ImbPlacement {
  double leftInches = 0;
  double pitchInches = kImbPitchInches;
  bool squeezed = false;  // closer than the Postal Service's 24 bars per inch
};
inline constexpr double kImbEdgeInches = 0.015;
ImbPlacement PlaceImbOnLabel(double wantedLeft, double labelLeft, double labelRight);

// Draws the bars with their top-left corner at `topLeft` (device units of the
// painter, `unitsPerInch` to the inch), in the painter's pen colour.
void DrawImbBars(QPainter& painter, QPointF topLeft, double unitsPerInch, const QString& bars,
                 double pitchInches = kImbPitchInches);

}  // namespace corvellan
