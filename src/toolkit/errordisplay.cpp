#include "errordisplay.h"

#include <QMessageBox>
#include <exception>

#include "exception.h"

namespace {
TErrorSink& Sink() {
  static TErrorSink sink;
  return sink;
}
}  // namespace

TErrorSink SetErrorSink(TErrorSink sink) {
  TErrorSink old = std::move(Sink());
  Sink() = std::move(sink);
  return old;
}

void ShowErrorText(const QString& text) {
  if (Sink()) {
    Sink()(text);
    return;
  }
  QWidget* parent = QApplication::activeWindow();
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}

void ShowCurrentException() {
  try {
    throw;
  } catch (const Exception& e) {
    ShowErrorText(e.Message());
  } catch (const std::exception& e) {
    ShowErrorText(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowErrorText(QString());
  }
}

void RunCreationHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowCurrentException();
  }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
    return true;
  }
}
