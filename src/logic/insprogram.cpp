#include "insprogram.h"

#include <algorithm>
#include <utility>

namespace {

bool IsProgramCount(std::int32_t count) { return count >= 0 && count <= MaxInsCount; }

bool IsWordOf(std::int32_t count, std::int32_t at) { return IsProgramCount(count) && at >= 0 && at < count; }

}  // namespace

bool OpenInsSlot(TInsBuf& words, std::int32_t count, std::int32_t at) {
  if (count < 0 || count >= MaxInsCount || at < 0 || at > count) return false;
  std::copy_backward(words.begin() + at, words.begin() + count, words.begin() + count + 1);
  return true;
}

bool CloseInsSlot(TInsBuf& words, std::int32_t count, std::int32_t at) {
  if (!IsWordOf(count, at)) return false;
  std::copy(words.begin() + at + 1, words.begin() + count, words.begin() + at);
  return true;
}

bool SwapInsWords(TInsBuf& words, std::int32_t count, std::int32_t a, std::int32_t b) {
  if (!IsWordOf(count, a) || !IsWordOf(count, b) || a == b) return false;
  std::swap(words[a], words[b]);
  return true;
}

bool MoveInsToTop(TInsBuf& words, std::int32_t count, std::int32_t at) {
  if (!IsWordOf(count, at) || at == 0) return false;
  std::rotate(words.begin(), words.begin() + at, words.begin() + at + 1);
  return true;
}

bool MoveInsToBottom(TInsBuf& words, std::int32_t count, std::int32_t at) {
  if (!IsWordOf(count, at) || at == count - 1) return false;
  std::rotate(words.begin() + at, words.begin() + at + 1, words.begin() + count);
  return true;
}
