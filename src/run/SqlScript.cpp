#include "run/SqlScript.h"

#include <cctype>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/AdbException.h"
#include "evaluation/EvalObserver.h"
#include "evaluation/RecordOrder.h"
#include "evaluation/TableSet.h"
#include "language/RelAlgExpr.h"
#include "language/StringTokenizer.h"
#include "storage/Table.h"

namespace relalg {

namespace {

// Node texts longer than this are shortened in the script's comments.
constexpr size_t kCommentLength = 100;

// What the translation needs of one evaluated node, taken when the node yields its table (a later
// rename may change the names of that very table).
struct Node {
  int kind = kTable;
  std::string text;
  std::vector<std::string> names;
  std::vector<Column::attr_type> types;
  std::string schema;  // the schema text, to tell whether two operands have the same schema
  size_t records = 0;
  bool ascendingDistinct = false;  // every record sorts strictly after the one before it
  std::string storedName;          // the SQL table of a stored table
  std::vector<int> operands;
};

// A stored table as the script creates it.
struct StoredTable {
  std::string sqlName;
  std::vector<std::string> columnNames;  // SQL names, in column order
};

bool isPlainIdentifier(std::string_view name) {
  if (name.empty() || name.size() > 63) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

std::string lowered(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string quotedName(std::string_view name) { return "\"" + std::string(name) + "\""; }

// A string constant of SQL: the bytes up to the first NUL byte (which no SQL literal carries),
// apostrophes doubled.
std::string stringLiteral(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\0') break;
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string commentText(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, kCommentLength)) {
    out += (c == '\0' || c == '\r' || c == '\n') ? '?' : c;
  }
  if (text.size() > kCommentLength) out += " ...";
  return out;
}

std::string sqlType(Column::attr_type type) { return type == Column::INTEGER ? "INTEGER" : "TEXT"; }

std::string column(size_t k) { return "c" + std::to_string(k + 1); }

// "prefix.c1, prefix.c2, ..." for count columns, from the first column offset on.
std::string columnList(size_t count, std::string_view prefix = {}, size_t offset = 0) {
  std::string out;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) out += ", ";
    if (!prefix.empty()) out += std::string(prefix) + ".";
    out += column(offset + k);
  }
  return out;
}

// "prefix.c1 AS c1, prefix.c2 AS c2, ...".
std::string aliasedList(size_t count, std::string_view prefix) {
  std::string out;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) out += ", ";
    out += prefix;
    out += ".";
    out += column(k);
    out += " AS ";
    out += column(k);
  }
  return out;
}

// "name(o, c1, c2, ...)": the head of a clause of width columns.
std::string header(const std::string& name, size_t width) {
  return name + "(o" + (width == 0 ? "" : ", " + columnList(width)) + ")";
}

// Follows the evaluation and keeps every node and the stored tables it reads.
class Recorder : public EvalObserver {
 public:
  void evaluationStarted(const TableSet& catalogue) override { catalogue_ = &catalogue; }
  void nodeStarted(std::string_view, int) override {}
  void nodeFailed(std::string_view, int) override {}
  void nodeFinished(std::string_view text, int depth, int kind, const Table& table) override;

  const std::vector<Node>& nodes() const { return nodes_; }
  const std::string& declarations() const { return declarations_; }
  const std::string& inexactReason() const { return inexactReason_; }
  const StoredTable& stored(const std::string& sqlName) const { return stored_.at(sqlName); }

 private:
  std::string declareStored(const Table& table, const std::string& key);
  void noteInexact(std::string reason) {
    if (inexactReason_.empty()) inexactReason_ = std::move(reason);
  }

  const TableSet* catalogue_ = nullptr;
  std::vector<Node> nodes_;
  std::vector<int> unclaimed_;  // nodes whose parent has not yet finished
  std::map<std::string, std::string> sqlNameOfKey_;
  std::map<std::string, StoredTable> stored_;  // by SQL name
  std::set<std::string> usedNames_;            // lowered SQL table names
  std::string declarations_;
  std::string inexactReason_;
};

