// SqlRecorder follows an evaluation for relalgtrace --sql and keeps what the SQL script needs of
// every evaluated expression node, taken when the node yields its table (a later rename may
// change the names of that very table), and the declarations of the stored tables it reads: a
// CREATE TABLE and one INSERT per record, with an ordinal column ord holding the record order,
// under names that the script makes (sql/SqlRecorder.cpp).
#ifndef RELALG_SQL_SQLRECORDER_H
#define RELALG_SQL_SQLRECORDER_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "evaluation/EvalObserver.h"
#include "storage/Column.h"

namespace relalg {

// What the translation needs of one evaluated node.
struct SqlNode {
  int node = 0;  // in the tree
  ExprType type = ExprType::kTable;
  std::vector<std::string> names;
  std::vector<Column::attr_type> types;
  std::string schema;  // the schema text, to tell whether two operands have the same schema
  size_t records = 0;
  bool ascendingDistinct = false;  // every record sorts strictly after the one before it
  std::string storedName;          // the SQL table of a stored table
  std::vector<int> operands;       // places in the list of nodes
};

class SqlRecorder : public EvalObserver {
 public:
  void expressionParsed(const std::shared_ptr<const SyntaxTree>& tree) override { tree_ = tree; }
  void evaluationStarted(const TableSet& catalogue) override { catalogue_ = &catalogue; }
  void nodeStarted(const SyntaxTree&, int) override {}
  void nodeFailed(const SyntaxTree&, int) override {}
  void nodeFinished(const SyntaxTree& tree, int node, const Table& table) override;

  const SyntaxTree& tree() const { return *tree_; }
  // The evaluated nodes in the order in which they yielded their tables.
  const std::vector<SqlNode>& nodes() const { return nodes_; }
  const std::string& declarations() const { return declarations_; }
  const std::string& inexactReason() const { return inexactReason_; }

 private:
  std::string declareStored(const Table& table, const std::string& key);
  void noteInexact(std::string reason) {
    if (inexactReason_.empty()) inexactReason_ = std::move(reason);
  }

  std::shared_ptr<const SyntaxTree> tree_;
  const TableSet* catalogue_ = nullptr;
  std::vector<SqlNode> nodes_;
  std::vector<int> unclaimed_;                       // nodes whose parent has not yet finished
  std::map<std::string, std::string> sqlNameOfKey_;  // the SQL table of each catalogue key
  std::set<std::string> usedNames_;                  // lowered SQL table names
  std::string declarations_;
  std::string inexactReason_;
};

}  // namespace relalg

#endif  // RELALG_SQL_SQLRECORDER_H
