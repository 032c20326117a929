#include "RecordOrder.h"

#include <gtest/gtest.h>

#include <random>

#include "StringTokenizer.h"
#include "TestSupport.h"

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
    int comparison = order.compare(rows[k - 1], rows[k]);
    ASSERT_LE(comparison, 0);
    if (comparison == 0) {
      ASSERT_LT(rows[k - 1], rows[k]);
    }
  }
  std::vector<uint32_t> distinct = order.distinctRows(rows);
  EXPECT_EQ(distinct.size(), 21u);
}

TEST(RecordOrder, TablesWithoutColumnsCompareEqual) {
  RecordOrder order(std::vector<const Column*>{});
  EXPECT_EQ(order.compare(0, 0), 0);
  EXPECT_EQ(order.sortedRows(3), (std::vector<uint32_t>{0, 1, 2}));
}

}  // namespace
