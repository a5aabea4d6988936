#include "ui/qt/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dorvane {

namespace {

// A receipt with a zig-zag tear and printed lines, on a dark-grey disc.
QPixmap Draw(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size / 48.0;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(64, 64, 64));
  p.drawRoundedRect(QRectF(1 * s, 1 * s, 46 * s, 46 * s), 9 * s, 9 * s);
  QPainterPath paper;
  paper.moveTo(12 * s, 6 * s);
  paper.lineTo(36 * s, 6 * s);
  paper.lineTo(36 * s, 40 * s);
  for (int i = 0; i < 6; ++i) {
    paper.lineTo((34 - 4 * i) * s, 43 * s);
    paper.lineTo((32 - 4 * i) * s, 40 * s);
  }
  paper.closeSubpath();
  p.setBrush(QColor(255, 255, 230));
  p.drawPath(paper);
  p.setBrush(QColor(0, 160, 0));
  p.drawRect(QRectF(15 * s, 10 * s, 18 * s, 4 * s));
  p.setBrush(QColor(90, 90, 90));
  for (int row = 0; row < 4; ++row) p.drawRect(QRectF(15 * s, (18 + 5 * row) * s, (row == 3 ? 10 : 18) * s, 2 * s));
  p.setBrush(QColor(200, 0, 0));
  p.drawRect(QRectF(27 * s, 33 * s, 6 * s, 3 * s));
  return pm;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(Draw(size));
  return icon;
}

}  // namespace dorvane
