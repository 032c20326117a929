#include "grading/SlipDataSets.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <utility>

#include "grading/Mutants.h"

namespace relalg {

namespace {

using Record = std::vector<std::string>;

std::string recordText(const Record& record) {
  std::string text;
  for (const std::string& value : record) text += (text.empty() ? "" : ",") + value;
  return text;
}

// A value of the column that none of records holds, made from value: an integer past the
// column's largest, a string with letters added (inside its apostrophes).
std::string freshValue(const std::vector<Record>& records, size_t column, bool integer,
                       std::string value) {
  std::set<std::string> taken;
  long long largest = 0;
  for (const Record& record : records) {
    taken.insert(record[column]);
    long long number = 0;
    const std::string& text = record[column];
    if (std::from_chars(text.data(), text.data() + text.size(), number).ec == std::errc())
      largest = std::max(largest, number);
  }
  if (integer) return std::to_string(largest + 1);
  while (taken.contains(value))
    value.insert(value.ends_with('\'') ? value.size() - 1 : value.size(), "x");
  return value;
}

// The variants of the exercise's own data set that tell apart slips no mutant of the reference
// is: each part of the reference made empty (the corner where "every" holds of nothing), and each
// stored table that it reads given a twin of a record, with fresh keys and nothing referring to it
// (an unused course, a second student of one name).
class Variants {
 public:
  explicit Variants(const Exercise& exercise)
      : exercise_(exercise), own_(exercise.given().front()) {}

  std::vector<std::vector<TableData>> make() {
    const SyntaxTree& tree = exercise_.reference();
    std::set<std::string> tables;
    for (int node = 0; node < tree.size(); ++node) {
      if (!tree.isExpression(node) || tree.fault(node) != SyntaxTree::Fault::kNone) continue;
      const int operand = tree.operand(node, 0);
      if (tree.exprType(node) == ExprType::kTable) {
        tables.emplace(tree.text(node));
      } else if (tree.exprType(node) == ExprType::kSelect && operand != SyntaxTree::kNoNode &&
                 tree.exprType(operand) == ExprType::kTable) {
        const std::string table(tree.text(operand));
        const std::set<std::string> kept = keptBy(node);
        selected_[table].insert(kept.begin(), kept.end());
        withoutRecords(table, kept);
      }
    }
    for (const std::string& table : tables) {
      withoutRecords(table, {});
      twin(table);
    }
    return std::move(made_);
  }

 private:
  // The records that the select node keeps of the exercise's own tables, as record text.
  std::set<std::string> keptBy(int select) const {
    const SyntaxTree& tree = exercise_.reference();
    const SyntaxTree alone(
        tree.line().substr(tree.begin(select), tree.end(select) - tree.begin(select)));
    const Outcome kept = evaluateOn(alone, own_);
    return {kept.records.begin(), kept.records.end()};
  }

  // Own's tables with the records of table that records holds dropped (all of them when it is
  // empty), and the records that referred to them.
  void withoutRecords(const std::string& table, const std::set<std::string>& records) {
    std::vector<TableData> tables = own_.tables();
    auto& dropped = tables[tablePlace(tables, table)].records;
    std::erase_if(dropped, [&](const Record& r) {
      return records.empty() || records.contains(recordText(r));
    });
    for (bool changed = true; changed;) {
      changed = false;
      for (const Constraint& constraint : exercise_.constraints().list()) {
        if (constraint.kind != Constraint::Kind::kReference) continue;
        std::set<Record> targets;
        for (const Record& r : tables[tablePlace(tables, constraint.target)].records) {
          targets.insert(pick(r, constraint.targetColumns));
        }
        changed = std::erase_if(tables[tablePlace(tables, constraint.table)].records,
                                [&](const Record& r) {
                                  return !targets.contains(pick(r, constraint.columns));
                                }) > 0 ||
                  changed;
      }
    }
    made_.push_back(std::move(tables));
  }

