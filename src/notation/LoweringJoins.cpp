// The binary textbook operators of Lowering: products and joins, division, and the set
// operators, each lowered to core forms that give its set on every database of the schemas.
#include <algorithm>
#include <cassert>

#include "notation/Lowering.h"

namespace relalg {

// The product, with the columns that both operands name alike qualified by their first
// qualifier (R.a, S.a).
Lowering::Relation Lowering::product(int id, Relation left, Relation right, bool user) {
  checkOperand(id, left);
  checkOperand(id, right);
  const std::vector<std::string> leftNames = namesOf(left.columns);
  const std::vector<std::string> rightNames = namesOf(right.columns);
  Relation made;
  made.core = core_.binary(CoreKind::kProduct, left.core, right.core, origin(id, user));
  made.columns = std::move(left.columns);
  made.columns.insert(made.columns.end(), right.columns.begin(), right.columns.end());
  bool renamed = false;
  for (NotationColumn& column : made.columns) {
    const bool clash =
        std::find(leftNames.begin(), leftNames.end(), column.name) != leftNames.end() &&
        std::find(rightNames.begin(), rightNames.end(), column.name) != rightNames.end();
    if (!clash) continue;
    if (column.qualifiers.empty()) {
      failAtOperator(id, MessageId::kNotationClash, {op(id), column.name});
    }
    column.name = column.qualifiers.front() + "." + column.shortName;
    renamed = true;
  }
  std::vector<std::string> names = namesOf(made.columns);
  std::sort(names.begin(), names.end());
  if (const auto twice = std::adjacent_find(names.begin(), names.end()); twice != names.end()) {
    failAtOperator(id, MessageId::kNotationClash, {op(id), *twice});
  }
  if (renamed) {
    made.core =
        core_.rename(made.core, scaffoldTable(), pieces(made.columns, id), origin(id, false));
    for (const NotationColumn& column : made.columns) taken_.insert(column.name);
  }
  made.tableName = scaffoldTable().text;
  made.set = left.set && right.set;
  made.notation = true;
  return made;
}

// The pairs of columns (left, right) that share a name, of one kind each.
std::vector<std::pair<std::string, std::string>> Lowering::commonColumns(int id,
                                                                         const Relation& left,
                                                                         const Relation& right) {
  std::vector<std::pair<std::string, std::string>> common;
  for (const NotationColumn& column : left.columns) {
    for (const NotationColumn& other : right.columns) {
      if (other.name != column.name) continue;
      if (other.integer != column.integer) {
        const NotationColumn& number = column.integer ? column : other;
        const NotationColumn& text = column.integer ? other : column;
        failAtOperator(id, MessageId::kNotationTypesDiffer,
                       {op(id), display(number), display(text)});
      }
      common.emplace_back(column.name, other.name);
    }
  }
  return common;
}

// AND of EQ(left[k], right[k]) for every k.
int Lowering::matchAll(int id, const std::vector<std::string>& left,
                       const std::vector<std::string>& right) {
  assert(!left.empty() && left.size() == right.size());
  int test = -1;
  for (size_t k = left.size(); k-- > 0;) {
    const int equal = core_.compare(LogType::kEq, {left[k], Origin{}, false},
                                    {right[k], Origin{}, false}, origin(id, false));
    test = test < 0 ? equal : core_.binary(CoreKind::kAnd, equal, test, origin(id, false));
  }
  return test;
}

Lowering::Relation Lowering::naturalJoin(int id, Relation left, Relation right) {
  checkOperand(id, left);
  checkOperand(id, right);
  const auto common = commonColumns(id, left, right);
  if (common.empty()) return product(id, std::move(left), std::move(right), true);
  std::vector<std::string> names = namesOf(left.columns);
  std::vector<std::string> leftKeys;
  std::vector<std::string> rightKeys;
  Relation made;
  made.columns = left.columns;
  for (const NotationColumn& column : right.columns) {
    const auto match = std::find_if(common.begin(), common.end(),
                                    [&](const auto& pair) { return pair.second == column.name; });
    if (match == common.end()) {
      names.push_back(column.name);
      made.columns.push_back(column);
      continue;
    }
    leftKeys.push_back(match->first);
    rightKeys.push_back(freshName(column));
    names.push_back(rightKeys.back());
    for (NotationColumn& kept : made.columns) {
      if (kept.name != match->first) continue;
      kept.qualifiers.insert(kept.qualifiers.end(), column.qualifiers.begin(),
                             column.qualifiers.end());
    }
  }
  int core = core_.binary(CoreKind::kProduct, left.core, right.core, origin(id, false));
  core = core_.rename(core, scaffoldTable(), pieces(names, id), origin(id, false));
  core = core_.select(core, matchAll(id, leftKeys, rightKeys), origin(id, false));
  made.core = core_.project(core, pieces(made.columns, id), origin(id, true));
  made.tableName = scaffoldTable().text;
  made.set = true;
  made.notation = true;
  return made;
}

// The records of left that match a record of right on their common columns (all of left's
// records when there is none in common and right has records).
Lowering::Relation Lowering::semijoin(int id, Relation left, const Relation& right, bool user) {
  checkOperand(id, left);
  checkOperand(id, right);
  const auto common = commonColumns(id, left, right);
  int core;
  if (common.empty()) {
    core = core_.binary(CoreKind::kProduct, left.core, right.core, origin(id, false));
  } else {
    std::vector<std::string> leftKeys;
    std::vector<std::string> rightKeys;
    std::vector<std::string> keys;
    std::vector<std::string> names = namesOf(left.columns);
    for (const auto& pair : common) {
      const std::string& rightName = pair.second;
      const auto column = std::find_if(right.columns.begin(), right.columns.end(),
                                       [&](const auto& c) { return c.name == rightName; });
      leftKeys.push_back(pair.first);
      keys.push_back(rightName);
      rightKeys.push_back(freshName(*column));
      names.push_back(rightKeys.back());
    }
    const int keysOnly = right.set && keys == namesOf(right.columns)
                             ? right.core
                             : core_.project(right.core, pieces(keys, id), origin(id, false));
    core = core_.binary(CoreKind::kProduct, left.core, keysOnly, origin(id, false));
    core = core_.rename(core, scaffoldTable(), pieces(names, id), origin(id, false));
    core = core_.select(core, matchAll(id, leftKeys, rightKeys), origin(id, false));
  }
  left.core = core_.project(core, pieces(left.columns, id), origin(id, user));
  left.tableName = scaffoldTable().text;
  left.set = true;
  left.notation = true;
  left.stored.clear();
  left.aliasSteps.clear();
  return left;
}

Lowering::Relation Lowering::antijoin(int id, Relation left, const Relation& right) {
  Relation matched = semijoin(id, left, right, false);
  makeSet(left, id);
  left.core = core_.binary(CoreKind::kMinus, left.core, matched.core, origin(id, true));
  left.notation = true;
  return left;
}

// The records of left that equal a record of right, column by column in order, as a set with
// left's schema: through a product and a selection, which ignore widths.
int Lowering::pairUp(int id, const Relation& left, const Relation& right, bool user) {
  std::vector<std::string> names = namesOf(left.columns);
  std::vector<std::string> rightKeys;
  for (const NotationColumn& column : right.columns) rightKeys.push_back(freshName(column));
  names.insert(names.end(), rightKeys.begin(), rightKeys.end());
  int core = core_.binary(CoreKind::kProduct, left.core, right.core, origin(id, false));
  core = core_.rename(core, scaffoldTable(), pieces(names, id), origin(id, false));
  core = core_.select(core, matchAll(id, namesOf(left.columns), rightKeys), origin(id, false));
  return core_.project(core, pieces(left.columns, id), origin(id, user));
}

// R ÷ S = π_A(R) − π_A((π_A(R) × S) − R), A the columns of R that S has not; the inner
// difference goes through a product where the widths of S differ from those of R.
Lowering::Relation Lowering::divide(int id, Relation left, const Relation& right) {
  checkOperand(id, left);
  checkOperand(id, right);
  bool widthsAgree = true;
  std::vector<NotationColumn> kept;
  for (const NotationColumn& column : right.columns) {
    const auto match = std::find_if(left.columns.begin(), left.columns.end(),
                                    [&](const auto& c) { return c.name == column.name; });
    if (match == left.columns.end()) {
      failAtOperator(id, MessageId::kNotationNotInDividend, {display(column)});
    }
    if (match->integer != column.integer) {
      failAtOperator(id, MessageId::kNotationTypesDiffer,
                     {op(id), display(match->integer ? *match : column),
                      display(match->integer ? column : *match)});
    }
    widthsAgree = widthsAgree && match->width == column.width;
  }
  for (const NotationColumn& column : left.columns) {
    const bool divided = std::any_of(right.columns.begin(), right.columns.end(),
                                     [&](const auto& c) { return c.name == column.name; });
    if (!divided) kept.push_back(column);
  }
  if (kept.empty()) failAtOperator(id, MessageId::kNotationNothingLeft, {});
  const Origin scaffold = origin(id, false);
  const int quotients = core_.project(left.core, pieces(kept, id), scaffold);
  // Every quotient with every divisor record, in left's column order.
  Relation candidates = left;
  candidates.core = core_.binary(CoreKind::kProduct, quotients, right.core, scaffold);
  std::vector<std::string> productOrder = namesOf(kept);
  for (const NotationColumn& column : right.columns) productOrder.push_back(column.name);
  if (!right.set || productOrder != namesOf(left.columns)) {
    candidates.core = core_.project(candidates.core, pieces(left.columns, id), scaffold);
  }
  for (NotationColumn& column : candidates.columns) {
    const auto match = std::find_if(right.columns.begin(), right.columns.end(),
                                    [&](const auto& c) { return c.name == column.name; });
    if (match != right.columns.end()) column.width = match->width;
  }
  int missing;
  if (widthsAgree) {
    Relation dividend = left;
    makeSet(dividend, id);
    missing = core_.binary(CoreKind::kMinus, candidates.core, dividend.core, scaffold);
  } else {
    missing = core_.binary(CoreKind::kMinus, candidates.core, pairUp(id, candidates, left, false),
                           scaffold);
  }
  Relation made;
  made.columns = kept;
  made.core = core_.binary(CoreKind::kMinus, quotients,
                           core_.project(missing, pieces(kept, id), scaffold), origin(id, true));
  made.tableName = scaffoldTable().text;
  made.set = true;
  made.notation = true;
  return made;
}

// ∪, − and ∩: the columns pair up in order, the result takes the left's names.
Lowering::Relation Lowering::setOperation(int id, Relation left, Relation right) {
  checkOperand(id, left);
  checkOperand(id, right);
  const NodeKind kind = program_.node(id).kind;
  if (left.columns.size() != right.columns.size()) {
    failAtOperator(
        id, MessageId::kNotationColumnCounts,
        {op(id), std::to_string(left.columns.size()), std::to_string(right.columns.size())});
  }
  bool widthsAgree = true;
  for (size_t k = 0; k < left.columns.size(); ++k) {
    const NotationColumn& a = left.columns[k];
    const NotationColumn& b = right.columns[k];
    if (a.integer != b.integer) {
      failAtOperator(id, MessageId::kNotationTypesDiffer,
                     {op(id), display(a.integer ? a : b), display(a.integer ? b : a)});
    }
    if (a.width == b.width) continue;
    if (kind == NodeKind::kUnion) {
      failAtOperator(
          id, MessageId::kNotationWidthsDiffer,
          {op(id), display(a) + " char(" + a.width + ")", display(b) + " char(" + b.width + ")"});
    }
    widthsAgree = false;
  }
  Relation made = left;
  made.tableName = scaffoldTable().text;
  made.set = true;
  made.notation = true;
  made.stored.clear();
  made.aliasSteps.clear();
  if (!widthsAgree && kind == NodeKind::kIntersect) {
    made.core = pairUp(id, left, right, true);
    return made;
  }
  makeSet(left, id);
  made.core = left.core;
  if (!widthsAgree) {
    made.core =
        core_.binary(CoreKind::kMinus, left.core, pairUp(id, left, right, false), origin(id, true));
    return made;
  }
  makeSet(right, id);
  const std::vector<std::string> names = namesOf(left.columns);
  if (namesOf(right.columns) != names) {
    right.core = core_.rename(right.core, scaffoldTable(), pieces(names, id), origin(id, false));
  }
  if (kind == NodeKind::kIntersect) {
    // L ∩ R = A − (A − B), repeating the shorter operand as A.
    const bool leftShorter = core_.size(made.core) <= core_.size(right.core);
    const int repeated = leftShorter ? made.core : right.core;
    const int other = leftShorter ? right.core : made.core;
    made.core = core_.binary(CoreKind::kMinus, repeated,
                             core_.binary(CoreKind::kMinus, repeated, other, origin(id, false)),
                             origin(id, true));
    return made;
  }
  made.core = core_.binary(kind == NodeKind::kUnion ? CoreKind::kUnion : CoreKind::kMinus,
                           made.core, right.core, origin(id, true));
  return made;
}

}  // namespace relalg