void Recorder::nodeFinished(std::string_view text, int /*depth*/, int kind, const Table& table) {
  Node node;
  node.kind = kind;
  node.text = text;
  node.schema = table.fingerPrint();
  node.records = static_cast<size_t>(table.recordCount());
  for (const auto& column : table.columns()) {
    node.names.push_back(column->name());
    node.types.push_back(column->getType());
  }
  const RecordOrder order(columnHandles(table.columns()));
  node.ascendingDistinct = true;
  for (size_t k = 1; k < node.records && node.ascendingDistinct; ++k) {
    node.ascendingDistinct = order.compare(k - 1, k) < 0;
  }
  const size_t operandCount = kind == kTable ? 0 : (kind <= kProduct ? 2 : 1);
  node.operands.assign(unclaimed_.end() - static_cast<std::ptrdiff_t>(operandCount),
                       unclaimed_.end());
  unclaimed_.resize(unclaimed_.size() - operandCount);
  if (kind == kTable) {
    const std::string* key = catalogue_ != nullptr ? catalogue_->catalogueKeyOf(&table) : nullptr;
    node.storedName = declareStored(table, key != nullptr ? *key : table.name());
  }
  unclaimed_.push_back(static_cast<int>(nodes_.size()));
  nodes_.push_back(std::move(node));
}

// Declares a stored table once: CREATE TABLE and one INSERT per record. Names that are no plain
// identifier, or that another name of the script would shadow, give way to numbered ones.
std::string Recorder::declareStored(const Table& table, const std::string& key) {
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
    plain =
        plain && isPlainIdentifier(column->name()) && seen.insert(lowered(column->name())).second;
  }
  for (size_t k = 0; k < table.columns().size(); ++k) {
    stored.columnNames.push_back(plain ? table.columns()[k]->name() : column(k));
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
        out += std::to_string(asInts(*column).value(row));
      } else {
        const std::string_view value = asStrings(*column).view(row);
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

// Builds the WITH clauses of the recorded nodes.
class QueryWriter {
 public:
  explicit QueryWriter(const Recorder& recorder) : recorder_(recorder), nodes_(recorder.nodes()) {}

  // The query over the last node; notes whether a clause is recursive.
  std::string query();
  const std::string& inexactReason() const { return inexactReason_; }

 private:
  static std::string name(int index) { return "n" + std::to_string(index + 1); }
  std::string clause(int index);
  std::string emptyClause(int index) const;
  std::string storedClause(const Node& node) const;
  std::string selectClause(int index);
  std::string projectClause(int index) const;
  std::string productClause(int index) const;
  std::string mergeClause(int index);
  std::string condition(const Node& operand, const ExprSource& text);
  std::string comparison(const Node& operand, int code, std::string_view a, std::string_view b);

  const Recorder& recorder_;
  const std::vector<Node>& nodes_;
  bool recursive_ = false;
  std::string inexactReason_;
};

std::string QueryWriter::query() {
  std::string clauses;
  for (size_t k = 0; k < nodes_.size(); ++k) {
    const Node& node = nodes_[k];
    clauses += k == 0 ? "  " : ",\n  ";
    clauses += "-- " + name(static_cast<int>(k)) + ": " + commentText(node.text) + "\n  ";
    clauses += clause(static_cast<int>(k));
  }
  const int last = static_cast<int>(nodes_.size()) - 1;
  const size_t width = nodes_.back().names.size();
  std::string out = recursive_ ? "WITH RECURSIVE\n" : "WITH\n";
  out += clauses + "\n";
  out += "SELECT " + (width == 0 ? std::string("o") : columnList(width)) + " FROM " + name(last) +
         " ORDER BY o;\n";
  return out;
}

std::string QueryWriter::clause(int index) {
  const Node& node = nodes_[static_cast<size_t>(index)];
  // An operand without columns has no records, nor has the node then (a rename aside, whose
  // operand is the node's own table).
  for (size_t k = 0; k < node.operands.size(); ++k) {
    const bool counts = node.kind == kProduct || (k == 0 && node.kind != kRename);
    if (counts && nodes_[static_cast<size_t>(node.operands[k])].names.empty()) {
      return emptyClause(index);
    }
  }
  switch (node.kind) {
    case kTable:
      return storedClause(node);
    case kUnion:
    case kMinus:
      return mergeClause(index);
    case kProduct:
      return productClause(index);
    case kProject:
      return node.names.empty() ? emptyClause(index) : projectClause(index);
    case kRename:  // the same records; only the names that relalgrun shows change
      return header(name(index), node.names.size()) + " AS (SELECT * FROM " +
             name(node.operands[0]) + ")";
    default:
      return selectClause(index);
  }
}

// A node without records for certain: an operand without columns has none.
std::string QueryWriter::emptyClause(int index) const {
  const Node& node = nodes_[static_cast<size_t>(index)];
  std::string out = header(name(index), node.names.size()) + " AS (SELECT 0";
  for (Column::attr_type type : node.types) out += ", CAST(NULL AS " + sqlType(type) + ")";
  return out + " WHERE 1 = 0)";
}

std::string QueryWriter::storedClause(const Node& node) const {
  const StoredTable& stored = recorder_.stored(node.storedName);
  std::string out =
      header(name(static_cast<int>(&node - nodes_.data())), node.names.size()) + " AS (SELECT ord";
  for (const std::string& column : stored.columnNames) out += ", " + quotedName(column);
  return out + " FROM " + quotedName(stored.sqlName) + ")";
}

std::string QueryWriter::selectClause(int index) {
  const Node& node = nodes_[static_cast<size_t>(index)];
  const Node& operand = nodes_[static_cast<size_t>(node.operands[0])];
  const size_t width = node.names.size();
  std::string test = "1 = 0";
  if (operand.records > 0) test = condition(operand, RelAlgExpr(node.text).rightSource());
  std::string out = header(name(index), width) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY o)";
  if (width > 0) out += ", " + columnList(width);
  return out + " FROM " + name(node.operands[0]) + " WHERE " + test + ")";
}