  // Own's tables with a copy of a record of table, fresh in its key columns: a record that a
  // select of the reference keeps, else the first.
  void twin(const std::string& table) {
    std::vector<TableData> tables = own_.tables();
    TableData& data = tables[tablePlace(tables, table)];
    if (data.records.empty()) return;
    Record copy = data.records.front();
    for (const Record& r : data.records) {
      if (selected_[table].contains(recordText(r))) {
        copy = r;
        break;
      }
    }
    std::set<size_t> keys;
    for (const Constraint& constraint : exercise_.constraints().list()) {
      if (constraint.kind == Constraint::Kind::kKey && constraint.table == table)
        keys.insert(constraint.columns.begin(), constraint.columns.end());
    }
    if (keys.empty()) keys.insert(0);
    for (size_t column : keys) {
      copy[column] = freshValue(data.records, column, data.integer[column], copy[column]);
    }
    data.records.push_back(std::move(copy));
    made_.push_back(std::move(tables));
  }

  static Record pick(const Record& record, const std::vector<size_t>& places) {
    Record picked;
    for (size_t place : places) picked.push_back(record[place]);
    return picked;
  }

  const Exercise& exercise_;
  const DataSet& own_;
  std::map<std::string, std::set<std::string>> selected_;  // per table, records a select keeps
  std::vector<std::vector<TableData>> made_;
};

}  // namespace

bool toldApart(const Judge& judge, const std::vector<DataSet>& given,
               const std::vector<DataSet>& more) {
  for (const std::vector<DataSet>* list : {&given, &more}) {
    for (const DataSet& data : *list) {
      if (judge.tellsApart(data)) return true;
    }
  }
  return false;
}

SlipDataSets slipDataSets(const Exercise& exercise, const GradeSettings& settings) {
  SlipDataSets chosen;
  const bool sorted = std::all_of(exercise.given().begin(), exercise.given().end(),
                                  [](const DataSet& data) { return data.sortedWithoutRepeats(); });
  const auto add = [&](std::vector<TableData> tables) {
    DataSet data("check-" + std::to_string(chosen.dataSets.size() + 1), std::move(tables));
    if (sorted) data = data.sorted();  // as union and minus expect, where the given ones are
    for (const std::vector<DataSet>* list : {&exercise.given(), &std::as_const(chosen.dataSets)}) {
      for (const DataSet& other : *list) {
        if (other.text() == data.text()) return;
      }
    }
    if (exercise.constraints().heldBy(data.tables()) &&
        evaluateOn(exercise.reference(), data).succeeded()) {
      chosen.dataSets.push_back(std::move(data));
    }
  };
  for (std::vector<TableData>& tables : Variants(exercise).make()) add(std::move(tables));
  const DataSet& own = exercise.given().front();
  std::vector<Mutant> mutants = mutantsOf(exercise.reference(), own.tables());
  for (Mutant& mutant : hardCodedAnswers(own, exercise.expected().front()))
    mutants.push_back(std::move(mutant));
  chosen.slips = mutants.size();
  for (const Mutant& mutant : mutants) {
    const SyntaxTree slip(mutant.line);
    const Judge judge(exercise.reference(), slip, exercise.mode());
    if (toldApart(judge, exercise.given(), chosen.dataSets)) {
      ++chosen.told;
      continue;
    }
    DataGenerator generator(exercise.given(), exercise.constraints(),
                            {&exercise.reference(), &slip}, true, settings.seed);
    size_t tried = 0;
    const std::optional<DataSet> found = searchDifference(
        judge, generator, {settings.maxTries, after(Clock::now(), settings.budgetSeconds)}, tried);
    if (!found) {
      chosen.missed.push_back(mutant);
      continue;
    }
    add(shrink(judge, *found, generator, after(Clock::now(), settings.budgetSeconds / 2)).tables());
    ++chosen.told;
  }
  return chosen;
}

}  // namespace relalg
