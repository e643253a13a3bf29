#include "icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

using TPainting = std::function<void(QPainter&)>;

const QColor DocumentFill(0xf8, 0xfc, 0xfd);
const QColor DocumentLine(0x4a, 0x6b, 0x78);
const QColor AddGreen(0x2e, 0x9e, 0x3e);
const QColor DeleteRed(0xd0, 0x30, 0x30);
const QColor ArrowBlue(0x1f, 0x78, 0xb4);

QIcon Drawn(const TPainting& paint) {
  QPixmap pixmap(IconSize, IconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  paint(painter);
  return QIcon(pixmap);
}

// A list sheet with lines of text, the background of the list pictures.
void DrawSheet(QPainter& p) {
  p.setPen(QPen(DocumentLine, 1));
  p.setBrush(DocumentFill);
  p.drawRect(QRectF(3.5, 2.5, 14, 19));
  p.setPen(QPen(DocumentLine.lighter(140), 1));
  for (int y = 6; y <= 18; y += 3) p.drawLine(QPointF(6, y + 0.5), QPointF(15, y + 0.5));
}

void DrawBadge(QPainter& p, const QColor& color) {
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawEllipse(QRectF(11, 11, 12, 12));
}

void DrawPlus(QPainter& p) {
  DrawBadge(p, AddGreen);
  p.setPen(QPen(Qt::white, 2));
  p.drawLine(QPointF(17, 13.5), QPointF(17, 20.5));
  p.drawLine(QPointF(13.5, 17), QPointF(20.5, 17));
}

void DrawCross(QPainter& p) {
  DrawBadge(p, DeleteRed);
  p.setPen(QPen(Qt::white, 2));
  p.drawLine(QPointF(14.5, 14.5), QPointF(19.5, 19.5));
  p.drawLine(QPointF(19.5, 14.5), QPointF(14.5, 19.5));
}

void DrawInsert(QPainter& p) {
  DrawSheet(p);
  p.setPen(QPen(ArrowBlue, 2));
  p.setBrush(ArrowBlue);
  p.drawLine(QPointF(14, 12), QPointF(20, 12));
  QPolygonF head;
  head << QPointF(9, 12) << QPointF(14, 8) << QPointF(14, 16);
  p.drawPolygon(head);
}

void DrawClear(QPainter& p) {
  DrawSheet(p);
  p.setPen(QPen(DeleteRed, 2.5));
  p.drawLine(QPointF(3, 3), QPointF(19, 21));
  p.drawLine(QPointF(19, 3), QPointF(3, 21));
}

void DrawPencil(QPainter& p) {
  DrawSheet(p);
  p.translate(15, 12);
  p.rotate(45);
  p.setPen(QPen(QColor(0x80, 0x50, 0x10), 1));
  p.setBrush(QColor(0xf0, 0xb0, 0x30));
  p.drawRect(QRectF(-2.5, -9, 5, 13));
  QPolygonF tip;
  tip << QPointF(-2.5, 4) << QPointF(2.5, 4) << QPointF(0, 9);
  p.setBrush(QColor(0xf5, 0xde, 0xb3));
  p.drawPolygon(tip);
}

// An upward arrow; with a bar, the arrow stops under a bar at the top.
void DrawUpArrow(QPainter& p, bool withBar) {
  const qreal tip = withBar ? 6 : 3;
  p.setPen(Qt::NoPen);
  p.setBrush(ArrowBlue);
  p.drawPolygon(QPolygonF{{12, tip}, {4, tip + 8}, {20, tip + 8}});
  p.drawRect(QRectF(9.5, tip + 8, 5, 21 - (tip + 8)));
  if (withBar) p.drawRect(QRectF(3, 2, 18, 2.5));
}

void DrawDownArrow(QPainter& p, bool withBar) {
  p.translate(0, IconSize);
  p.scale(1, -1);
  DrawUpArrow(p, withBar);
}

void DrawWave(QPainter& p) {
  p.setPen(QPen(DocumentLine, 1));
  p.drawLine(QPointF(2, 12.5), QPointF(22, 12.5));
  QPainterPath wave;
  wave.moveTo(2, 12);
  wave.cubicTo(5, 1, 8, 1, 12, 12);
  wave.cubicTo(16, 23, 19, 23, 22, 12);
  p.setPen(QPen(AddGreen.darker(110), 2.2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
}

void DrawBusPlate(QPainter& p, const QColor& color, const QString& label) {
  p.setPen(QPen(color.darker(150), 1));
  p.setBrush(color);
  p.drawRoundedRect(QRectF(1.5, 4.5, 21, 15), 3, 3);
  p.setPen(QPen(color.darker(180), 1.5));
  p.drawLine(QPointF(4, 22), QPointF(20, 22));
  p.drawLine(QPointF(8, 19.5), QPointF(8, 22));
  p.drawLine(QPointF(16, 19.5), QPointF(16, 22));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(8);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(1.5, 4.5, 21, 15), Qt::AlignCenter, label);
}

}  // namespace

QVector<QIcon> ToolBarIcons() {
  return {
      Drawn([](QPainter& p) { DrawSheet(p); DrawPlus(p); }),
      Drawn(DrawInsert),
      Drawn([](QPainter& p) { DrawSheet(p); DrawCross(p); }),
      Drawn(DrawClear),
      Drawn(DrawPencil),
      Drawn([](QPainter& p) { DrawUpArrow(p, false); }),
      Drawn([](QPainter& p) { DrawDownArrow(p, false); }),
      Drawn([](QPainter& p) { DrawUpArrow(p, true); }),
      Drawn([](QPainter& p) { DrawDownArrow(p, true); }),
      Drawn(DrawWave),
  };
}

QVector<QIcon> BusIcons() {
  return {
      Drawn([](QPainter& p) { DrawBusPlate(p, QColor(0xe0, 0x7b, 0x1a), QStringLiteral("CAN")); }),
      Drawn([](QPainter& p) { DrawBusPlate(p, QColor(0x2f, 0x8f, 0x5a), QStringLiteral("485")); }),
  };
}
