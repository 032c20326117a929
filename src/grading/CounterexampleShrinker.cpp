// The shrinker of Counterexamples: takes records and then value variety away from a data set that
// tells the reference and a submission apart, while it still does.
#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "grading/Counterexamples.h"

namespace relalg {

namespace {

class Shrinker {
 public:
  Shrinker(const Judge& judge, const DataSet& data, const DataGenerator& generator,
           Clock::time_point deadline)
      : judge_(judge),
        name_(data.name()),
        tables_(data.tables()),
        generator_(generator),
        deadline_(deadline),
        keepParts_(judge.emptyPart(data).empty()) {}

  // A teacher's data set keeps its records as written: they are only dropped, those that leave
  // the reference's result as it is first.
  DataSet run(bool teachers) {
    if (teachers) {
      judge_.tellsApart(DataSet(name_, tables_), &expected_);
      keepExpected_ = expected_.succeeded();
      dropRecords();
      keepExpected_ = false;
      dropRecords();
    } else {
      dropRecords();
      simplifyValues();
      dropRecords();
    }
    return DataSet(name_, tables_);
  }

 private:
  bool timeLeft() const { return Clock::now() < deadline_; }

  // Keeps candidate, in the form of the given data sets, in place of the tables when it still
  // tells the two apart, meets the constraints and empties no part that was not; while the
  // reference's result is kept, when that stays too.
  bool tryTables(std::vector<TableData>& candidate) {
    DataSet data = generator_.inForm(name_, std::move(candidate));
    Outcome expected;
    if (!generator_.admits(data) || !judge_.tellsApart(data, &expected)) return false;
    if (keepExpected_ && !sameResult(judge_.mode(), expected_, expected)) return false;
    if (keepParts_ && !judge_.emptyPart(data).empty()) return false;
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

  // Gives each value the simplest value of its column that keeps the two apart. A record made
  // equal to another is one record where the data sets are sorted without repeats: the records
  // are counted again after every change.
  void simplifyValues() {
    for (size_t t = 0; t < tables_.size(); ++t) {
      for (size_t r = 0; r < tables_[t].records.size(); ++r) {
        for (size_t c = 0;
             r < tables_[t].records.size() && c < tables_[t].records[r].size() && timeLeft(); ++c) {
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
  bool keepParts_;
  bool keepExpected_ = false;
  Outcome expected_;  // the reference's result on the data set as given
};

}  // namespace

DataSet shrink(const Judge& judge, const DataSet& data, const DataGenerator& generator,
               Clock::time_point deadline, bool teachers) {
  return Shrinker(judge, data, generator, deadline).run(teachers);
}

}  // namespace relalg
