#include "shape.h"

#include <QPainter>
#include <algorithm>

TShape::TShape(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void TShape::SetBrushColor(const QColor& color) {
  if (color == FBrushColor) return;
  FBrushColor = color;
  update();
}

void TShape::SetPenColor(const QColor& color) {
  if (color == FPenColor) return;
  FPenColor = color;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(FPenColor, 1));
  painter.setBrush(FBrushColor);
  const int diameter = std::min(width(), height()) - 1;
  const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
  painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}
