#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "evaluation/Condition.h"
#include "evaluation/TableSelect.h"

using namespace relalg;

namespace {

std::unique_ptr<Table> ages() {
  return makeTable("emp(name char(20), age int, boss char(20))",
                   {"Kiss, 25, Nagy", "Nagy, 30, Nagy", "'Zova Bela', 35, Kiss"});
}

Records select(const std::string& condition) { return records(*make_select(*ages(), condition)); }

TEST(Select, EveryComparisonWordOverAges) {
  struct {
    std::string condition;
    Records expected;
  } cases[] = {
      {"EQ(age, 30)", {"Nagy,30,Nagy"}},
      {"NEQ(age, 30)", {"Kiss,25,Nagy", "'Zova Bela',35,Kiss"}},
      {"LT(age, 30)", {"Kiss,25,Nagy"}},
      {"LTE(age, 30)", {"Kiss,25,Nagy", "Nagy,30,Nagy"}},
      {"GT(age, 30)", {"'Zova Bela',35,Kiss"}},
      {"GTE(age, 30)", {"Nagy,30,Nagy", "'Zova Bela',35,Kiss"}},
      {"NOT(EQ(age, 30))", {"Kiss,25,Nagy", "'Zova Bela',35,Kiss"}},
      {"AND(GT(age, 25), LT(age, 35))", {"Nagy,30,Nagy"}},
      {"OR(EQ(age, 25), EQ(age, 35))", {"Kiss,25,Nagy", "'Zova Bela',35,Kiss"}},
      {"EQ(30, age)", {"Nagy,30,Nagy"}},
      {"GT(30, age)", {"Kiss,25,Nagy"}},
      {"EQ(name, boss)", {"Nagy,30,Nagy"}},
      {"LT(name, boss)", {"Kiss,25,Nagy", "'Zova Bela',35,Kiss"}},
      {"EQ(name, 'Zova Bela')", {"'Zova Bela',35,Kiss"}},
      {"EQ(name, Zova Bela)", {}},
      {"((EQ(Nagy, name)))", {"Nagy,30,Nagy"}},
  };
  for (const auto& c : cases) EXPECT_EQ(select(c.condition), c.expected) << c.condition;
}

TEST(Select, ReadsIntegerConstantsLikeAtoi) {
  struct {
    std::string condition;
    size_t count;
  } cases[] = {
      {"GT(age, x)", 3},
      {"GT(age, '30')", 3},
      {"EQ(age, 30abc)", 1},
      {"EQ(age, +30)", 1},
      {"EQ(age, -0)", 0},
      {"GT(age, 99999999999)", 0},
      {"LT(age, -99999999999)", 0},
      {"GT(age, -99999999999)", 3},
      {"EQ(age, 4294967326)", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(select(c.condition).size(), c.count) << c.condition;
}

// A comparison with its constant first holds exactly where the mirrored comparison with the
// column first does: LT(c, x) as GT(x, c), LTE(c, x) as GTE(x, c), and so on.
TEST(Select, ComparisonsWithTheConstantFirstMirrorThoseWithTheColumnFirst) {
  struct Word {
    const char* word;
    const char* mirror;
    bool (*holds)(int constant, int value);
  } words[] = {
      {"EQ", "EQ", [](int c, int v) { return c == v; }},
      {"NEQ", "NEQ", [](int c, int v) { return c != v; }},
      {"LT", "GT", [](int c, int v) { return c < v; }},
      {"LTE", "GTE", [](int c, int v) { return c <= v; }},
      {"GT", "LT", [](int c, int v) { return c > v; }},
      {"GTE", "LTE", [](int c, int v) { return c >= v; }},
  };
  const int ages[] = {25, 30, 35};
  for (const Word& w : words) {
    for (int constant : {20, 25, 30, 35, 40}) {
      const std::string c = std::to_string(constant);
      Records expected;
      for (const std::string& record : records(*makeTable("t(age int)", {"25", "30", "35"}))) {
        if (w.holds(constant, std::stoi(record))) expected.push_back(record);
      }
      auto table = makeTable("t(age int)", {"25", "30", "35"});
      EXPECT_EQ(records(*make_select(*table, std::string(w.word) + "(" + c + ", age)")), expected)
          << w.word << "(" << c << ", age)";
      EXPECT_EQ(records(*make_select(*table, std::string(w.mirror) + "(age, " + c + ")")), expected)
          << w.mirror << "(age, " << c << ")";
      for (size_t row = 0; row < 3; ++row) {
        // lt itself, the one primitive: constant < value.
        EXPECT_EQ(lt(*table, static_cast<int>(row), c, "age"), constant < ages[row]);
      }
    }
  }
}

TEST(Select, KeepsNameSchemaOrderAndRepeats) {
  auto table = makeTable("t(a int)", {"2", "1", "2"});
  EXPECT_EQ(make_select(*table, "GT(a, 0)")->toString(), "t(a int)\n2\n1\n2\n");
  EXPECT_EQ(make_select(*table, "LT(a, 0)")->toString(), "t(a int)\n");
}

TEST(Select, ComparisonFailuresNameOperandsInTheOrderTheyAreCompared) {
  struct {
    std::string condition;
    std::string message;
  } cases[] = {
      {"EQ(name, age)", "Nem azonos tipusu oszlopok: name age"},
      {"GT(name, age)", "Nem azonos tipusu oszlopok: age name"},
      {"LTE(name, age)", "Nem azonos tipusu oszlopok: age name"},
      {"EQ(1, 2)", "Ket konstans osszehasonlitasa: 1 2"},
      {"GT(1, 2)", "Ket konstans osszehasonlitasa: 2 1"},
      {"EQ(Age, 30)", "Ket konstans osszehasonlitasa: Age 30"},
      {"FOO(a,b)", "Nem sikerult kiertekelni a kifejezest: FOO(a,b)"},
      {"AND(EQ(age,25), FOO(a, b))", "Nem sikerult kiertekelni a kifejezest: FOO(a,b)"},
      {"EQ(age)", "Helytelen zarojelezes: EQ(age)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(messageOf([&] { make_select(*ages(), c.condition); }), c.message) << c.condition;
  }
  EXPECT_THROW(make_select(*ages(), "age"), std::out_of_range);
  EXPECT_THROW(make_select(*ages(), ""), std::out_of_range);
}

TEST(Select, RaisesNothingFromPartsNoRecordReaches) {
  EXPECT_EQ(select("OR(GTE(age, 25), EQ(nosuch, 1))").size(), 3u);
  EXPECT_EQ(select("AND(LT(age, 0), FOO(x))").size(), 0u);
  auto empty = makeTable("t(a int)");
  for (const char* condition : {"FOO(a, b)", "EQ(1, 2)", "", "x", "EQ(a"}) {
    EXPECT_EQ(make_select(*empty, condition)->recordCount(), 0) << condition;
  }
  EXPECT_EQ(messageOf([] { make_select(*ages(), "OR(EQ(age, 30), EQ(nosuch, 1))"); }),
            "Ket konstans osszehasonlitasa: nosuch 1");
}

TEST(Select, ComparesStringsAsWholeByteStrings) {
  auto table = makeTable("t(s char(3))");
  static_cast<StrColumn*>(table->getColumnByName("s"))->addVal(std::string("a\0b", 3));
  static_cast<StrColumn*>(table->getColumnByName("s"))->addVal("a");
  EXPECT_EQ(make_select(*table, "GT(s, a)")->recordCount(), 1);
  EXPECT_EQ(make_select(*table, "EQ(s, a)")->recordCount(), 1);
}

// A string column of few distinct values is compared with a constant once per value, one of
// many value by value: both must choose the records that byte-wise comparison chooses.
TEST(Select, ComparesStringColumnsOfFewOrManyValuesWithConstants) {
  for (size_t distinct : {5, 300}) {
    auto table = makeTable("t(s char(9), n int)");
    auto& strings = static_cast<StrColumn&>(*table->getColumnByName("s"));
    auto& numbers = static_cast<IntColumn&>(*table->getColumnByName("n"));
    std::vector<std::string> values;
    for (size_t k = 0; k < 2000; ++k) {
      values.push_back(std::string(k % 3, '\xE1') + std::to_string(k * 7 % distinct));
      strings.addVal(values.back());
      numbers.addVal(static_cast<int>(k));
    }
    ASSERT_EQ(strings.coded(), distinct == 5);
    for (const char* word : {"EQ", "NEQ", "LT", "LTE", "GT", "GTE"}) {
      for (const std::string constant : {"3", "\xE1\x31", "\xE1\xE1", "9"}) {
        const auto chosen = make_select(*table, std::string(word) + "(s, " + constant + ")");
        size_t expected = 0;
        for (const std::string& value : values) {
          const std::string_view w = word;
          const int order = value.compare(constant);
          expected += w == "EQ"    ? order == 0
                      : w == "NEQ" ? order != 0
                      : w == "LT"  ? order < 0
                      : w == "LTE" ? order <= 0
                      : w == "GT"  ? order > 0
                                   : order >= 0;
        }
        EXPECT_EQ(static_cast<size_t>(chosen->recordCount()), expected)
            << distinct << " " << word << " " << constant;
      }
    }
  }
}

TEST(Select, FollowsDeeplyNestedConditions) {
  constexpr int kDepth = 100000;
  std::string condition;
  for (int k = 0; k < kDepth; ++k) condition += "NOT(";
  condition += "EQ(age,30)" + std::string(kDepth, ')');
  EXPECT_EQ(select(condition).size(), 1u);
  condition.clear();
  for (int k = 0; k < kDepth; ++k) condition += "AND(GT(age,0),";
  condition += "LT(age,35)" + std::string(kDepth, ')');
  EXPECT_EQ(select(condition).size(), 2u);
}

TEST(LEval, EvaluatesOneRecord) {
  auto table = ages();
  EXPECT_TRUE(l_eval(*table, 1, "EQ(age,30)"));
  EXPECT_FALSE(l_eval(*table, 0, "EQ(age,30)"));
  EXPECT_EQ(messageOf([&] { l_eval(*table, 3, "EQ(age,30)"); }),
            "IntColumn::getVal: t\xFAlindexel\xE9s");
}

TEST(Lt, ComparesColumnsAndConstants) {
  auto table = ages();
  EXPECT_TRUE(lt(*table, 0, "age", "26"));
  EXPECT_FALSE(lt(*table, 0, "26", "age"));
  EXPECT_TRUE(lt(*table, 2, "name", "boss"));
  EXPECT_FALSE(lt(*table, 0, "Kisz", "name"));
  EXPECT_EQ(messageOf([&] { lt(*table, 0, "x", "y"); }), "Ket konstans osszehasonlitasa: x y");
  EXPECT_EQ(messageOf([&] { lt(*table, 5, "name", "y"); }),
            "StrColumn::getVal: t\xFAlindexel\xE9s");
}

}  // namespace
