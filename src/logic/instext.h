// The texts with which an instruction word is shown: the zero-padded row
// numbers, the column texts of an instruction-list row, and
// the two command bytes of a network-management instruction as hexadecimal
// text (both ways).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "bustext.h"
#include "insword.h"

// The decimal text of the value with "0" characters in front up to the
// width (at most 16); a longer text is given unchanged.
QString PadNumText(int value, int width);

// The caption of the instruction-list row at a 0-based position: "001" to "256".
QString InsRowCaption(int row);

// The texts of the columns Action, Param1, Param2 and Param3 of a row, as
// many as the word's type fills (none for a code that names no instruction).
QStringList InsWordTexts(const TInsStu& word);

// Each byte as two upper-case hexadecimal digits, one blank between bytes.
QString BytesToHex(const std::uint8_t* bytes, int count);

// Reads at most maxCount bytes from text: each is the next token of at most
// two hexadecimal digits, tokens ending at a blank ("01 00" and "0100" give
// the same bytes). Stops at the end of the text or at the first token that is
// no hexadecimal number, and returns how many bytes it stored.
int HexToBytes(const QString& text, std::uint8_t* dest, int maxCount);
