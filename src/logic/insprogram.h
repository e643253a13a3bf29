// The edits of the instruction list on a program buffer: the first `count`
// words of the buffer are the program. Each operation checks its positions
// first and returns false, changing nothing, when it cannot be done or would
// change nothing; slots from `count` on are never read as program words.
#pragma once

#include <array>
#include <cstdint>

#include "insword.h"

using TInsBuf = std::array<TInsStu, MaxInsCount>;

// Moves the words at..count-1 one place up, so that slot `at` is free for a
// new word; the slot keeps the word it held. Needs count < MaxInsCount and
// 0 <= at <= count.
bool OpenInsSlot(TInsBuf& words, std::int32_t count, std::int32_t at);

// Moves the words at+1..count-1 one place down over the word at `at`; slot
// count-1 keeps its old word. Needs 0 <= at < count.
bool CloseInsSlot(TInsBuf& words, std::int32_t count, std::int32_t at);

// Swaps two different words of the program.
bool SwapInsWords(TInsBuf& words, std::int32_t count, std::int32_t a, std::int32_t b);

// Puts the word at `at` first; the words before it move one place down the
// program. Needs 0 < at < count.
bool MoveInsToTop(TInsBuf& words, std::int32_t count, std::int32_t at);

// Puts the word at `at` last; the words after it move one place up the
// program. Needs 0 <= at < count - 1.
bool MoveInsToBottom(TInsBuf& words, std::int32_t count, std::int32_t at);
