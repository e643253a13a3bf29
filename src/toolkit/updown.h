// A pair of small arrow buttons bound to a buddy edit box: it holds a
// position inside a range, shows it as decimal text in the buddy, moves it
// by its increment on each click (or the Up/Down keys in the buddy), and
// clamps every value it is given to its range. A whole number typed into the
// buddy is taken when it lies inside the range; other text leaves the last
// valid position standing.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

class TUpDown : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)

 public:
  explicit TUpDown(QWidget* parent = nullptr);

  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Increment() const { return FIncrement; }
  int Position() const { return FPosition; }

  // A range given in either order is taken as lowest to highest; the
  // position is clamped into it.
  void SetMin(int value);
  void SetMax(int value);
  void SetRange(int low, int high);
  void SetIncrement(int value);
  void SetPosition(int value);

  // Binds the buddy and writes the position into it.
  void SetAssociate(QLineEdit* buddy);
  QLineEdit* Associate() const { return FBuddy; }

  // Moves the position by the given number of increments, as clicks do.
  void StepBy(int steps);

 signals:
  void PositionChanged(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int Clamped(qint64 value) const;
  void StorePosition(int value);
  void WriteBuddy();
  void TakeBuddyText();

  QToolButton* FUpButton;
  QToolButton* FDownButton;
  QPointer<QLineEdit> FBuddy;
  int FMin = 0;
  int FMax = 100;
  int FIncrement = 1;
  int FPosition = 0;
  bool FWritingBuddy = false;
};
