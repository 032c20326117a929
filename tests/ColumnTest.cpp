#include <gtest/gtest.h>

#include "TestSupport.h"
#include "storage/Column.h"

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

}  // namespace
