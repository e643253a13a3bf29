// Fonts sized in pixels, so that the windows look the same at any
// dots-per-inch setting of the screen.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

QFont PixelFont(const QString& family, int pixels);

// The font every window of the program uses unless a control says otherwise:
// Tahoma, 12 pixels high.
void SetFormFont(QWidget* window);
