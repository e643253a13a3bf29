// The base of every error the program raises and shows to the operator: the
// application-level handler (TApplication::notify) catches it when it leaves
// an event handler and shows its message in a box.
#pragma once

#include <QString>
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
  const QString& Message() const { return FMessage; }
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  QString FMessage;
  std::string FUtf8;
};

// A text that does not convert to a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
