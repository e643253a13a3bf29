#include "updown.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "convert.h"

namespace {

QToolButton* MakeArrowButton(QWidget* parent, Qt::ArrowType arrow) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  return button;
}

}  // namespace

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent),
      FUpButton(MakeArrowButton(this, Qt::UpArrow)),
      FDownButton(MakeArrowButton(this, Qt::DownArrow)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FUpButton);
  layout->addWidget(FDownButton);
  setFocusPolicy(Qt::NoFocus);
  connect(FUpButton, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(FDownButton, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void TUpDown::SetMin(int value) { SetRange(value, std::max(value, FMax)); }

void TUpDown::SetMax(int value) { SetRange(std::min(value, FMin), value); }

void TUpDown::SetRange(int low, int high) {
  FMin = std::min(low, high);
  FMax = std::max(low, high);
  StorePosition(Clamped(FPosition));
}

void TUpDown::SetIncrement(int value) { FIncrement = value; }

void TUpDown::SetPosition(int value) {
  StorePosition(Clamped(value));
  WriteBuddy();
}

void TUpDown::SetAssociate(QLineEdit* buddy) {
  if (FBuddy) {
    FBuddy->removeEventFilter(this);
    disconnect(FBuddy, nullptr, this, nullptr);
  }
  FBuddy = buddy;
  if (!FBuddy) return;
  FBuddy->installEventFilter(this);
  connect(FBuddy, &QLineEdit::textChanged, this, [this] { TakeBuddyText(); });
  WriteBuddy();
}

void TUpDown::StepBy(int steps) {
  TakeBuddyText();
  SetPosition(Clamped(qint64(FPosition) + qint64(steps) * FIncrement));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
  // The event type is looked at first: while the buddy is being destroyed it
  // is no longer a line edit, and the guarded pointer must not be read.
  if (event->type() == QEvent::KeyPress && watched == FBuddy && isEnabled() && !FBuddy->isReadOnly()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      StepBy(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

int TUpDown::Clamped(qint64 value) const {
  return static_cast<int>(std::clamp<qint64>(value, FMin, FMax));
}

void TUpDown::StorePosition(int value) {
  if (value == FPosition) return;
  FPosition = value;
  emit PositionChanged(FPosition);
}

void TUpDown::WriteBuddy() {
  if (!FBuddy) return;
  FWritingBuddy = true;
  FBuddy->setText(QString::number(FPosition));
  FWritingBuddy = false;
}

void TUpDown::TakeBuddyText() {
  if (!FBuddy || FWritingBuddy) return;
  int value = 0;
  if (TryStrToInt(FBuddy->text(), value) && value >= FMin && value <= FMax) StorePosition(value);
}
