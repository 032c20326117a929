#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "TestSupport.h"
#include "evaluation/RecordOrder.h"
#include "language/StringTokenizer.h"

using namespace relalg;

namespace {

TEST(RecordOrder, SortIsStableAndMatchesPairwiseComparison) {
  auto table = makeTable("t(k int, s char(2))");
  std::mt19937 random(7);
  for (int k = 0; k < 2000; ++k) {
    table->addRecord(itos(static_cast<int>(random() % 7) - 3) + "," +
                     std::string(1, static_cast<char>('a' + random() % 3)));
  }
  RecordOrder order(columnHandles(table->columns()));
  std::vector<uint32_t> rows = order.sortedRows(2000);
  for (size_t k = 1; k < rows.size(); ++k) {
    int comparison = order.compareRecord(rows[k - 1], rows[k]);
    ASSERT_LE(comparison, 0);
    if (comparison == 0) {
      ASSERT_LT(rows[k - 1], rows[k]);
    }
  }
  std::vector<uint32_t> distinct = order.distinctRows(rows);
  EXPECT_EQ(distinct.size(), 21u);
  EXPECT_EQ(order.sortedDistinctRows(2000), distinct);
}

// Columns of few values take the first row of each combination from a table indexed by it, and
// the others sort; both must keep the same rows in the same order.
TEST(RecordOrder, DistinctRowsAgreeWhetherCombinationsAreCountedOrSorted) {
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    auto table = makeTable("t(a int, s char(4), b int)");
    const int count = 1 + static_cast<int>(random() % 3000);
    const int spanA = 1 + static_cast<int>(random() % (round % 2 == 0 ? 40 : 100000));
    const int strings = 1 + static_cast<int>(random() % (round % 3 == 0 ? 400 : 20));
    for (int k = 0; k < count; ++k) {
      table->addRecord(itos(static_cast<int>(random() % spanA) - spanA / 2) + ",v" +
                       itos(static_cast<int>(random() % strings)) + "," +
                       itos(static_cast<int>(random() % 5) * 1000));
    }
    for (const std::vector<const Column*>& columns :
         {columnHandles(table->columns()),
          std::vector<const Column*>{table->columns()[2].get(), table->columns()[1].get()}}) {
      RecordOrder order(columns);
      ASSERT_EQ(order.sortedDistinctRows(count), order.distinctRows(order.sortedRows(count)))
          << "round " << round;
    }
  }
}

TEST(RecordOrder, SortsStringsByUnsignedBytesWithPrefixesFirst) {
  const std::vector<std::string> values = {
      "b",         "",          "ab",           std::string("ab\0", 3),
      "abcdefgh",  "abcdefghi", "abcdefgh\xFF", "\xE1",
      "abcdefgha", "B",         "ab",           std::string("abcdefgh\0", 9),
      "'z'"};
  auto table = makeTable("t(s char(1))");
  auto* column = static_cast<StrColumn*>(table->getColumnByName("s"));
  for (const auto& value : values) column->addVal(value);
  std::vector<uint32_t> expected(values.size());
  std::iota(expected.begin(), expected.end(), 0u);
  std::stable_sort(expected.begin(), expected.end(),
                   [&](uint32_t a, uint32_t b) { return values[a] < values[b]; });
  EXPECT_EQ(RecordOrder(columnHandles(table->columns())).sortedRows(values.size()), expected);
}

TEST(RecordOrder, TablesWithoutColumnsCompareEqual) {
  RecordOrder order(std::vector<const Column*>{});
  EXPECT_EQ(order.compareRecord(0, 0), 0);
  EXPECT_EQ(order.sortedRows(3), (std::vector<uint32_t>{0, 1, 2}));
}

}  // namespace
