// The hexadecimal address entry of the node and instruction editors: the
// operator types the bus address as hexadecimal text into one box, while the
// hidden decimal buddy of a spin button holds the value (0 to 100). Each
// editor keeps a lock flag that is set only while a typed value moves into
// the spin button, so that the text being typed is never rewritten under the
// operator's hands.
#pragma once

class QLineEdit;
class TUpDown;

// The hexadecimal text changed: "$" + text (empty text counts as "0") goes
// to the spin button, which clamps it. Text that does not convert raises
// EConvertError and leaves the position alone; the lock is cleared either way.
void TakeHexAddress(const QLineEdit& hexEdit, TUpDown& upDown, bool& lock);

// The spin position changed: unless locked, the box shows it as at least two
// upper-case hexadecimal digits.
void ShowHexAddress(QLineEdit& hexEdit, const TUpDown& upDown, bool lock);
