#include "grading/Counterexamples.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <set>
#include <utility>

#include "base/AdbException.h"
#include "evaluation/EvalObserver.h"
#include "storage/HeaderLine.h"
#include "storage/Table.h"

namespace relalg {

namespace {

// Sizes whose data sets are all tried, while a size has at most this many.
constexpr uint64_t kExhaustivePerSize = 2000;
// More different records than this in a table leave out the sizes above the empty data set.
constexpr uint64_t kMostRecordChoices = uint64_t{1} << 40;
// Data sets made, at most, for one that meets the exercise's constraints.
constexpr size_t kAttemptsPerDataSet = 20000;
// Tries, at most, after a counterexample whose story is weak, for a better one.
constexpr size_t kTriesForABetterStory = 2000;

const std::vector<std::string> kEdgeIntegers = {"0", "1", "-1", "2147483647", "-2147483648"};
const std::vector<std::string> kEdgeStrings = {"A", "z", "'a b'"};

std::optional<long long> integerText(const std::string& text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The number of ways to choose k of n, or more than cap when it is.
uint64_t choices(uint64_t n, uint64_t k, uint64_t cap) {
  if (k > n) return 0;
  uint64_t ways = 1;
  for (uint64_t j = 1; j <= k; ++j) {
    ways = ways * (n - k + j) / j;  // exact: a product of j consecutive numbers divides by j!
    if (ways > cap) return cap + 1;
  }
  return ways;
}

class Values {
 public:
  explicit Values(std::vector<std::string>& list) : list_(list), seen_(list.begin(), list.end()) {}
  void add(std::string value) {
    if (seen_.insert(value).second) list_.push_back(std::move(value));
  }

 private:
  std::vector<std::string>& list_;
  std::set<std::string> seen_;
};

}  // namespace

Judge::Judge(const SyntaxTree& reference, const SyntaxTree& submission, CompareMode mode)
    : reference_(reference),
      submission_(submission),
      mode_(mode),
      parts_(static_cast<size_t>(reference.size()), false) {
  // A node reads one stored table when it is one, or selects, projects or renames such a node;
  // the operands come after their node, so a walk from the last node sees them first.
  std::vector<bool> oneTable(parts_.size(), false);
  for (int node = reference.size() - 1; node >= 0; --node) {
    if (!reference.isExpression(node) || reference.fault(node) != SyntaxTree::Fault::kNone)
      continue;
    const ExprType type = reference.exprType(node);
    const int operand = reference.operand(node, 0);
    const auto k = static_cast<size_t>(node);
    oneTable[k] =
        type == ExprType::kTable ||
        ((type == ExprType::kSelect || type == ExprType::kProject || type == ExprType::kRename) &&
         operand != SyntaxTree::kNoNode && oneTable[static_cast<size_t>(operand)]);
    parts_[k] = type == ExprType::kTable || (type == ExprType::kSelect && oneTable[k]);
  }
}

bool Judge::tellsApart(const DataSet& data, Outcome* expected, Outcome* got) const {
  Outcome reference = evaluateOn(reference_, data);
  Outcome submission;
  bool apart = false;
  if (reference.succeeded()) {
    submission = evaluateOn(submission_, data);
    apart = !sameResult(mode_, reference, submission);
  }
  if (expected != nullptr) *expected = std::move(reference);
  if (got != nullptr) *got = std::move(submission);
  return apart;
}

namespace {

// Notes the first part of an evaluation that finishes empty.
class EmptyPartFinder : public EvalObserver {
 public:
  explicit EmptyPartFinder(const std::vector<bool>& parts) : parts_(parts) {}
  void nodeStarted(const SyntaxTree&, int) override {}
  void nodeFailed(const SyntaxTree&, int) override {}
  void nodeFinished(const SyntaxTree& tree, int node, const Table& table) override {
    if (found_ == SyntaxTree::kNoNode && &tree == tree_ && parts_[static_cast<size_t>(node)] &&
        table.recordCount() == 0) {
      found_ = node;
    }
  }
  const SyntaxTree* tree_ = nullptr;
  int found_ = SyntaxTree::kNoNode;

