#include "pixelfont.h"

#include <QWidget>

QFont PixelFont(const QString& family, int pixels) {
  QFont font(family);
  font.setPixelSize(pixels);
  return font;
}

void SetFormFont(QWidget* window) { window->setFont(PixelFont(QStringLiteral("Tahoma"), 12)); }