// The condition as an SQL expression over the operand's columns. A part that cannot be
// translated (a malformed part, two constants, columns of different kinds) would have failed the
// run had any record reached it; since the run succeeded, no record did, and any value serves.
std::string QueryWriter::condition(const Node& operand, const ExprSource& text) {
  try {
    RelAlgExpr expr(text);
    const ExprSource left = expr.leftSource();
    const ExprSource right = expr.rightSource();
    const int code = expr.getLogType();
    if (isComparison(code)) return comparison(operand, code, left.view(), right.view());
    switch (code) {
      case kAnd:
        return "(" + condition(operand, left) + " AND " + condition(operand, right) + ")";
      case kOr:
        return "(" + condition(operand, left) + " OR " + condition(operand, right) + ")";
      case kNot:
        return "NOT (" + condition(operand, left) + ")";
      default:
        return "1 = 0";
    }
  } catch (const AdbException&) {
    return "1 = 0";
  } catch (const std::out_of_range&) {
    return "1 = 0";
  }
}

std::string QueryWriter::comparison(const Node& operand, int code, std::string_view a,
                                    std::string_view b) {
  auto find = [&](std::string_view text) -> int {
    for (size_t k = 0; k < operand.names.size(); ++k) {
      if (operand.names[k] == text) return static_cast<int>(k);
    }
    return -1;
  };
  const int columnA = find(a);
  const int columnB = find(b);
  if (columnA < 0 && columnB < 0) return "1 = 0";
  // The kind of the comparison is the kind of its column (of either, when both are columns).
  const Column::attr_type type =
      operand.types[static_cast<size_t>(columnA >= 0 ? columnA : columnB)];
  if (columnA >= 0 && columnB >= 0 && operand.types[static_cast<size_t>(columnB)] != type) {
    return "1 = 0";
  }
  auto operandSql = [&](int columnIndex, std::string_view text) {
    if (columnIndex >= 0) return column(static_cast<size_t>(columnIndex));
    if (type == Column::INTEGER) return std::to_string(atoiValue(text));
    if (text.find('\0') != std::string_view::npos && inexactReason_.empty()) {
      inexactReason_ = "a constant of a condition holds a NUL byte, which no SQL string carries";
    }
    return stringLiteral(text);
  };
  static constexpr std::string_view kOperators[] = {"=", "<>", "<", "<=", ">", ">="};
  return operandSql(columnA, a) + " " + std::string(kOperators[code]) + " " +
         operandSql(columnB, b);
}

