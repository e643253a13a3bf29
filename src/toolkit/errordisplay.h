// Application-level display of errors. An exception that leaves an event
// handler is caught by TApplication::notify and its text shown in a message
// box; the program runs on. Tests replace the box with a recorder so that
// nothing blocks.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

using TErrorSink = std::function<void(const QString& text)>;

// Replaces the sink; an empty sink restores the message box. Returns the old one.
TErrorSink SetErrorSink(TErrorSink sink);

// Shows the text the way an escaped error is shown.
void ShowErrorText(const QString& text);

// Shows the error that is being handled (call from a catch block): the
// message of an Exception or std::exception, an empty text for anything else.
void ShowCurrentException();

// Runs a creation handler; an error escaping it is shown and swallowed, so
// that start-up goes on with the next object.
void RunCreationHandler(const std::function<void()>& handler);

// An event handler to bind to a Qt signal: an error it raises is shown right
// there, as the application-level display shows it, and the program runs on.
// The error must not travel back through Qt's own code, which is built
// without unwinding support: the clean-up of its locals would be skipped and
// what they hold leaked.
template <typename Handler>
auto ShowingErrors(Handler handler) {
  return [handler] {
    try {
      handler();
    } catch (...) {
      ShowCurrentException();
    }
  };
}

template <typename Owner>
auto ShowingErrors(Owner* owner, void (Owner::*handler)()) {
  return ShowingErrors([owner, handler] { (owner->*handler)(); });
}

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
