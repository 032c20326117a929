#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "evaluation/ColumnRanks.h"

using namespace relalg;

namespace {

// Checks that ranks order and group the values exactly as byte-wise comparison does.
void expectRanksAgreeWithComparison(const std::vector<std::string>& values) {
  StrColumn column("s", "");
  for (const auto& value : values) column.addVal(value);
  const Ranks ranks = columnRanks(column, values.size());
  for (size_t a = 0; a < values.size(); a += 7) {
    for (size_t b = 0; b < values.size(); b += 13) {
      ASSERT_EQ(values[a] < values[b], ranks[a] < ranks[b]) << a << " " << b;
      ASSERT_EQ(values[a] == values[b], ranks[a] == ranks[b]) << a << " " << b;
    }
  }
}

std::string randomValue(std::mt19937& random, size_t maxSize) {
  static const char kBytes[] = {'a', 'b', '\0', '\xFF'};
  // Long runs of one byte make values share many eight-byte chunks.
  std::string value(random() % (maxSize + 1), 'a');
  for (char& c : value) {
    if (random() % 8 == 0) c = kBytes[random() % 4];
  }
  return value;
}

TEST(ColumnRanks, StringsOfManyDistinctValuesSharingLongBeginnings) {
  std::mt19937 random(3);
  std::vector<std::string> values;
  for (int k = 0; k < 6000; ++k) values.push_back(randomValue(random, 40));
  expectRanksAgreeWithComparison(values);
}

// Up to 256 distinct values a column keeps codes, which rank by its distinct values alone; with
// more, a few hundred are still numbered through a hash table first.
TEST(ColumnRanks, StringsOfFewDistinctValues) {
  std::mt19937 random(5);
  for (size_t distinct : {1, 30, 256, 257, 1000}) {
    std::vector<std::string> pool;
    for (size_t k = 0; k < distinct; ++k) {
      pool.push_back(std::to_string(k) + randomValue(random, 20));
    }
    std::vector<std::string> values = pool;
    for (int k = 0; k < 6000; ++k) values.push_back(pool[random() % pool.size()]);
    expectRanksAgreeWithComparison(values);
  }
}

// Names of a few surnames and many numbers, as a table of people holds them: long shared
// beginnings, lengths that differ, and enough values that most ranges are sorted byte by byte.
TEST(ColumnRanks, StringsOfSharedWordsAndManyNumbers) {
  std::mt19937 random(11);
  const char* surnames[] = {"Kovacs", "Nagy", "Kovacsne", "Kov", "Nagy\xFF", ""};
  std::vector<std::string> values;
  for (int k = 0; k < 40000; ++k) {
    values.push_back(surnames[random() % 6] + std::to_string(random() % 30000));
  }
  expectRanksAgreeWithComparison(values);
}

// Checks every neighbour of the order the ranks give: equal ranks for equal values only, and a
// lower rank for the smaller value. That orders all of them as byte-wise comparison does.
void expectRanksOrderAsBytes(const std::vector<std::string>& values) {
  StrColumn column("s", "");
  for (const auto& value : values) column.addVal(value);
  const Ranks ranks = columnRanks(column, values.size());
  std::vector<size_t> order(values.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ranks[a] < ranks[b]; });
  for (size_t k = 1; k < order.size(); ++k) {
    const std::string& before = values[order[k - 1]];
    const std::string& after = values[order[k]];
    ASSERT_EQ(ranks[order[k - 1]] == ranks[order[k]], before == after) << before << " " << after;
    ASSERT_LE(before, after);
  }
}

// Values that share beginnings of 8 to 24 bytes, across the eleven-byte chunks that the sort
// compares at a time, and differ in the bytes after them or in their lengths; many distinct
// values, and few values repeated often.
TEST(ColumnRanks, StringsSharingBeginningsAcrossChunks) {
  std::mt19937 random(23);
  static const char kBytes[] = {'a', 'b', '\0', '\xFF'};
  for (size_t shared = 8; shared <= 24; ++shared) {
    std::vector<std::string> beginnings(3, std::string(shared, 'p'));
    beginnings[1][shared / 2] = 'q';
    beginnings[2][shared - 1] = '\x80';
    std::vector<std::string> pool;
    for (int k = 0; k < 300; ++k) {
      std::string value = beginnings[random() % 3];
      value.resize(value.size() - random() % 3);
      for (size_t n = random() % 4; n > 0; --n) value.push_back(kBytes[random() % 4]);
      pool.push_back(value);
    }
    expectRanksOrderAsBytes(pool);
    std::vector<std::string> repeated = pool;
    for (int k = 0; k < 1500; ++k) repeated.push_back(pool[random() % pool.size()]);
    expectRanksOrderAsBytes(repeated);
  }
}

TEST(ColumnRanks, IntegersBySignedValue) {
  IntColumn column("i");
  for (int value : {5, -3, 2147483647, -2147483647 - 1, 5, 0}) column.addVal(value);
  const Ranks ranks = columnRanks(column, 6);
  EXPECT_LT(ranks[3], ranks[1]);
  EXPECT_LT(ranks[1], ranks[5]);
  EXPECT_LT(ranks[5], ranks[0]);
  EXPECT_EQ(ranks[0], ranks[4]);
  EXPECT_LT(ranks[4], ranks[2]);
}

}  // namespace
