#include "service/core/qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velunor {

namespace {

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x5f, 0x8b));
  painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

  // The drop: a point at the top, a round belly below.
  QPainterPath drop;
  drop.moveTo(s * 0.5, s * 0.14);
  drop.cubicTo(s * 0.66, s * 0.38, s * 0.78, s * 0.50, s * 0.78, s * 0.62);
  drop.arcTo(QRectF(s * 0.22, s * 0.34, s * 0.56, s * 0.56), 0, -180);
  drop.cubicTo(s * 0.22, s * 0.50, s * 0.34, s * 0.38, s * 0.5, s * 0.14);
  painter.setBrush(Qt::white);
  painter.drawPath(drop);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(Draw(size));
  return icon;
}

}  // namespace velunor
