#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

#include "grading/Counterexamples.h"

using namespace relalg;

namespace {

// Every counterexample that the generator finds shrinks to one that still tells the two apart
// and that tells them apart no more without any one of its records, but for one whose dropping
// would empty a part of the reference. The values of the given
// tables come simplest first, and the first pair needs every pass: two records differ, and only
// once their values are simpler does one record, (1, 1), differ alone.
TEST(Counterexamples, ShrunkDataSetsStillTellApartAndLoseNoRecord) {
  const std::vector<DataSet> given = {
      DataSet::read("given", "x\n\nr(a int, b int)\n1, 2\n3, 1\n\ns(c int)\n2\n")};
  const char* const pairs[][2] = {
      {"project(r, a, b)",
       "minus(project(r, a, b), union(select(project(r, a, b), EQ(a, b)), project(select(product("
       "r, rename(r, q(c, d))), OR(NEQ(a, c), NEQ(b, d))), a, b)))"},
      {"select(r, LT(a, b))", "select(r, LTE(a, b))"},
      {"project(select(product(r, s), EQ(b, c)), a)", "project(r, a)"},
  };
  const auto later = Clock::now() + std::chrono::hours(1);
  for (const auto& [referenceLine, submissionLine] : pairs) {
    const SyntaxTree reference(referenceLine), submission(submissionLine);
    const Judge judge(reference, submission, CompareMode::kSet);
    DataGenerator generator(given, {}, {&reference, &submission}, false, 7);
    int found = 0;
    for (int tries = 0; tries < 3000 && found < 12; ++tries) {
      const std::optional<DataSet> data = generator.next();
      if (!data || !judge.tellsApart(*data)) continue;
      ++found;
      const DataSet shrunk = shrink(judge, *data, generator, later);
      ASSERT_TRUE(judge.tellsApart(shrunk)) << submissionLine << "\n" << shrunk.text();
      for (size_t t = 0; t < shrunk.tables().size(); ++t) {
        for (size_t r = 0; r < shrunk.tables()[t].records.size(); ++r) {
          std::vector<TableData> fewer = shrunk.tables();
          fewer[t].records.erase(fewer[t].records.begin() + static_cast<std::ptrdiff_t>(r));
          const DataSet smaller = generator.inForm("fewer", fewer);
          // A record whose dropping empties a part of the reference stays: the slip shows there.
          EXPECT_FALSE(judge.tellsApart(smaller) &&
                       (judge.emptyPart(smaller).empty() || !judge.emptyPart(shrunk).empty()))
              << submissionLine << "\n" << shrunk.text() << "without record " << r + 1;
        }
      }
    }
    EXPECT_GT(found, 0) << submissionLine;
  }
}

// Two records that differ only together, once their values are made simpler, leave one that
// differs alone: the shrinker drops records again after the values, down to that one.
TEST(Counterexamples, RecordsGoAgainOnceValuesAreSimpler) {
  const std::vector<DataSet> given = {DataSet::read("given", "x\n\nr(a int, b int)\n1, 2\n3, 1\n")};
  const SyntaxTree reference("project(r, a, b)");
  const SyntaxTree submission(
      "minus(project(r, a, b), union(select(project(r, a, b), EQ(a, b)), project(select(product("
      "r, rename(r, q(c, d))), OR(NEQ(a, c), NEQ(b, d))), a, b)))");
  const Judge judge(reference, submission, CompareMode::kSet);
  const DataGenerator generator(given, {}, {&reference, &submission}, false, 7);
  const DataSet found = DataSet::read("found", "x\n\nr(a int, b int)\n3, 1\n2, 4\n");
  ASSERT_TRUE(judge.tellsApart(found));
  const DataSet shrunk = shrink(judge, found, generator, Clock::now() + std::chrono::hours(1));
  ASSERT_TRUE(judge.tellsApart(shrunk));
  EXPECT_EQ(shrunk.tables().front().records.size(), 1u) << shrunk.text();
}

}  // namespace
