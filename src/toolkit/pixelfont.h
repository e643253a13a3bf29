// Fonts sized in pixels, so that the windows look the same at any
// dots-per-inch setting of the screen.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

QFont PixelFont(const QString& family, int pixels);

// The font every window of the program uses unless a control says otherwise:
// Tahoma, 12 pixels high.
QFont FormFont();
void SetFormFont(QWidget* window);

// Makes the form font the application's font. Under a style sheet a window's
// font no longer reaches its controls; the application's font does.
void SetApplicationFont();
