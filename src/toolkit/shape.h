// A shape drawn with a brush and a pen, like a lamp on a panel. Only the
// circle is needed: the largest circle that fits, centred in the widget.
#pragma once

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QColor BrushColor READ BrushColor WRITE SetBrushColor)
  Q_PROPERTY(QColor PenColor READ PenColor WRITE SetPenColor)

 public:
  explicit TShape(QWidget* parent = nullptr);

  QColor BrushColor() const { return FBrushColor; }
  void SetBrushColor(const QColor& color);
  QColor PenColor() const { return FPenColor; }
  void SetPenColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor FBrushColor{Qt::white};
  QColor FPenColor{Qt::black};
};
