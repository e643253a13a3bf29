#include "uppercasevalidator.h"

QValidator::State TUpperCaseValidator::validate(QString& input, int&) const {
  input = input.toUpper();
  return Acceptable;
}
