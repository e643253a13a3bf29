// Turns every letter an edit box receives into upper case, as it is typed
// or pasted.
#pragma once

#include <QValidator>

class TUpperCaseValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};
