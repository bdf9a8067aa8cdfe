#include "core/program_icon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace corvellan {

// Drawn on a QImage, which needs no window system: the build draws the
// installed PNG icons with this same code (packaging/icon_png.cpp).
QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1a, 0x4f, 0x8b));
  painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

  const QRectF envelope(s * 0.16, s * 0.28, s * 0.68, s * 0.46);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(envelope, s * 0.04, s * 0.04);
  QPainterPath flap;
  flap.moveTo(envelope.topLeft() + QPointF(s * 0.02, s * 0.02));
  flap.lineTo(envelope.center().x(), envelope.top() + envelope.height() * 0.58);
  flap.lineTo(envelope.topRight() + QPointF(-s * 0.02, s * 0.02));
  QPen line(QColor(0x1a, 0x4f, 0x8b), std::max(1.0, s * 0.05));
  line.setJoinStyle(Qt::RoundJoin);
  line.setCapStyle(Qt::RoundCap);
  painter.setPen(line);
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(flap);
  painter.end();
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}

}  // namespace corvellan
