#include "sql/SqlRecorder.h"

#include "evaluation/RecordOrder.h"
#include "evaluation/TableSet.h"
#include "sql/SqlText.h"
#include "storage/Table.h"

namespace relalg {

void SqlRecorder::nodeFinished(const SyntaxTree& tree, int node, const Table& table) {
  SqlNode recorded;
  recorded.node = node;
  recorded.type = tree.exprType(node);
  recorded.schema = table.fingerPrint();
  recorded.records = static_cast<size_t>(table.recordCount());
  for (const auto& column : table.columns()) {
    recorded.names.push_back(column->getName());
    recorded.types.push_back(column->getType());
  }
  const RecordOrder order(columnHandles(table.columns()));
  recorded.ascendingDistinct = true;
  for (size_t k = 1; k < recorded.records && recorded.ascendingDistinct; ++k) {
    recorded.ascendingDistinct = order.compareRecord(k - 1, k) < 0;
  }
  const size_t operandCount = recorded.type == ExprType::kTable ? 0
                              : takesTwoTables(recorded.type)   ? 2
                                                                : 1;
  recorded.operands.assign(unclaimed_.end() - static_cast<std::ptrdiff_t>(operandCount),
                           unclaimed_.end());
  unclaimed_.resize(unclaimed_.size() - operandCount);
  if (recorded.type == ExprType::kTable) {
    const std::string* key = catalogue_ != nullptr ? catalogue_->keyOf(&table) : nullptr;
    recorded.storedName = declareStored(table, key != nullptr ? *key : table.getName());
  }
  unclaimed_.push_back(static_cast<int>(nodes_.size()));
  nodes_.push_back(std::move(recorded));
}

// Declares a stored table once: CREATE TABLE and one INSERT per record. No name of the input
// reaches the database: a table is t_ and its name (t_ and a number where that is no plain name
// or another table's in some case), its columns are c1, c2, ... after the ordinal column ord, and
// a comment gives the names. So no name resolves to an object of the database's own, whatever
// names its catalogue and its system columns have (pg_authid, sqlite_master, ctid, rowid).
std::string SqlRecorder::declareStored(const Table& table, const std::string& key) {
  if (auto known = sqlNameOfKey_.find(key); known != sqlNameOfKey_.end()) return known->second;
  std::string sqlName = "t_" + key;
  if (!isPlainIdentifier(key) || !isPlainIdentifier(sqlName) ||
      usedNames_.contains(lowered(sqlName))) {
    sqlName = "t_" + std::to_string(sqlNameOfKey_.size() + 1);
  }
  usedNames_.insert(lowered(sqlName));
  sqlNameOfKey_[key] = sqlName;

  std::string& out = declarations_;
  out += "-- the stored table " + commentText(key) + "(";
  for (size_t k = 0; k < table.columns().size(); ++k) {
    out += (k > 0 ? ", " : "") + commentText(table.columns()[k]->getName());
  }
  out += ")\nCREATE TABLE " + sqlName + " (ord INTEGER NOT NULL";
  for (size_t k = 0; k < table.columns().size(); ++k) {
    out += ", " + sqlColumn(k) + " " + sqlType(table.columns()[k]->getType());
  }
  out += ");\n";
  const size_t records = static_cast<size_t>(table.recordCount());
  for (size_t row = 0; row < records; ++row) {
    out += "INSERT INTO " + sqlName + " VALUES (" + std::to_string(row + 1);
    for (const auto& column : table.columns()) {
      out += ", ";
      if (column->getType() == Column::INTEGER) {
        out += std::to_string(asInts(*column).getVal(row));
      } else {
        const std::string_view value = asStrings(*column).getVal(row);
        if (value.find('\0') != std::string_view::npos) {
          noteInexact("a value of table " + commentText(key) +
                      " holds a NUL byte, which no SQL string carries; the script cuts it there");
        }
        out += stringLiteral(value);
      }
    }
    out += ");\n";
  }
  return sqlName;
}

}  // namespace relalg