std::string QueryWriter::projectClause(int index) const {
  const Node& node = nodes_[static_cast<size_t>(index)];
  const Node& operand = nodes_[static_cast<size_t>(node.operands[0])];
  const std::string list = RelAlgExpr(node.text).extractRight();
  std::string chosen;
  size_t k = 0;
  for (StringTokenizer tokens(list); tokens.hasMoreTokens(); ++k) {
    const std::string_view token = tokens.nextView();
    size_t found = 0;
    while (operand.names[found] != token) ++found;
    if (k > 0) chosen += ", ";
    chosen += column(found);
    chosen += " AS ";
    chosen += column(k);
  }
  const size_t width = node.names.size();
  return header(name(index), width) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY " +
         columnList(width) + "), " + columnList(width) + " FROM (SELECT DISTINCT " + chosen +
         " FROM " + name(node.operands[0]) + ") AS d)";
}

std::string QueryWriter::productClause(int index) const {
  const Node& node = nodes_[static_cast<size_t>(index)];
  const size_t leftWidth = nodes_[static_cast<size_t>(node.operands[0])].names.size();
  const size_t rightWidth = nodes_[static_cast<size_t>(node.operands[1])].names.size();
  const std::string columns = columnList(leftWidth, "l") + ", " + columnList(rightWidth, "r");
  return header(name(index), node.names.size()) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY " +
         columns + "), " + columns + " FROM " + name(node.operands[0]) + " AS l CROSS JOIN " +
         name(node.operands[1]) + " AS r)";
}

// "l.c1 < r.c1 OR (l.c1 = r.c1 AND (...))": left record before right record.
std::string lessThan(size_t width, size_t k = 0) {
  const std::string l = "l." + column(k);
  const std::string r = "r." + column(k);
  if (k + 1 == width) return l + " < " + r;
  return "(" + l + " < " + r + " OR (" + l + " = " + r + " AND " + lessThan(width, k + 1) + "))";
}

std::string equalTo(size_t width) {
  std::string out;
  for (size_t k = 0; k < width; ++k) {
    if (k > 0) out += " AND ";
    out += "l.";
    out += column(k);
    out += " = r.";
    out += column(k);
  }
  return out;
}

