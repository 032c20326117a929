// The constraints that an exercise declares on its databases, so that a verdict is one "on every
// database that meets them": a table that is never empty, a key (no two records agree on its
// columns), and a reference (every combination of values of some columns of a table occurs in as
// many columns of another). Given data sets must meet them; generated and shrunk data sets never
// break them.
//
// An exercise declares them on lines "-- requires: ..." (ExerciseFile.h), each holding one or more
// requirements separated by semicolons:
//   nonempty TABLE {, TABLE}
//   key TABLE(COLUMN {, COLUMN})
//   TABLE(COLUMN {, COLUMN}) references TABLE(COLUMN {, COLUMN})
// Names are the exercise's, case-sensitive; the columns of a reference pair up in order and are
// of one kind (int or string).
#ifndef RELALG_GRADING_CONSTRAINTS_H
#define RELALG_GRADING_CONSTRAINTS_H

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "grading/DataSet.h"

namespace relalg {

struct Constraint {
  enum class Kind { kNonEmpty, kKey, kReference };
  Kind kind;
  std::string table;
  std::vector<size_t> columns;  // places in the table's header line
  std::string target;           // kReference: the table referred to
  std::vector<size_t> targetColumns;
  std::string text;  // as the requirement is written, blanks made single
};

// Why a requirement cannot be read: what is wrong, in words.
struct ConstraintError {
  std::string what;
};

class Constraints {
 public:
  Constraints() = default;
  // Reads one "-- requires:" line's text against the exercise's tables; throws ConstraintError.
  void add(std::string_view declaration, const DataSet& exercise);

  bool empty() const { return list_.empty(); }
  const std::vector<Constraint>& list() const { return list_; }

  // Where tables break the first constraint that they break, in words ("boats is empty"), and
  // that constraint's text in requirement when asked for; empty when they meet every one.
  std::string breach(const std::vector<TableData>& tables,
                     std::string* requirement = nullptr) const;
  bool heldBy(const std::vector<TableData>& tables) const;

  // Changes tables towards meeting the constraints, drawing the records it adds from
  // newRecord(table's place): an empty table that must not be gets a record, values that refer
  // to nothing take those of a record referred to, or such a record is added, and of records that
  // agree on a key the first stays. It may fall short: heldBy() tells.
  template <class NewRecord>
  void repair(std::vector<TableData>& tables, NewRecord newRecord, std::mt19937_64& random) const;

 private:
  struct Breach {
    const Constraint* constraint = nullptr;
    size_t table = 0;   // the place in tables
    size_t record = 0;  // the record that breaks it (for a key, the later of two)
    size_t other = 0;   // for a key, the earlier record it agrees with
  };
  Breach firstBreach(const std::vector<TableData>& tables) const;
  // Mends breach: with fresh, a new record of the table it concerns (for a reference, the
  // table referred to), or else from the record referred to at place pick.
  void repairOne(std::vector<TableData>& tables, const Breach& breach,
                 std::vector<std::string> fresh, uint64_t pick) const;

  std::vector<Constraint> list_;
};

// The place of the table of that name in tables, or tables.size().
size_t tablePlace(const std::vector<TableData>& tables, std::string_view name);

template <class NewRecord>
void Constraints::repair(std::vector<TableData>& tables, NewRecord newRecord,
                         std::mt19937_64& random) const {
  // A repair can break what an earlier one mended: some rounds, then heldBy() decides.
  for (size_t round = 0; round < 16 + 4 * list_.size(); ++round) {
    const Breach breach = firstBreach(tables);
    if (breach.constraint == nullptr) return;
    const bool reference = breach.constraint->kind == Constraint::Kind::kReference;
    const size_t table = reference ? tablePlace(tables, breach.constraint->target) : breach.table;
    const bool fresh = breach.constraint->kind == Constraint::Kind::kNonEmpty ||
                       (reference && (tables[table].records.empty() || random() % 2 == 0));
    repairOne(tables, breach, fresh ? newRecord(table) : std::vector<std::string>(), random());
  }
}

}  // namespace relalg

#endif  // RELALG_GRADING_CONSTRAINTS_H
