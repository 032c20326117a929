#include "sql/SqlRecorder.h"

#include <cctype>

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

// Declares a stored table once: CREATE TABLE and one INSERT per record. Names that are no plain
// identifier, or that another name of the script would shadow, give way to numbered ones.
std::string SqlRecorder::declareStored(const Table& table, const std::string& key) {
  if (auto known = sqlNameOfKey_.find(key); known != sqlNameOfKey_.end()) return known->second;
  std::string sqlName = key;
  const std::string low = lowered(key);
  const bool reserved = (low.size() > 1 && low[0] == 'n' && std::isdigit(low[1])) ||
                        low.starts_with("t_") || usedNames_.contains(low);
  if (!isPlainIdentifier(key) || reserved) sqlName = "t_" + std::to_string(stored_.size() + 1);
  usedNames_.insert(lowered(sqlName));
  sqlNameOfKey_[key] = sqlName;

  StoredTable stored{sqlName, {}};
  std::set<std::string> seen{"ord"};
  bool plain = true;
  for (const auto& column : table.columns()) {
    plain = plain && isPlainIdentifier(column->getName()) &&
            seen.insert(lowered(column->getName())).second;
  }
  for (size_t k = 0; k < table.columns().size(); ++k) {
    stored.columnNames.push_back(plain ? table.columns()[k]->getName() : sqlColumn(k));
  }

  std::string& out = declarations_;
  out += "-- the stored table " + commentText(key) + "\n";
  out += "CREATE TABLE " + quotedName(sqlName) + " (ord INTEGER NOT NULL";
  for (size_t k = 0; k < stored.columnNames.size(); ++k) {
    out += ", " + quotedName(stored.columnNames[k]) + " " + sqlType(table.columns()[k]->getType());
  }
  out += ");\n";
  const size_t records = static_cast<size_t>(table.recordCount());
  for (size_t row = 0; row < records; ++row) {
    out += "INSERT INTO " + quotedName(sqlName) + " VALUES (" + std::to_string(row + 1);
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
  stored_[sqlName] = std::move(stored);
  return sqlName;
}

}  // namespace relalg
