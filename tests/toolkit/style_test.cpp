#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QStyle>

#include "exception.h"
#include "shape.h"
#include "style.h"

namespace {

TEST(Style, CyanDuskSetsPaletteStyleSheetAndFusion) {
  ApplyStyle(QString::fromLatin1(CyanDuskStyle));
  EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::Window), QColor(0xc9, 0xdc, 0xe3));
  EXPECT_EQ(QApplication::palette().color(QPalette::Disabled, QPalette::Text), QColor(0x7d, 0x93, 0x9b));
  EXPECT_EQ(QApplication::palette().color(QPalette::Inactive, QPalette::Highlight), QColor(0x5e, 0xa9, 0xc2));
  EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QToolBar")));
  qApp->setStyleSheet(QString());  // uncovers the base style under the sheet
  EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
}

TEST(Style, UnknownStyleRaisesAndChangesNothing) {
  qApp->setStyleSheet(QString());
  try {
    ApplyStyle(QStringLiteral("Emerald Noon"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("The visual style \"Emerald Noon\" is not available"));
  }
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST(Shape, PaintsItsCircleWithBrushAndPen) {
  TShape lamp;
  lamp.resize(16, 45);
  lamp.SetBrushColor(QColor(0xc0, 0xc0, 0xc0));
  lamp.SetPenColor(Qt::white);
  QImage image(lamp.size(), QImage::Format_ARGB32);
  image.fill(Qt::black);
  lamp.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_EQ(image.pixelColor(8, 22), QColor(0xc0, 0xc0, 0xc0)) << "centre";
  EXPECT_EQ(image.pixelColor(8, 2), QColor(Qt::black)) << "above the circle";
  EXPECT_EQ(image.pixelColor(8, 42), QColor(Qt::black)) << "below the circle";
  lamp.SetBrushColor(Qt::red);
  EXPECT_EQ(lamp.BrushColor(), QColor(Qt::red));
  lamp.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  EXPECT_EQ(image.pixelColor(8, 22), QColor(Qt::red));
}

}  // namespace
