#include "pixelfont.h"

#include <QApplication>
#include <QWidget>

namespace {

// The windows name the fonts of the desktop they were drawn for. Where those
// are missing, metric-compatible sans-serif fonts stand in, so that captions
// keep the widths they were laid out for.
void RegisterSubstitutes() {
  static const bool registered = [] {
    const QStringList standIns = {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                  QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")};
    for (const char* family : {"Tahoma", "Microsoft Sans Serif"}) {
      QFont::insertSubstitutions(QString::fromLatin1(family), standIns);
    }
    return true;
  }();
  (void)registered;
}

}  // namespace

QFont PixelFont(const QString& family, int pixels) {
  RegisterSubstitutes();
  QFont font(family);
  font.setPixelSize(pixels);
  return font;
}

QFont FormFont() { return PixelFont(QStringLiteral("Tahoma"), 12); }

void SetFormFont(QWidget* window) { window->setFont(FormFont()); }

void SetApplicationFont() { QApplication::setFont(FormFont()); }