 private:
  const std::vector<bool>& parts_;
};

// The node's bytes as the line holds them, blanks and all.
std::string asWritten(const SyntaxTree& tree, int node) {
  return tree.line().substr(tree.begin(node), tree.end(node) - tree.begin(node));
}

}  // namespace

std::string Judge::emptyPart(const DataSet& data) const {
  EmptyPartFinder finder(parts_);
  finder.tree_ = &reference_;
  if (!evaluateOn(reference_, data, &finder).succeeded() || finder.found_ == SyntaxTree::kNoNode)
    return {};
  const int node = finder.found_;
  if (reference_.exprType(node) == ExprType::kTable) {
    return std::string(reference_.text(node)) + " is empty";
  }
  const int operand = reference_.operand(node, 0);
  if (reference_.exprType(operand) == ExprType::kTable) {
    return std::string(reference_.text(operand)) + " holds no record where " +
           asWritten(reference_, reference_.operand(node, 1));
  }
  return asWritten(reference_, node) + " keeps no record";
}

DataGenerator::DataGenerator(const std::vector<DataSet>& given, const Constraints& constraints,
                             const std::vector<const SyntaxTree*>& expressions, bool edgeValues,
                             uint64_t seed)
    : given_(given), constraints_(constraints), random_(seed) {
  assert(!given.empty());
  for (const DataSet& data : given) sorted_ = sorted_ && data.sortedWithoutRepeats();
  for (const TableData& table : given.front().tables()) {
    shapes_.push_back({table.name, table.header, table.integer, {}});
    values_.emplace_back(table.integer.size());
  }
  std::set<std::string> columnNames;
  for (size_t t = 0; t < shapes_.size(); ++t) {
    std::vector<Values> columns;
    for (std::vector<std::string>& list : values_[t]) columns.emplace_back(list);
    for (const DataSet& data : given) {
      for (const TableData& table : data.tables()) {
        if (table.header != shapes_[t].header) continue;
        for (const auto& record : table.records) {
          for (size_t c = 0; c < record.size(); ++c) columns[c].add(record[c]);
        }
      }
    }
    givenValues_.emplace_back();
    for (size_t c = 0; c < columns.size(); ++c) {
      const bool integer = shapes_[t].integer[c];
      if (values_[t][c].empty()) {
        columns[c].add(integer ? "0" : "a");
        columns[c].add(integer ? "1" : "b");
      }
      givenValues_[t].push_back(values_[t][c].size());
      if (edgeValues) {
        for (const std::string& value : integer ? kEdgeIntegers : kEdgeStrings)
          columns[c].add(value);
      }
    }
    const HeaderLine header(shapes_[t].header);
    for (const auto& column : header.columns) columnNames.emplace(column.name);
  }
  if (edgeValues) {
    for (const SyntaxTree* tree : expressions) {
      for (int node = 0; node < tree->size(); ++node) {
        if (tree->role(node) != SyntaxTree::Role::kComparand) continue;
        const std::string text(tree->text(node));
        if (text.empty() || columnNames.contains(text)) continue;
        const std::optional<long long> number = integerText(text);
        for (size_t t = 0; t < shapes_.size(); ++t) {
          for (size_t c = 0; c < shapes_[t].integer.size(); ++c) {
            Values column(values_[t][c]);
            if (!shapes_[t].integer[c]) {
              column.add(text);
            } else if (number) {
              for (long long near : {*number - 1, *number, *number + 1}) {
                if (near >= INT32_MIN && near <= INT32_MAX) column.add(std::to_string(near));
              }
            }
          }
        }
      }
    }
  }
  bool countable = true;
  for (size_t t = 0; t < shapes_.size(); ++t) {
    uint64_t count = 1;
    for (const auto& column : values_[t]) {
      count = count > kMostRecordChoices / column.size() ? kMostRecordChoices + 1
                                                         : count * column.size();
    }
    recordChoices_.push_back(count);
    countable = countable && count <= kMostRecordChoices;
    universe_ += count;
  }
  if (!countable) universe_ = 0;
  startSize(0);
}

void DataGenerator::startSize(size_t size) {
  const uint64_t ways = choices(universe_, size, kExhaustivePerSize);
  exhaustive_ = size == 0 || (ways > 0 && ways <= kExhaustivePerSize);
  combination_.resize(size);
  for (size_t k = 0; k < size; ++k) combination_[k] = k;
}

std::vector<std::string> DataGenerator::decodeRecord(size_t table, uint64_t index) const {
  std::vector<std::string> record;
  for (const auto& column : values_[table]) {
    record.push_back(column[index % column.size()]);
    index /= column.size();
  }
  return record;
}

DataSet DataGenerator::inForm(std::string name, std::vector<TableData> tables) const {
  DataSet data(std::move(name), std::move(tables));
  if (!sorted_) return data;
  try {
    return data.sorted();
  } catch (const AdbException&) {
    return data;  // values that do not read back: the reference fails on it, so it is passed over
  }
}

// The records of combination_, each an index into the records that all tables may hold, table
// after table; then the next combination of the same size in lexicographic order, or the first
// of the next size.
std::vector<TableData> DataGenerator::exhaustive() {
  std::vector<TableData> tables = shapes_;
  for (uint64_t index : combination_) {
    size_t table = 0;
    while (index >= recordChoices_[table]) index -= recordChoices_[table++];
    tables[table].records.push_back(decodeRecord(table, index));
  }
  const size_t size = combination_.size();
  size_t k = size;
  while (k > 0 && combination_[k - 1] == universe_ - size + k - 1) --k;
  if (k == 0) {
    startSize(size + 1);
  } else {
    ++combination_[k - 1];
    for (size_t j = k; j < size; ++j) combination_[j] = combination_[j - 1] + 1;
  }
  return tables;
}

std::vector<std::string> DataGenerator::randomRecord(size_t table) {
  std::vector<std::string> record;
  for (const auto& column : values_[table]) {
    record.push_back(column[std::uniform_int_distribution<size_t>(0, column.size() - 1)(random_)]);
  }
  return record;
}

// Up to a few records a table, more as the tries go on, of values drawn at random.
std::vector<TableData> DataGenerator::randomSmall() {
  const size_t most = std::min<size_t>(6, 2 + candidates_ / 2000);
  std::vector<TableData> tables = shapes_;
  for (size_t t = 0; t < tables.size(); ++t) {
    const size_t count = std::uniform_int_distribution<size_t>(0, most)(random_);
    for (size_t r = 0; r < count; ++r) tables[t].records.push_back(randomRecord(t));
  }
  return tables;
}

// A part of a given data set: each record kept at random, and with changeValues some of its
// values replaced by others of their column.
std::vector<TableData> DataGenerator::randomPart(bool changeValues) {
  const DataSet& from =
      given_[std::uniform_int_distribution<size_t>(0, given_.size() - 1)(random_)];
  const double kept = std::uniform_real_distribution<double>(0.2, 0.8)(random_);
  std::bernoulli_distribution keep(kept);
  std::bernoulli_distribution change(0.15);
  std::vector<TableData> tables = shapes_;
  for (size_t t = 0; t < tables.size(); ++t) {
    for (const TableData& table : from.tables()) {
      if (table.header != tables[t].header) continue;
      for (const auto& record : table.records) {
        if (!keep(random_)) continue;
        tables[t].records.push_back(record);
        if (!changeValues) continue;
        for (size_t c = 0; c < record.size(); ++c) {
          if (!change(random_)) continue;
          const auto& column = values_[t][c];
          tables[t].records.back()[c] =
              column[std::uniform_int_distribution<size_t>(0, column.size() - 1)(random_)];
        }
      }
    }
  }
  return tables;
}

std::optional<DataSet> DataGenerator::next() {
  for (size_t attempt = 0; attempt < kAttemptsPerDataSet; ++attempt) {
    std::vector<TableData> tables;
    if (exhaustive_) {
      tables = exhaustive();
    } else {
      tables = candidates_ % 3 == 0 ? randomSmall() : randomPart(candidates_ % 3 == 2);
      constraints_.repair(
          tables, [this](size_t t) { return randomRecord(t); }, random_);
    }
    ++candidates_;
    if (!constraints_.heldBy(tables)) continue;
    DataSet data = inForm("generated data set " + std::to_string(made_ + 1), std::move(tables));
    if (!admits(data)) continue;
    ++made_;
    return data;
  }
  return std::nullopt;
}

bool DataGenerator::fromGiven(const DataSet& data) const {
  for (const TableData& table : data.tables()) {
    const size_t t = tablePlace(shapes_, table.name);
    if (t == shapes_.size()) return false;
    for (const auto& record : table.records) {
      for (size_t c = 0; c < record.size(); ++c) {
        const auto& column = values_[t][c];
        const auto end = column.begin() + static_cast<std::ptrdiff_t>(givenValues_[t][c]);
        if (std::find(column.begin(), end, record[c]) == end) return false;
      }
    }
  }
  return true;
}

const std::vector<std::string>* DataGenerator::valuesOf(const std::string& table,
                                                        size_t column) const {
  for (size_t t = 0; t < shapes_.size(); ++t) {
    if (shapes_[t].name == table && column < values_[t].size()) return &values_[t][column];
  }
  return nullptr;
}

namespace {

// How weak a counterexample's story is: an empty part weighs most, values that the given data sets
// lack less; 0 is the best.
int storyWeakness(const Judge& judge, const DataGenerator& generator, const DataSet& data) {
  return (judge.emptyPart(data).empty() ? 0 : 2) + (generator.fromGiven(data) ? 0 : 1);
}

}  // namespace

std::optional<DataSet> searchDifference(const Judge& judge, DataGenerator& generator,
                                        const SearchLimits& limits, size_t& tried) {
  std::optional<DataSet> best;
  int bestWeakness = 0;
  size_t stopAt = limits.maxTries;
  while (tried < stopAt && Clock::now() < limits.deadline) {
    std::optional<DataSet> data = generator.next();
    if (!data) break;
    ++tried;
    if (!judge.tellsApart(*data)) continue;
    const int weakness = storyWeakness(judge, generator, *data);
    if (!best || weakness < bestWeakness) {
      if (!best) stopAt = std::min(stopAt, tried + kTriesForABetterStory);
      best = std::move(data);
      bestWeakness = weakness;
    }
    if (bestWeakness == 0) break;
  }
  return best;
}

}  // namespace relalg
