#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "commdevice.h"

namespace {

std::vector<std::uint8_t> Sequence(int count, int first = 0) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// A queue of 16 whose storage byte i holds the value i, both indices at 0.
void FillPositions(TCommQueue& queue) {
  std::uint8_t sink[16];
  const auto first = Sequence(15);
  ASSERT_EQ(queue.Put(first.data(), 15), 15);
  ASSERT_EQ(queue.Get(sink, 14), 14);
  const std::uint8_t last = 15;
  ASSERT_EQ(queue.Put(&last, 1), 1);
  ASSERT_EQ(queue.WriteIndex(), 0);
  queue.SetIndices(0, 0);
}

TEST(CommQueue, TakesOneByteLessThanItsCapacity) {
  TCommQueue queue(8192);
  const auto bytes = Sequence(10000);
  EXPECT_EQ(queue.Put(bytes.data(), 10000), 8191);
  EXPECT_EQ(queue.Filled(), 8191);
  EXPECT_EQ(queue.Put(bytes.data(), 1), 0);

  std::vector<std::uint8_t> got(10000);
  EXPECT_EQ(queue.Get(got.data(), 10000), 8191);
  got.resize(8191);
  EXPECT_EQ(got, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8191));
  EXPECT_EQ(queue.Filled(), 0);
}

TEST(CommQueue, GetWrapsFromTheEndToTheStart) {
  TCommQueue queue(16);
  FillPositions(queue);
  queue.SetIndices(12, 4);
  EXPECT_EQ(queue.Filled(), 8);

  std::uint8_t got[10] = {};
  ASSERT_EQ(queue.Get(got, 10), 8);
  const std::vector<std::uint8_t> want = {12, 13, 14, 15, 0, 1, 2, 3};
  EXPECT_EQ(std::vector<std::uint8_t>(got, got + 8), want);
  EXPECT_EQ(queue.ReadIndex(), 4);
  EXPECT_EQ(queue.WriteIndex(), 4);
  EXPECT_EQ(queue.Filled(), 0);
}

TEST(CommQueue, PutWrapsAndKeepsTheOrder) {
  TCommQueue queue(16);
  queue.SetIndices(14, 14);
  const auto bytes = Sequence(5, 100);
  ASSERT_EQ(queue.Put(bytes.data(), 5), 5);
  EXPECT_EQ(queue.WriteIndex(), 3);
  std::uint8_t got[5] = {};
  ASSERT_EQ(queue.Get(got, 5), 5);
  EXPECT_EQ(std::vector<std::uint8_t>(got, got + 5), bytes);
}

TEST(CommQueue, TakesOnlyTheFreeSpace) {
  TCommQueue queue(16);
  queue.SetIndices(12, 4);  // 8 held, 7 free
  const auto bytes = Sequence(20);
  EXPECT_EQ(queue.Put(bytes.data(), 20), 7);
  EXPECT_EQ(queue.Filled(), 15);
  EXPECT_EQ(queue.WriteIndex(), 11);
}

TEST(CommQueue, RefusesEmptyAndNegativeRequests) {
  TCommQueue queue(16);
  std::uint8_t bytes[4] = {1, 2, 3, 4};
  struct Case {
    const std::uint8_t* put;
    std::uint8_t* get;
    std::int32_t count;
  };
  const Case cases[] = {{bytes, bytes, 0}, {bytes, bytes, -5}, {nullptr, nullptr, 4}};
  for (const Case& c : cases) {
    EXPECT_EQ(queue.Put(c.put, c.count), 0);
    EXPECT_EQ(queue.Get(c.get, c.count), 0);
  }
  EXPECT_EQ(queue.Filled(), 0);
}

TEST(CommQueue, WithoutStorageEverythingIsZero) {
  for (std::int32_t capacity : {0, -1}) {
    SCOPED_TRACE(capacity);
    TCommQueue queue(capacity);
    std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(queue.HasStorage());
    EXPECT_EQ(queue.Capacity(), 0);
    EXPECT_EQ(queue.Put(bytes, 4), 0);
    EXPECT_EQ(queue.Get(bytes, 4), 0);
    EXPECT_EQ(queue.Filled(), 0);
  }
}

TEST(CommQueue, SetSizeEmptiesAndResizes) {
  TCommQueue queue(16);
  const auto bytes = Sequence(10);
  queue.Put(bytes.data(), 10);

  queue.SetSize(64);
  EXPECT_EQ(queue.Capacity(), 64);
  EXPECT_EQ(queue.Filled(), 0);
  EXPECT_EQ(queue.ReadIndex(), 0);
  EXPECT_EQ(queue.WriteIndex(), 0);
  const auto many = Sequence(100);
  EXPECT_EQ(queue.Put(many.data(), 100), 63);

  queue.SetSize(0);
  EXPECT_FALSE(queue.HasStorage());
  EXPECT_EQ(queue.Put(many.data(), 100), 0);

  queue.SetSize(8);
  EXPECT_TRUE(queue.HasStorage());
  EXPECT_EQ(queue.Put(many.data(), 100), 7);
}

TEST(CommQueue, IgnoresIndicesOutsideTheRing) {
  TCommQueue queue(16);
  queue.SetIndices(3, 5);
  for (const auto& [read, write] : std::vector<std::pair<int, int>>{{16, 0}, {0, -1}, {-1, 2}}) {
    queue.SetIndices(read, write);
    EXPECT_EQ(queue.ReadIndex(), 3);
    EXPECT_EQ(queue.WriteIndex(), 5);
  }
}

// One producer and one consumer on different threads: every byte arrives,
// in order, through many wraps of a small ring.
TEST(CommQueue, ProducerAndConsumerThreadsKeepTheStream) {
  TCommQueue queue(61);
  constexpr int Total = 200000;
  std::thread producer([&queue] {
    int next = 0;
    std::uint8_t chunk[37];
    while (next < Total) {
      const int n = std::min<int>(37, Total - next);
      for (int i = 0; i < n; ++i) chunk[i] = static_cast<std::uint8_t>((next + i) % 251);
      int put = 0;
      while (put < n) {
        put += queue.Put(chunk + put, n - put);
        if (put < n) std::this_thread::yield();
      }
      next += n;
    }
  });
  int received = 0;
  bool inOrder = true;
  std::uint8_t buffer[53];
  while (received < Total) {
    const int n = queue.Get(buffer, 53);
    for (int i = 0; i < n; ++i) inOrder = inOrder && buffer[i] == static_cast<std::uint8_t>((received + i) % 251);
    received += n;
    if (n == 0) std::this_thread::yield();
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(queue.Filled(), 0);
}

// A purge from a third party while the producer is adding never leaves the
// ring in a state that reads outside its bounds.
TEST(CommQueue, ClearWhileTheProducerAddsKeepsTheRingSound) {
  TCommQueue queue(64);
  std::atomic<bool> stop{false};
  std::thread producer([&] {
    const auto bytes = Sequence(40);
    while (!stop) queue.Put(bytes.data(), 40);
  });
  std::uint8_t buffer[64];
  for (int i = 0; i < 20000; ++i) {
    if (i % 3 == 0) queue.Clear();
    const int filled = queue.Filled();
    EXPECT_GE(filled, 0);
    EXPECT_LE(filled, 63);
    EXPECT_LE(queue.Get(buffer, 64), 63);
  }
  stop = true;
  producer.join();
}

}  // namespace