// union and minus. Operands of the same schema that are sorted without repeats: the set union
// or difference, sorted. Other operands of the same schema: a walk over both operands' ordinals
// that takes the merge's steps one by one. Operands of different schemas: the run succeeded, so
// the merge copied the left operand (or nothing, when it is empty).
std::string QueryWriter::mergeClause(int index) {
  const Node& node = nodes_[static_cast<size_t>(index)];
  const bool isUnion = node.kind == kUnion;
  const Node& left = nodes_[static_cast<size_t>(node.operands[0])];
  const Node& right = nodes_[static_cast<size_t>(node.operands[1])];
  const std::string leftName = name(node.operands[0]);
  const std::string rightName = name(node.operands[1]);
  const size_t width = node.names.size();
  const std::string columns = columnList(width);
  const std::string head = header(name(index), width);
  if (left.schema != right.schema || left.types != right.types) {
    return head + " AS (SELECT * FROM " + leftName + ")";
  }
  if (left.ascendingDistinct && right.ascendingDistinct) {
    return head + " AS (SELECT ROW_NUMBER() OVER (ORDER BY " + columns + "), " + columns +
           " FROM (SELECT " + columns + " FROM " + leftName + (isUnion ? " UNION " : " EXCEPT ") +
           "SELECT " + columns + " FROM " + rightName + ") AS m)";
  }
  recursive_ = true;
  // Each row of the walk is one step of the merge: k counts the steps, j and i are the ordinals of
  // the left and right records at hand, s the sign of the step (-1 takes the left record, 1
  // passes or takes the right one, 0 both), null once the merge has ended.
  const std::string sign = std::string(isUnion ? "CASE WHEN l.o IS NULL AND r.o IS NULL THEN NULL"
                                               : "CASE WHEN l.o IS NULL THEN NULL") +
                           " WHEN r.o IS NULL THEN -1 WHEN l.o IS NULL THEN 1 WHEN " +
                           lessThan(width) + " THEN -1 WHEN " + equalTo(width) +
                           " THEN 0 ELSE 1 END";
  const std::string walk = name(index) + "_walk";
  const std::string nextJ = "w.j + CASE WHEN w.s <= 0 THEN 1 ELSE 0 END";
  const std::string nextI = "w.i + CASE WHEN w.s >= 0 THEN 1 ELSE 0 END";
  std::string out = walk + "(k, j, i, s) AS (\n";
  out += "    SELECT 1, 1, 1, " + sign + "\n";
  out += "    FROM (SELECT 1 AS one) AS start LEFT JOIN " + leftName +
         " AS l ON l.o = 1 LEFT JOIN " + rightName + " AS r ON r.o = 1\n";
  out += "    UNION ALL\n";
  out += "    SELECT w.k + 1, " + nextJ + ", " + nextI + ",\n      " + sign + "\n";
  out += "    FROM " + walk + " AS w LEFT JOIN " + leftName + " AS l ON l.o = " + nextJ +
         "\n      LEFT JOIN " + rightName + " AS r ON r.o = " + nextI + "\n";
  out += "    WHERE w.s IS NOT NULL),\n  ";
  out += head + " AS (SELECT ROW_NUMBER() OVER (ORDER BY k), " + columns + " FROM (\n";
  out += "    SELECT w.k AS k, " + aliasedList(width, "l") + " FROM " + walk + " AS w JOIN " +
         leftName + " AS l ON l.o = w.j WHERE w.s " + (isUnion ? "<= 0" : "< 0");
  if (isUnion) {
    out += "\n    UNION ALL\n    SELECT w.k, " + columnList(width, "r") + " FROM " + walk +
           " AS w JOIN " + rightName + " AS r ON r.o = w.i WHERE w.s > 0";
  }
  return out + ") AS s)";
}

}  // namespace

SqlScript sqlScript(const std::function<std::string()>& readInput) {
  Recorder recorder;
  SqlScript result;
  result.outcome = runSequence(readInput, nullptr, &recorder);
  if (result.outcome.status != RunOutcome::kSuccess) return result;
  QueryWriter writer(recorder);
  const std::string query = writer.query();
  result.inexactReason =
      !recorder.inexactReason().empty() ? recorder.inexactReason() : writer.inexactReason();
  if (!result.inexactReason.empty()) result.script = "-- inexact: " + result.inexactReason + "\n";
  result.script +=
      "-- The result of relalgrun, record by record: run in sqlite3 with\n"
      "-- .mode list and .separator , to see its record lines.\n";
  result.script += recorder.declarations();
  result.script += query;
  return result;
}

}  // namespace relalg
