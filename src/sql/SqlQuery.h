// SqlQuery writes the query of relalgtrace --sql over the nodes that an SqlRecorder kept: one WITH
// clause per node, in evaluation order, and a SELECT of the last node's rows in its order, which
// are relalgrun's records. Operands of union and minus that are sorted without repeats give the
// set union or difference; other operands give a recursive walk that takes the merge's steps.
#ifndef RELALG_SQL_SQLQUERY_H
#define RELALG_SQL_SQLQUERY_H

#include <string>

#include "sql/SqlRecorder.h"

namespace relalg {

class SqlQuery {
 public:
  explicit SqlQuery(const SqlRecorder& recorder)
      : tree_(recorder.tree()), nodes_(recorder.nodes()) {}

  // The query over the last node.
  std::string text();
  // Why the query cannot give exactly relalgrun's records; empty when it does.
  const std::string& inexactReason() const { return inexactReason_; }

 private:
  static std::string name(int index) { return "n" + std::to_string(index + 1); }
  const SqlNode& at(int index) const { return nodes_[static_cast<size_t>(index)]; }
  std::string clause(int index);
  std::string emptyClause(int index) const;
  std::string storedClause(int index) const;
  std::string selectClause(int index);
  std::string projectClause(int index) const;
  std::string productClause(int index) const;
  std::string mergeClause(int index);
  std::string condition(const SqlNode& operand, int condition);
  std::string comparison(const SqlNode& operand, LogType type, std::string_view a,
                         std::string_view b);

  const SyntaxTree& tree_;
  const std::vector<SqlNode>& nodes_;
  bool recursive_ = false;
  std::string inexactReason_;
};

}  // namespace relalg

#endif  // RELALG_SQL_SQLQUERY_H
