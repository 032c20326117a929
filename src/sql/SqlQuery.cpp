#include "sql/SqlQuery.h"

#include <string_view>
#include <vector>

#include "language/StringTokenizer.h"
#include "sql/SqlText.h"

namespace relalg {

std::string SqlQuery::text() {
  std::string clauses;
  for (size_t k = 0; k < nodes_.size(); ++k) {
    const SqlNode& node = nodes_[k];
    clauses += k == 0 ? "  " : ",\n  ";
    clauses +=
        "-- " + name(static_cast<int>(k)) + ": " + commentText(tree_.rawText(node.node)) + "\n  ";
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

std::string SqlQuery::clause(int index) {
  const SqlNode& node = at(index);
  // An operand without columns has no records, nor has the node then (a rename aside, whose
  // operand is the node's own table).
  for (size_t k = 0; k < node.operands.size(); ++k) {
    const bool counts =
        node.type == ExprType::kProduct || (k == 0 && node.type != ExprType::kRename);
    if (counts && at(node.operands[k]).names.empty()) {
      return emptyClause(index);
    }
  }
  switch (node.type) {
    case ExprType::kTable:
      return storedClause(index);
    case ExprType::kUnion:
    case ExprType::kMinus:
      return mergeClause(index);
    case ExprType::kProduct:
      return productClause(index);
    case ExprType::kProject:
      return node.names.empty() ? emptyClause(index) : projectClause(index);
    case ExprType::kRename:  // the same records; only the names that relalgrun shows change
      return clauseHead(name(index), node.names.size()) + " AS (SELECT * FROM " +
             name(node.operands[0]) + ")";
    case ExprType::kSelect:
      break;
  }
  return selectClause(index);
}

// A node without records for certain: an operand without columns has none.
std::string SqlQuery::emptyClause(int index) const {
  const SqlNode& node = at(index);
  std::string out = clauseHead(name(index), node.names.size()) + " AS (SELECT 0";
  for (Column::attr_type type : node.types) out += ", CAST(NULL AS " + sqlType(type) + ")";
  return out + " WHERE 1 = 0)";
}

std::string SqlQuery::storedClause(int index) const {
  const SqlNode& node = at(index);
  const size_t width = node.names.size();
  return clauseHead(name(index), width) + " AS (SELECT ord" +
         (width > 0 ? ", " + columnList(width) : "") + " FROM " + node.storedName + ")";
}

std::string SqlQuery::selectClause(int index) {
  const SqlNode& node = at(index);
  const SqlNode& operand = at(node.operands[0]);
  const size_t width = node.names.size();
  std::string test = "1 = 0";
  if (operand.records > 0) test = condition(operand, tree_.operand(node.node, 1));
  std::string out = clauseHead(name(index), width) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY o)";
  if (width > 0) out += ", " + columnList(width);
  return out + " FROM " + name(node.operands[0]) + " WHERE " + test + ")";
}

// The condition as an SQL expression over the operand's columns, written from the condition's
// nodes in the order of its text with a stack of pending nodes and closing texts. A part that
// cannot be translated (a faulty part, two constants, columns of different kinds) would have
// failed the run had any record reached it; since the run succeeded, no record did, and any
// value serves.
std::string SqlQuery::condition(const SqlNode& operand, int condition) {
  struct Pending {
    int node;               // a node to write, or kNoNode
    std::string_view text;  // else a text to write
  };
  std::string out;
  std::vector<Pending> pending{{condition, {}}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    if (next.node == SyntaxTree::kNoNode) {
      out += next.text;
      continue;
    }
    const int node = next.node;
    const LogType type = tree_.logType(node);
    if (tree_.fault(node) != SyntaxTree::Fault::kNone || type == LogType::kUnknown) {
      out += "1 = 0";
    } else if (isComparison(type)) {
      out += comparison(operand, type, tree_.text(tree_.operand(node, 0)),
                        tree_.text(tree_.operand(node, 1)));
    } else if (type == LogType::kNot) {
      out += "NOT (";
      pending.push_back({SyntaxTree::kNoNode, ")"});
      pending.push_back({tree_.operand(node, 0), {}});
    } else {
      out += "(";
      pending.push_back({SyntaxTree::kNoNode, ")"});
      pending.push_back({tree_.operand(node, 1), {}});
      pending.push_back({SyntaxTree::kNoNode, type == LogType::kAnd ? " AND " : " OR "});
      pending.push_back({tree_.operand(node, 0), {}});
    }
  }
  return out;
}

std::string SqlQuery::comparison(const SqlNode& operand, LogType type, std::string_view a,
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
  const Column::attr_type kind =
      operand.types[static_cast<size_t>(columnA >= 0 ? columnA : columnB)];
  if (columnA >= 0 && columnB >= 0 && operand.types[static_cast<size_t>(columnB)] != kind) {
    return "1 = 0";
  }
  auto operandSql = [&](int columnIndex, std::string_view text) {
    if (columnIndex >= 0) return sqlColumn(static_cast<size_t>(columnIndex));
    if (kind == Column::INTEGER) return std::to_string(atoiValue(text));
    if (text.find('\0') != std::string_view::npos && inexactReason_.empty()) {
      inexactReason_ = "a constant of a condition holds a NUL byte, which no SQL string carries";
    }
    return stringLiteral(text);
  };
  static constexpr std::string_view kOperators[] = {"=", "<>", "<", "<=", ">", ">="};
  return operandSql(columnA, a) + " " + std::string(kOperators[static_cast<size_t>(type)]) + " " +
         operandSql(columnB, b);
}

std::string SqlQuery::projectClause(int index) const {
  const SqlNode& node = at(index);
  const SqlNode& operand = at(node.operands[0]);
  const std::string_view list = tree_.text(tree_.operand(node.node, 1));
  std::string chosen;
  size_t k = 0;
  for (StringTokenizer tokens(list); tokens.hasMoreTokens(); ++k) {
    const std::string_view token = tokens.nextToken();
    size_t found = 0;
    while (operand.names[found] != token) ++found;
    if (k > 0) chosen += ", ";
    chosen += sqlColumn(found);
    chosen += " AS ";
    chosen += sqlColumn(k);
  }
  const size_t width = node.names.size();
  return clauseHead(name(index), width) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY " +
         columnList(width) + "), " + columnList(width) + " FROM (SELECT DISTINCT " + chosen +
         " FROM " + name(node.operands[0]) + ") AS d)";
}

std::string SqlQuery::productClause(int index) const {
  const SqlNode& node = at(index);
  const size_t leftWidth = at(node.operands[0]).names.size();
  const size_t rightWidth = at(node.operands[1]).names.size();
  const std::string columns = columnList(leftWidth, "l") + ", " + columnList(rightWidth, "r");
  return clauseHead(name(index), node.names.size()) + " AS (SELECT ROW_NUMBER() OVER (ORDER BY " +
         columns + "), " + columns + " FROM " + name(node.operands[0]) + " AS l CROSS JOIN " +
         name(node.operands[1]) + " AS r)";
}

// union and minus. Operands of the same schema that are sorted without repeats: the set union
// or difference, sorted. Other operands of the same schema: a walk over both operands' ordinals
// that takes the merge's steps one by one. Operands of different schemas: the run succeeded, so
// the merge copied the left operand (or nothing, when it is empty).
std::string SqlQuery::mergeClause(int index) {
  const SqlNode& node = at(index);
  const bool isUnion = node.type == ExprType::kUnion;
  const SqlNode& left = at(node.operands[0]);
  const SqlNode& right = at(node.operands[1]);
  const std::string leftName = name(node.operands[0]);
  const std::string rightName = name(node.operands[1]);
  const size_t width = node.names.size();
  const std::string columns = columnList(width);
  const std::string head = clauseHead(name(index), width);
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
                           recordBefore(width) + " THEN -1 WHEN " + recordsEqual(width) +
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

}  // namespace relalg
