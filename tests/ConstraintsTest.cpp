#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "grading/Constraints.h"
#include "grading/Counterexamples.h"
#include "grading/ExerciseFile.h"

using namespace relalg;

namespace {

const char* const kTables =
    "\nr(a int, b char(4))\n1, x\n2, y\n3, x\n\ns(c int, d int, e char(4))\n1, 2, y\n3, 3, x\n";

using Tables = std::map<std::string, std::vector<std::vector<std::string>>>;

// The requirements that the tables above meet, each of which a round declares or not at random,
// with a check of its own for a breach: what no generated or shrunk data set may show.
struct Requirement {
  const char* text;
  bool (*broken)(const Tables& tables);
};

std::set<std::vector<std::string>> column(const Tables& tables, const char* table,
                                          std::vector<size_t> places) {
  std::set<std::vector<std::string>> values;
  for (const auto& record : tables.at(table)) {
    std::vector<std::string> picked;
    for (size_t place : places) picked.push_back(record[place]);
    values.insert(picked);
  }
  return values;
}

const Requirement kRequirements[] = {
    {"nonempty r, s", [](const Tables& t) { return t.at("r").empty() || t.at("s").empty(); }},
    {"key r(a)", [](const Tables& t) { return column(t, "r", {0}).size() < t.at("r").size(); }},
    {"key s(c, e)",
     [](const Tables& t) {
       return column(t, "s", {0, 2}).size() < t.at("s").size();
     }},
    {"s(c) references r(a)",
     [](const Tables& t) {
       for (const auto& value : column(t, "s", {0})) {
         if (!column(t, "r", {0}).contains(value)) return true;
       }
       return false;
     }},
    {"s(d, e) references r(a, b)",
     [](const Tables& t) {
       for (const auto& value : column(t, "s", {1, 2})) {
         if (!column(t, "r", {0, 1}).contains(value)) return true;
       }
       return false;
     }},
};

Tables tablesOf(const DataSet& data) {
  Tables tables;
  for (const TableData& table : data.tables()) tables[table.name] = table.records;
  return tables;
}

// No data set that the generator makes or the shrinker leaves breaks a declared requirement,
// whichever are declared and whatever the two expressions told apart.
TEST(Constraints, NoGeneratedOrShrunkDataSetBreaksOne) {
  const std::vector<DataSet> given = {DataSet::read("ex.txt", std::string("r\n") + kTables)};
  const SyntaxTree reference("product(r, s)");
  const char* const slips[] = {"product(select(r, GT(a, 1)), s)",
                               "product(r, select(s, NEQ(e, y)))",
                               "product(r, project(s, c, d, e))"};
  std::mt19937 random(20261209);
  for (int round = 0; round < 40; ++round) {
    Constraints constraints;
    std::vector<const Requirement*> declared;
    for (const Requirement& requirement : kRequirements) {
      if (random() % 2 == 0) continue;
      constraints.add(requirement.text, given.front());
      declared.push_back(&requirement);
    }
    const SyntaxTree submission(slips[round % 3]);
    const Judge judge(reference, submission, CompareMode::kSet);
    DataGenerator generator(given, constraints, {&reference, &submission}, round % 2 == 0,
                            static_cast<uint64_t>(round));
    for (int k = 0; k < 300; ++k) {
      const std::optional<DataSet> data = generator.next();
      ASSERT_TRUE(data.has_value());
      std::vector<DataSet> seen = {*data};
      if (k % 10 == 0 && judge.tellsApart(*data)) {
        seen.push_back(shrink(judge, *data, generator, Clock::now() + std::chrono::seconds(5)));
        EXPECT_TRUE(judge.tellsApart(seen.back()));
      }
      for (const DataSet& shown : seen) {
        for (const Requirement* requirement : declared) {
          ASSERT_FALSE(requirement->broken(tablesOf(shown))) << requirement->text << " broken by\n"
                                                             << shown.text();
        }
      }
    }
  }
}

// A requirement that names what the exercise lacks, or is no requirement at all, says why.
TEST(Constraints, SayWhyARequirementCannotBeRead) {
  const DataSet exercise = DataSet::read("ex.txt", std::string("r\n") + kTables);
  const struct {
    const char* text;
    const char* why;
  } cases[] = {
      {"nonempty q", "no table is named q"},
      {"key r(z)", "r has no column z"},
      {"key r a", "expected '(' and the columns of r, found 'a'"},
      {"s(c) refers r(a)", "expected 'references' after s(c), found 'refers'"},
      {"s(c, d) references r(a)", "s(c, d) and r(a) have different numbers of columns"},
      {"s(e) references r(a)", "s(e) and r(a) hold values of different kinds (int and string)"},
      {"key r(a) x", "expected ';' or the end, found 'x'"},
      {"",
       "expected a requirement: nonempty TABLE, key TABLE(COLUMNS) or TABLE(COLUMNS) "
       "references TABLE(COLUMNS)"},
  };
  for (const auto& c : cases) {
    try {
      Constraints().add(c.text, exercise);
      ADD_FAILURE() << c.text << " was read";
    } catch (const ConstraintError& error) {
      EXPECT_EQ(error.what, c.why) << c.text;
    }
  }
}

// The declarations come out of the lines above the first empty line, wherever they stand there;
// the rest of the file reads as before, byte order mark and all.
TEST(ExerciseFile, TakesTheDeclarationsOutOfTheLinesAboveTheTables) {
  std::string bytes =
      "\xEF\xBB\xBF-- title:  Pairs \r\nq\n-- requires: nonempty r\n-- task: One.\n-- task: Two.\n"
      "\nr(a int)\n-- title: not this\n";
  const ExerciseDeclarations declared = takeDeclarations(bytes);
  EXPECT_EQ(bytes, "\xEF\xBB\xBFq\n\nr(a int)\n-- title: not this\n");
  EXPECT_EQ(declared.title, "Pairs");
  EXPECT_EQ(declared.task, (std::vector<std::string>{"One.", "Two."}));
  ASSERT_EQ(declared.requirements.size(), 1u);
  EXPECT_EQ(declared.requirements[0].number, 3u);
  EXPECT_EQ(declared.requirements[0].text, "nonempty r");
}

}  // namespace
