// TableSet is the catalogue of one run: it reads the table blocks of the input, holds every table
// under the name it had when it was read, evaluates the expression over them and keeps the
// result. The catalogue owns its tables and the result; a name is never re-keyed, even when a
// rename changes the table's own name. Its reading and lookup are in TableSet.cpp, its
// evaluation beside the walk over the tree (Evaluation.cpp). During an evaluation, threads may
// use the stored tables at once for different names.
#ifndef RELALG_EVALUATION_TABLESET_H
#define RELALG_EVALUATION_TABLESET_H

#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "evaluation/EvalObserver.h"
#include "evaluation/TableHandle.h"
#include "language/SyntaxTree.h"
#include "storage/Table.h"
#include "storage/TableBlocks.h"

namespace relalg {

class InputSource;

class TableSet {
 public:
  // Reads the lines of the input below the expression line: an empty line announces a header
  // line, the lines after a header line are its table's records. The first of two tables of
  // one name is the one catalogued. Throws AdbException for a rejected line.
  explicit TableSet(std::string_view lines);
  // The same for the lines of source from offset begin on, the first of them line firstLine;
  // an observer, when given, is shown the plan of the blocks before they are read, and hashes,
  // when given, get every byte that the plan reads.
  TableSet(const InputSource& source, size_t begin, size_t firstLine = 2,
           EvalObserver* observer = nullptr, ReadHashes* hashes = nullptr);
  TableSet(const TableSet&) = delete;
  TableSet& operator=(const TableSet&) = delete;

  // Returns the catalogued table of exactly that name; throws AdbException when there is none.
  Table* getTableByName(std::string_view name) const;

  // Evaluates the expression, r_eval of its whole tree, and keeps its table as the result; returns
  // true. A failed evaluation leaves no result, also none of an earlier evaluation.
  bool evaluate(std::string expression);
  void evaluate(const SyntaxTree& tree);
  // The table that an expression text denotes.
  TableHandle r_eval(std::string text);
  // The table of node of tree.
  TableHandle r_eval(const SyntaxTree& tree, int node);
  // Writes the result table's text; throws AdbException when there is no result.
  void write_result(std::ostream* out) const;

  Table* result() const { return resultTable_.get(); }
  // The name under which table is catalogued, or null for a table not catalogued.
  const std::string* keyOf(const Table* table) const;
  // The names under which tables are catalogued, in byte order.
  std::vector<std::string> tableNames() const;
  // The same names in the order of the input's blocks.
  const std::vector<const std::string*>& tableNamesAsRead() const { return namesAsRead_; }
  // Attaches an observer to later evaluations (null detaches it); the caller keeps it alive.
  void setObserver(EvalObserver* observer) { observer_ = observer; }
  EvalObserver* observer() const { return observer_; }

  // Lets the following evaluations without an observer take the tables that they reach only
  // once, so that operators may change them in place or release them as soon as they are used.
  // Such a table is gone from the catalogue once evaluated (its name stays, with no table): for
  // a run that evaluates one expression and then only writes the result.
  void releaseTablesAsUsed() { releaseTablesAsUsed_ = true; }
  // The stored table of that name: taken out of the catalogue when the evaluation at work
  // reaches it only once and mayTake allows it, else borrowed. Throws AdbException when there
  // is no table of that name.
  TableHandle useTable(std::string_view name, bool mayTake);
  // Releases the table of that name when the evaluation at work reaches it only once, it is still
  // stored and it is neither kept1 nor kept2: for a table borrowed where it could not be taken.
  // No other thread may use the catalogue meanwhile.
  void releaseIfReachedOnce(std::string_view name, const Table* kept1, const Table* kept2);

 private:
  // Chooses the tables that an evaluation of tree may take.
  void findTablesReachedOnce(const SyntaxTree& tree);

  EvalObserver* observer_ = nullptr;
  bool releaseTablesAsUsed_ = false;
  // The names of the tables that the evaluation at work may take; fixed while it runs.
  std::set<std::string, std::less<>> reachedOnce_;
  TableHandle resultTable_;
  std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
  std::vector<const std::string*> namesAsRead_;  // keys of tables_
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_TABLESET_H
