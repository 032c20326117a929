#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "storage/Column.h"

using namespace relalg;

namespace {

TEST(Column, IndexOutsideValuesFailsWithItsClassMessage) {
  StrColumn strings("s", "20");
  IntColumn ints("i");
  EXPECT_EQ(messageOf([&] { strings.getVal(0); }), "StrColumn::getVal: t\xFAlindexel\xE9s");
  EXPECT_EQ(messageOf([&] { ints.getVal(0); }), "IntColumn::getVal: t\xFAlindexel\xE9s");
  strings.addVal("a");
  ints.addVal(5);
  EXPECT_EQ(strings.getVal(0), "a");
  EXPECT_EQ(ints.getVal(0), 5);
  EXPECT_EQ(messageOf([&] { strings.getVal(1); }), "StrColumn::getVal: t\xFAlindexel\xE9s");
  EXPECT_EQ(messageOf([&] { ints.getVal(-1); }), "IntColumn::getVal: t\xFAlindexel\xE9s");
}

TEST(Column, StoresStringValuesWhole) {
  StrColumn column("name", "20");
  const std::string values[] = {"a 30 character long value here", "'Zova, (Bela)'", "",
                                std::string("nul\0byte", 8)};
  for (const auto& value : values) column.addVal(value);
  ASSERT_EQ(column.getSize(), 4);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(column.getVal(k), values[k]);
  EXPECT_EQ(column.getMaxWidth(), "20");
}

TEST(Column, CopiesAreIndependent) {
  StrColumn source("name", "5");
  source.addVal("a");
  auto copy = source.clone();
  auto& strings = static_cast<StrColumn&>(*copy);
  strings.addVal("b");
  strings.setName("other");
  EXPECT_EQ(source.getSize(), 1);
  EXPECT_EQ(source.getName(), "name");
  EXPECT_EQ(strings.getSize(), 2);
  EXPECT_EQ(strings.getMaxWidth(), "5");
}

TEST(Column, GathersValuesAtGivenRows) {
  IntColumn ints("i");
  StrColumn strings("s", "");
  for (int k = 0; k < 5; ++k) {
    ints.addVal(k * 10);
    strings.addVal(std::string(static_cast<size_t>(k), 'x'));
  }
  const uint32_t rows[] = {4, 0, 4, 2};
  auto intCopy = ints.cloneEmpty();
  auto strCopy = strings.cloneEmpty();
  intCopy->gather(ints, rows);
  strCopy->gather(strings, rows);
  ASSERT_EQ(intCopy->getSize(), 4);
  EXPECT_EQ(static_cast<IntColumn&>(*intCopy).getVal(0), 40);
  EXPECT_EQ(static_cast<IntColumn&>(*intCopy).getVal(3), 20);
  EXPECT_EQ(static_cast<StrColumn&>(*strCopy).getVal(1), "");
  EXPECT_EQ(static_cast<StrColumn&>(*strCopy).getVal(2), "xxxx");
}

// Keeping rows in place must leave what a gather of the same rows into a new column holds.
TEST(Column, KeepsChosenRowsInPlaceAsAGatherWould) {
  const std::vector<std::vector<uint32_t>> choices = {
      {}, {0}, {5}, {1, 2, 4}, {0, 1, 2, 3, 4, 5}, {0, 1, 3, 5}, {2, 3}};
  for (const auto& rows : choices) {
    IntColumn ints("i");
    StrColumn strings("s", "");
    for (int k = 0; k < 6; ++k) {
      ints.addVal(k * 10 - 20);
      strings.addVal(std::string(static_cast<size_t>(k % 3 == 1 ? 0 : k + 1), 'a' + k));
    }
    auto intCopy = ints.cloneEmpty();
    auto strCopy = strings.cloneEmpty();
    intCopy->gather(ints, rows);
    strCopy->gather(strings, rows);
    ints.keepRows(rows);
    strings.keepRows(rows);
    ASSERT_EQ(ints.getSize(), static_cast<int>(rows.size()));
    ASSERT_EQ(strings.getSize(), static_cast<int>(rows.size()));
    for (int k = 0; k < ints.getSize(); ++k) {
      EXPECT_EQ(ints.getVal(k), static_cast<IntColumn&>(*intCopy).getVal(k));
      EXPECT_EQ(strings.getVal(k), static_cast<StrColumn&>(*strCopy).getVal(k));
    }
    EXPECT_EQ(strings.valueBytes(), strCopy->valueBytes());
    strings.addVal("new");  // the column goes on growing after what it kept
    EXPECT_EQ(strings.getVal(static_cast<int>(rows.size())), "new");
  }
}

// A string column keeps codes while it has at most 256 distinct values and the values' bytes
// beyond: appends (one value, a batch, or another column whole), gathers between columns kept
// either way (whose codes number the values differently), keeping rows and truncating must leave
// what a plain list of strings holds.
TEST(Column, StringColumnsHoldTheirValuesWhetherCodedOrNot) {
  std::mt19937 random(7);
  for (size_t distinct : {2, 150, 256, 257, 600}) {
    std::vector<std::string> pool;
    for (size_t k = 0; k < 2 * distinct; ++k) {
      pool.push_back(std::string(k % 13, k % 2 ? '\xE9' : 'v') + std::to_string(k));
    }
    StrColumn column("s", "9");
    StrColumn other("o", "");
    std::vector<std::string> model;
    std::vector<std::string> otherModel;
    column.reserve(2000, 20000);
    for (int step = 0; step < 600; ++step) {
      const size_t size = model.size();
      switch (random() % 8) {
        case 0:
        case 1:
          model.push_back(pool[random() % distinct]);
          column.addVal(model.back());
          break;
        case 2:  // other's values are numbered from the other end of the pool
          otherModel.push_back(pool[distinct / 2 + random() % distinct]);
          other.addVal(otherModel.back());
          break;
        case 3: {
          std::vector<uint32_t> rows;
          for (size_t k = 0; k < otherModel.size(); k += 1 + random() % 3) {
            rows.push_back(static_cast<uint32_t>(k));
            model.push_back(otherModel[k]);
          }
          column.gather(other, rows);
          break;
        }
        case 4: {
          std::vector<uint32_t> rows;
          std::vector<std::string> kept;
          for (size_t k = 0; k < size; ++k) {
            if (random() % 4 != 0) {
              rows.push_back(static_cast<uint32_t>(k));
              kept.push_back(model[k]);
            }
          }
          column.keepRows(rows);
          model = kept;
          break;
        }
        case 5:
          model.resize(size - size / 8);
          column.truncate(model.size());
          break;
        case 6:
          model.insert(model.end(), otherModel.begin(), otherModel.end());
          column.append(other);
          break;
        default: {
          std::vector<std::string_view> batch;
          for (int k = random() % 40; k > 0; --k) batch.push_back(pool[random() % distinct]);
          model.insert(model.end(), batch.begin(), batch.end());
          column.addVals(batch);
        }
      }
      ASSERT_EQ(column.getSize(), static_cast<int>(model.size())) << distinct << " " << step;
      size_t bytes = 0;
      for (size_t k = 0; k < model.size(); ++k) {
        ASSERT_EQ(column.getVal(k), model[k]) << distinct << " " << step << " " << k;
        bytes += model[k].size();
      }
      ASSERT_EQ(column.valueBytes(), bytes);
    }
    if (distinct == 2 || distinct == 600) {
      EXPECT_EQ(column.coded(), distinct == 2);
    }
  }
}

}  // namespace
