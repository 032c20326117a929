// Counterexamples tell a submission from the reference expression: a data set on which the
// reference succeeds and the submission does not give its result. The generator proposes data
// sets of the exercise's tables that meet its constraints, smallest first (every one of a size
// while a size has few, random ones after that); the search prefers counterexamples that tell the
// slip's story (no part of the reference empty, the given data's values); the shrinker takes
// records and then value variety away from a data set that tells the two apart, while it still
// does and keeps what made it a good story, until no single record can go.
#ifndef RELALG_GRADING_COUNTEREXAMPLES_H
#define RELALG_GRADING_COUNTEREXAMPLES_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/CpuClock.h"
#include "grading/Constraints.h"
#include "grading/DataSet.h"
#include "grading/Outcome.h"
#include "language/SyntaxTree.h"

namespace relalg {

// The clock of the grader's budgets: processor time, so that a budget buys the same work however
// loaded the machine is.
using Clock = CpuClock;

// The time a number of seconds after start, on start's clock.
template <class TimePoint>
TimePoint after(TimePoint start, double seconds) {
  return start + std::chrono::duration_cast<typename TimePoint::duration>(
                     std::chrono::duration<double>(seconds));
}

class Judge {
 public:
  // The trees outlive the judge.
  Judge(const SyntaxTree& reference, const SyntaxTree& submission, CompareMode mode);

  // Whether data tells the two apart; the outcomes, when asked for, are filled in either way.
  bool tellsApart(const DataSet& data, Outcome* expected = nullptr, Outcome* got = nullptr) const;
  // The first part of the reference that is empty over data, in words ("boats is empty", "boats
  // holds no record where EQ(color, red)"), or empty when none is. The parts are the stored tables
  // it reads and its selects of one stored table: a counterexample where one is empty tells of
  // that corner, not of the slip.
  std::string emptyPart(const DataSet& data) const;
  CompareMode mode() const { return mode_; }

 private:
  const SyntaxTree& reference_;
  const SyntaxTree& submission_;
  CompareMode mode_;
  std::vector<bool> parts_;  // per node of the reference
};

class DataGenerator {
 public:
  // Data sets of the tables of given.front(), the exercise's own, with the values that each
  // column holds in the given data sets, in the order first met; with edgeValues also integer
  // and string boundary values and the constants of the expressions (and for an integer
  // constant its neighbours). Where the given tables are all sorted without repeats (union and
  // minus expect such operands), so are the generated ones.
  // Every data set it makes meets constraints, which the given data sets meet.
  DataGenerator(const std::vector<DataSet>& given, const Constraints& constraints,
                const std::vector<const SyntaxTree*>& expressions, bool edgeValues, uint64_t seed);

  // The next data set to try, or none when many tries made none that meets the constraints.
  std::optional<DataSet> next();
  // Whether data meets the exercise's constraints.
  bool admits(const DataSet& data) const { return constraints_.heldBy(data.tables()); }
  // Whether every value of data is one that its column holds in the given data sets.
  bool fromGiven(const DataSet& data) const;
  // A data set of these tables in the form of the given ones: when every table of every given
  // data set is sorted without repeats, sorted without repeats too.
  DataSet inForm(std::string name, std::vector<TableData> tables) const;
  // The values that a column of the table of that name may take, simplest first; null for a
  // table or column that the exercise lacks.
  const std::vector<std::string>* valuesOf(const std::string& table, size_t column) const;

 private:
  std::vector<TableData> exhaustive();
  std::vector<TableData> randomSmall();
  std::vector<TableData> randomPart(bool changeValues);
  std::vector<std::string> randomRecord(size_t table);
  // Moves to the next size whose data sets are few enough to try each, or to random ones.
  void startSize(size_t size);
  std::vector<std::string> decodeRecord(size_t table, uint64_t index) const;

  const std::vector<DataSet>& given_;
  const Constraints constraints_;  // a copy: callers pass {} for none
  std::vector<TableData> shapes_;  // the exercise's tables without records
  std::vector<std::vector<std::vector<std::string>>> values_;  // per table, per column
  std::vector<std::vector<size_t>> givenValues_;  // per table, per column: how many come first
  std::vector<uint64_t> recordChoices_;  // per table: how many different records it may hold
  uint64_t universe_ = 0;                // the sum of recordChoices_, or 0 when too many
  bool exhaustive_ = true;
  std::vector<uint64_t> combination_;  // the records of the next exhaustive data set
  size_t made_ = 0;                    // data sets handed out
  size_t candidates_ = 0;              // data sets made, some of which broke a constraint
  bool sorted_ = true;                 // every given table is sorted without repeats
  std::mt19937_64 random_;
};

struct SearchLimits {
  size_t maxTries;
  Clock::time_point deadline;
};

// Tries generated data sets until one tells the two apart, the tries run out or the deadline
// passes; tried counts the data sets tried. Where the first that tells them apart has an empty
// part or values that the given data sets lack, a few more tries look for one that has neither
// (or at least no empty part); the best found is returned.
std::optional<DataSet> searchDifference(const Judge& judge, DataGenerator& generator,
                                        const SearchLimits& limits, size_t& tried);

// Shrinks data, which tells the two apart and meets the constraints, to a data set that still
// does both: records are dropped, then values made simpler (earlier in values()), then records
// dropped again, until the deadline at the latest. Where data has no empty part, neither has the
// result. A teacher's data set (a given one) keeps its records as written: they are only
// dropped, first those whose dropping leaves the reference's result as it is. Unless the deadline
// cut it short, dropping any one record of the result makes it tell them apart no more, break a
// constraint or empty a part.
DataSet shrink(const Judge& judge, const DataSet& data, const DataGenerator& generator,
               Clock::time_point deadline, bool teachers = false);

}  // namespace relalg

#endif  // RELALG_GRADING_COUNTEREXAMPLES_H
