#include "grading/Counterexamples.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <set>
#include <utility>

#include "base/AdbException.h"
#include "storage/HeaderLine.h"

namespace relalg {

namespace {

// Sizes whose data sets are all tried, while a size has at most this many.
constexpr uint64_t kExhaustivePerSize = 2000;
// More different records than this in a table leave out the sizes above the empty data set.
constexpr uint64_t kMostRecordChoices = uint64_t{1} << 40;

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

DataGenerator::DataGenerator(const std::vector<DataSet>& given,
                             const std::vector<const SyntaxTree*>& expressions, bool edgeValues,
                             uint64_t seed)
    : given_(given), random_(seed) {
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
    for (size_t c = 0; c < columns.size(); ++c) {
      const bool integer = shapes_[t].integer[c];
      if (edgeValues) {
        for (const std::string& value : integer ? kEdgeIntegers : kEdgeStrings)
          columns[c].add(value);
      }
      if (values_[t][c].empty()) {
        columns[c].add(integer ? "0" : "a");
        columns[c].add(integer ? "1" : "b");
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

DataSet DataGenerator::made(std::vector<TableData> tables) {
  return inForm("generated data set " + std::to_string(++made_), std::move(tables));
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
DataSet DataGenerator::exhaustive() {
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
  return made(std::move(tables));
}

// Up to a few records a table, more as the tries go on, of values drawn at random.
DataSet DataGenerator::randomSmall() {
  const size_t most = std::min<size_t>(6, 2 + made_ / 2000);
  std::vector<TableData> tables = shapes_;
  for (size_t t = 0; t < tables.size(); ++t) {
    const size_t count = std::uniform_int_distribution<size_t>(0, most)(random_);
    for (size_t r = 0; r < count; ++r) {
      std::vector<std::string> record;
      for (const auto& column : values_[t]) {
        record.push_back(
            column[std::uniform_int_distribution<size_t>(0, column.size() - 1)(random_)]);
      }
      tables[t].records.push_back(std::move(record));
    }
  }
  return made(std::move(tables));
}

// A part of a given data set: each record kept at random, and with changeValues some of its
// values replaced by others of their column.
DataSet DataGenerator::randomPart(bool changeValues) {
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
  return made(std::move(tables));
}

DataSet DataGenerator::next() {
  if (exhaustive_) return exhaustive();
  switch (made_ % 3) {
    case 0:
      return randomSmall();
    case 1:
      return randomPart(false);
    default:
      return randomPart(true);
  }
}

const std::vector<std::string>* DataGenerator::valuesOf(const std::string& table,
                                                        size_t column) const {
  for (size_t t = 0; t < shapes_.size(); ++t) {
    if (shapes_[t].name == table && column < values_[t].size()) return &values_[t][column];
  }
  return nullptr;
}

std::optional<DataSet> searchDifference(const Judge& judge, DataGenerator& generator,
                                        const SearchLimits& limits, size_t& tried) {
  while (tried < limits.maxTries && Clock::now() < limits.deadline) {
    DataSet data = generator.next();
    ++tried;
    if (judge.tellsApart(data)) return data;
  }
  return std::nullopt;
}

namespace {

class Shrinker {
 public:
  Shrinker(const Judge& judge, const DataSet& data, const DataGenerator& generator,
           Clock::time_point deadline)
      : judge_(judge),
        name_(data.name()),
        tables_(data.tables()),
        generator_(generator),
        deadline_(deadline) {}

  DataSet run() {
    dropRecords();
    simplifyValues();
    dropRecords();
    return DataSet(name_, tables_);
  }

 private:
  bool timeLeft() const { return Clock::now() < deadline_; }

  // Keeps candidate, in the form of the given data sets, in place of the tables when it still
  // tells the two apart.
  bool tryTables(std::vector<TableData>& candidate) {
    DataSet data = generator_.inForm(name_, std::move(candidate));
    if (!judge_.tellsApart(data)) return false;
    tables_ = data.tables();
    return true;
  }

  // Drops runs of records, halving their length down to one record, and then single records
  // until none can go.
  void dropRecords() {
    for (size_t t = 0; t < tables_.size(); ++t) {
      for (size_t run = tables_[t].records.size(); run >= 1 && timeLeft(); run /= 2) {
        for (size_t begin = 0; begin < tables_[t].records.size() && timeLeft();) {
          std::vector<TableData> candidate = tables_;
          auto& records = candidate[t].records;
          records.erase(
              records.begin() + static_cast<std::ptrdiff_t>(begin),
              records.begin() + static_cast<std::ptrdiff_t>(std::min(begin + run, records.size())));
          if (!tryTables(candidate)) begin += run;
        }
      }
    }
    for (bool dropped = true; dropped && timeLeft();) {
      dropped = false;
      for (size_t t = 0; t < tables_.size(); ++t) {
        for (size_t r = 0; r < tables_[t].records.size() && timeLeft();) {
          std::vector<TableData> candidate = tables_;
          candidate[t].records.erase(candidate[t].records.begin() + static_cast<std::ptrdiff_t>(r));
          if (tryTables(candidate)) {
            dropped = true;
          } else {
            ++r;
          }
        }
      }
    }
  }

  // Gives each value the simplest value of its column that keeps the two apart.
  void simplifyValues() {
    for (size_t t = 0; t < tables_.size(); ++t) {
      for (size_t r = 0; r < tables_[t].records.size(); ++r) {
        for (size_t c = 0; c < tables_[t].records[r].size() && timeLeft(); ++c) {
          const std::vector<std::string>* values = generator_.valuesOf(tables_[t].name, c);
          if (values == nullptr) continue;
          const std::string& current = tables_[t].records[r][c];
          const auto simpler = std::find(values->begin(), values->end(), current);
          for (auto value = values->begin(); value != simpler && timeLeft(); ++value) {
            std::vector<TableData> candidate = tables_;
            candidate[t].records[r][c] = *value;
            if (tryTables(candidate)) break;
          }
        }
      }
    }
  }

  const Judge& judge_;
  std::string name_;
  std::vector<TableData> tables_;
  const DataGenerator& generator_;
  Clock::time_point deadline_;
};

}  // namespace

DataSet shrink(const Judge& judge, const DataSet& data, const DataGenerator& generator,
               Clock::time_point deadline) {
  return Shrinker(judge, data, generator, deadline).run();
}

}  // namespace relalg
