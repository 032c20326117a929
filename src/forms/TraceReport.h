// TraceReport writes the trace of one run for relalgtrace: an EvalObserver that describes every
// node of the expression when it yields its table, and the failure of a run in the words that
// relalgrun prints, with an English explanation. Entries come in evaluation order, so a node's
// operands come before the node itself and the whole expression comes last; each entry is
// indented by its node's depth. The report borrows the catalogue and the stream it writes to;
// it keeps no table, and it never throws on its own account.
//
// An entry of a node that yielded a table:
//   <text>
//     <kind>: <count> records, <name><schema>
//     <notes on renaming, if any>
//     | <record>                  (at most the limit)
//     | ... and <k> more
// An entry of a failure:
//   <text of the failing node, or "reading the input file">
//     failed; relalgrun prints:
//       <each line that relalgrun writes to standard error>
//     meaning: <explanation>
#ifndef RELALG_FORMS_TRACEREPORT_H
#define RELALG_FORMS_TRACEREPORT_H

#include <cstddef>
#include <iosfwd>
#include <set>
#include <string>
#include <string_view>

#include "evaluation/EvalObserver.h"
#include "forms/NodeSources.h"
#include "language/Keywords.h"

namespace relalg {

struct RunOutcome;
class Table;
class TableSet;

// A one-line English explanation of a failure message as relalgrun prints it below
// "Hiba tortent: ", or of "Ismeretlen hiba".
std::string_view explainFailure(std::string_view message);

// The explanation of the failure of a run, or nothing for a run that succeeded.
std::string_view failureMeaning(const RunOutcome& outcome);

// A node text as traces show it: whole up to 200 bytes, else its first 160 bytes (less the bytes
// of a character that the cut would split) and its length.
std::string shortenedText(std::string_view text);

class TraceReport : public EvalObserver {
 public:
  // Shows at most limit records of each table; 0 shows the counts only.
  TraceReport(std::ostream& out, size_t limit) : out_(out), limit_(limit) {}

  void evaluationStarted(const TableSet& catalogue) override;
  void nodeStarted(const SyntaxTree& tree, int node) override;
  void nodeFinished(const SyntaxTree& tree, int node, const Table& table) override;
  void nodeFailed(const SyntaxTree& tree, int node) override;

  // Writes the failure entry of a run that failed: under the node that failed, or under "reading
  // the input file" when no node did.
  void reportFailure(const RunOutcome& outcome);

  // Where the line's nodes come from, when a front end wrote it: a renaming that is scaffolding
  // gets no note, since no one wrote it. The sources must outlive the report.
  void setSources(const NodeSources* sources) { sources_ = sources; }

 private:
  void writeHeading(std::string_view text, int depth);
  void writeRecords(const Table& table, const std::string& indent);
  void writeRenameNote(const SyntaxTree& tree, int node, const Table& table,
                       const std::string& indent);

  std::ostream& out_;
  size_t limit_;
  const TableSet* catalogue_ = nullptr;  // during an evaluation
  const NodeSources* sources_ = nullptr;
  // Catalogued tables that a rename of this run has changed.
  std::set<const Table*> renamed_;
  bool nodeHasFailed_ = false;
  std::string failedText_;  // the failing node's text as the heading shows it
  int failedDepth_ = 0;
};

}  // namespace relalg

#endif  // RELALG_FORMS_TRACEREPORT_H
