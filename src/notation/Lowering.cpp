#include "notation/Lowering.h"

#include <algorithm>
#include <cassert>

#include "base/Messages.h"
#include "files/LineReader.h"
#include "language/SyntaxTree.h"
#include "notation/NotationError.h"
#include "storage/HeaderLine.h"

namespace relalg {

namespace {

constexpr std::string_view kScaffoldTable = "result";

bool isKeyword(std::string_view word) {
  constexpr std::string_view kWords[] = {"sigma",  "pi",        "rho",     "cross",    "union",
                                         "minus",  "intersect", "join",    "semijoin", "antijoin",
                                         "divide", "product",   "project", "rename",   "select"};
  return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords);
}

}  // namespace

// The core language counts brackets also inside apostrophes.
bool Lowering::bracketsPair(std::string_view text) {
  int depth = 0;
  for (char c : text) {
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (depth < 0) return false;
  }
  return depth == 0;
}

std::vector<std::string> namesOf(const std::vector<NotationColumn>& columns) {
  std::vector<std::string> names;
  names.reserve(columns.size());
  for (const NotationColumn& column : columns) names.push_back(column.name);
  return names;
}

CorePiece Lowering::scaffoldTable() { return {std::string(kScaffoldTable), Origin{}, false}; }

StoredSchemas readStoredSchemas(std::string_view blocks) {
  StoredSchemas tables;
  LineReader lines(blocks);
  bool headerExpected = false;
  for (std::string_view line; lines.next(line);) {
    if (line.empty()) {
      headerExpected = true;
      continue;
    }
    if (headerExpected) {
      const HeaderLine header(line);
      if (header.named() && tables.find(header.name) == tables.end()) {
        std::vector<NotationColumn> columns;
        for (const HeaderLine::Column& column : header.columns) {
          columns.push_back({std::string(column.name),
                             std::string(column.name),
                             column.integer,
                             std::string(column.width),
                             {std::string(header.name)}});
        }
        tables.emplace(std::string(header.name), std::move(columns));
      }
    }
    headerExpected = false;
  }
  return tables;
}

Lowering::Lowering(const NotationProgram& program, const StoredSchemas& tables)
    : program_(program), tables_(tables) {
  // Fresh names clash with no word of the program and no name of the tables.
  for (int id = 0; id < program_.size(); ++id) {
    const NotationNode& node = program_.node(id);
    if (node.kind == NodeKind::kName) taken_.emplace(op(id));
    for (uint32_t k = 0; k < node.wordCount; ++k) {
      taken_.emplace(program_.wordText(program_.word(node, k)));
    }
  }
  for (const auto& [name, columns] : tables_) {
    taken_.insert(name);
    for (const NotationColumn& column : columns) taken_.insert(column.name);
  }
}

Origin Lowering::origin(int id, bool user) const {
  const NotationNode& node = program_.node(id);
  return {id, node.begin, node.end, user};
}

Origin Lowering::wordOrigin(int id, const NotationWord& word) const {
  return {id, word.begin, word.end, true};
}

void Lowering::failAtOperator(int id, MessageId what,
                              std::initializer_list<std::string_view> args) const {
  const NotationNode& node = program_.node(id);
  throw NotationError(node.opBegin, node.opEnd, message(what, args));
}

int Lowering::lower() {
  const std::vector<Statement>& statements = program_.statements();
  if (statements.empty()) throw NotationError(0, 1, message(MessageId::kNotationEmpty));
  int query = -1;
  for (statement_ = 0; statement_ < statements.size(); ++statement_) {
    const Statement& statement = statements[statement_];
    checkStatement(statement_);
    Relation relation = lowerExpression(statement.root);
    const std::string limit = std::to_string(kCoreLimit);
    if (statement.nameEnd == statement.nameBegin) {
      if (relation.notation) makeSet(relation, statement.root);
      if (core_.size(relation.core) > kCoreLimit) {
        throw NotationError(statement.begin, statement.begin + 1,
                            message(MessageId::kNotationQueryTooLong, {limit}));
      }
      query = relation.core;
      continue;
    }
    const std::string_view name = program_.nameText(statement);
    if (core_.size(relation.core) > kCoreLimit) {
      throw NotationError(statement.nameBegin, statement.nameEnd,
                          message(MessageId::kNotationStepTooLong, {name, limit}));
    }
    for (NotationColumn& column : relation.columns) {
      column.qualifiers.insert(column.qualifiers.begin(), std::string(name));
    }
    stepIndex_.emplace(std::string(name), static_cast<int>(steps_.size()));
    steps_.push_back({std::string(name), program_.lineOf(statement.nameBegin), relation, 0});
  }
  const Statement& last = statements.back();
  if (last.nameEnd != last.nameBegin) {
    throw NotationError(last.nameBegin, last.nameEnd,
                        message(MessageId::kNotationNoQuery, {program_.nameText(last)}));
  }
  checkInPlaceRenames();
  return query;
}

void Lowering::checkStatement(size_t index) {
  const Statement& statement = program_.statements()[index];
  if (statement.nameEnd == statement.nameBegin) {
    if (index + 1 < program_.statements().size()) {
      const NotationNode& root = program_.node(statement.root);
      throw NotationError(root.begin, root.end, message(MessageId::kNotationQueryNotLast));
    }
    return;
  }
  const std::string_view name = program_.nameText(statement);
  auto fail = [&](MessageId id, std::initializer_list<std::string_view> args) {
    throw NotationError(statement.nameBegin, statement.nameEnd, message(id, args));
  };
  if (isKeyword(name)) fail(MessageId::kNotationStepIsKeyword, {name});
  if (tables_.find(name) != tables_.end()) fail(MessageId::kNotationStepIsTable, {name});
  if (const auto earlier = stepIndex_.find(name); earlier != stepIndex_.end()) {
    fail(MessageId::kNotationStepTwice,
         {name, std::to_string(steps_[static_cast<size_t>(earlier->second)].line)});
  }
}

Lowering::Relation Lowering::lowerExpression(int root) {
  struct Item {
    int node;
    bool expanded;
  };
  std::vector<Item> stack{{root, false}};
  std::vector<Relation> values;
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const NotationNode& node = program_.node(item.node);
    if (!item.expanded) {
      stack.push_back({item.node, true});
      for (int k = 1; k >= 0; --k) {
        if (node.operands[k] >= 0) stack.push_back({node.operands[k], false});
      }
      continue;
    }
    Relation made = combine(item.node, values);
    values.push_back(std::move(made));
  }
  assert(values.size() == 1);
  return std::move(values.back());
}

Lowering::Relation Lowering::combine(int id, std::vector<Relation>& values) {
  const NotationNode& node = program_.node(id);
  auto take = [&] {
    Relation relation = std::move(values.back());
    values.pop_back();
    return relation;
  };
  if (node.kind == NodeKind::kName) return name(id);
  if (node.operands[1] < 0) {
    Relation operand = take();
    switch (node.kind) {
      case NodeKind::kSelect:
        return select(id, std::move(operand));
      case NodeKind::kProject:
        return project(id, std::move(operand));
      case NodeKind::kRename:
        return rename(id, std::move(operand));
      default:
        return coreParameterForm(id, std::move(operand));
    }
  }
  Relation right = take();
  Relation left = take();
  switch (node.kind) {
    case NodeKind::kCross:
      return product(id, std::move(left), std::move(right), true);
    case NodeKind::kJoin: {
      if (node.condition < 0) return naturalJoin(id, std::move(left), std::move(right));
      Relation joined = product(id, std::move(left), std::move(right), false);
      joined.core = core_.select(joined.core, condition(node.condition, joined.columns, id),
                                 origin(id, true));
      return joined;
    }
    case NodeKind::kSemijoin:
      return semijoin(id, std::move(left), right, true);
    case NodeKind::kAntijoin:
      return antijoin(id, std::move(left), right);
    case NodeKind::kDivide:
      return divide(id, std::move(left), right);
    case NodeKind::kUnion:
    case NodeKind::kMinus:
    case NodeKind::kIntersect:
      return setOperation(id, std::move(left), std::move(right));
    default:
      return coreForm(id, std::move(left), std::move(right));
  }
}

// A table, or a step defined above.
Lowering::Relation Lowering::name(int id) {
  const std::string_view text = op(id);
  if (const auto step = stepIndex_.find(text); step != stepIndex_.end()) {
    Step& defined = steps_[static_cast<size_t>(step->second)];
    ++defined.uses;
    Relation relation = defined.relation;
    if (!relation.stored.empty()) relation.aliasSteps.push_back(step->second);
    return relation;
  }
  if (const auto table = tables_.find(text); table != tables_.end()) {
    ++tableMentions_[table->first];
    Relation relation;
    relation.core = core_.table({std::string(text), Origin{}}, origin(id, true));
    relation.columns = table->second;
    relation.tableName = std::string(text);
    relation.stored = std::string(text);
    return relation;
  }
  const std::vector<Statement>& statements = program_.statements();
  for (size_t k = statement_; k < statements.size(); ++k) {
    if (statements[k].nameEnd != statements[k].nameBegin &&
        program_.nameText(statements[k]) == text) {
      failAtOperator(id, MessageId::kNotationUsedEarly,
                     {text, std::to_string(program_.lineOf(statements[k].nameBegin))});
    }
  }
  failAtOperator(id, MessageId::kNotationUnknownName, {text});
}

void Lowering::checkOperand(int id, const Relation& relation) {
  if (relation.columns.empty()) failAtOperator(id, MessageId::kNotationNoColumns, {op(id)});
  for (const NotationColumn& column : relation.columns) {
    const std::string_view name = column.name;
    const bool carried = std::count(name.begin(), name.end(), '\'') % 2 == 0 &&
                         name.find(',') == std::string_view::npos && bracketsPair(name);
    if (!carried) failAtOperator(id, MessageId::kNotationUnwritableColumn, {op(id), name});
  }
  std::vector<std::string> names = namesOf(relation.columns);
  std::sort(names.begin(), names.end());
  const auto twice = std::adjacent_find(names.begin(), names.end());
  if (twice != names.end()) {
    failAtOperator(id, MessageId::kNotationDuplicateColumn, {op(id), *twice});
  }
}

// A sorting projection onto every column, unless the records are known sorted without repeats.
// The projection is a new table, so it is also the copy that a renaming needs.
void Lowering::makeSet(Relation& relation, int at) {
  if (relation.set) return;
  relation.core = core_.project(relation.core, pieces(relation.columns, at), origin(at, false));
  relation.set = true;
  relation.stored.clear();
  relation.aliasSteps.clear();
  relation.tableName = kScaffoldTable;
}

std::vector<CorePiece> Lowering::pieces(const std::vector<NotationColumn>& columns,
                                        int origin) const {
  return pieces(namesOf(columns), origin);
}

std::vector<CorePiece> Lowering::pieces(const std::vector<std::string>& names, int) const {
  std::vector<CorePiece> made;
  made.reserve(names.size());
  for (const std::string& name : names) made.push_back({name, Origin{}, false});
  return made;
}

std::string Lowering::display(const NotationColumn& column) const {
  if (column.qualifiers.empty() || column.name != column.shortName) return column.name;
  return column.qualifiers.front() + "." + column.name;
}

std::string Lowering::columnList(const std::vector<NotationColumn>& columns) const {
  std::string list;
  for (const NotationColumn& column : columns) {
    if (!list.empty()) list += ", ";
    list += column.name;
  }
  return list;
}

std::string Lowering::freshName(const NotationColumn& column) {
  for (size_t k = 1;; ++k) {
    std::string name = column.shortName + "_" + std::to_string(k);
    if (taken_.insert(name).second) {
      fresh_.emplace_back(name, display(column));
      return name;
    }
  }
}

int Lowering::resolve(int owner, const NotationWord& word,
                      const std::vector<NotationColumn>& columns, bool mustExist) {
  const std::string_view text = program_.wordText(word);
  auto fail = [&](MessageId id, std::initializer_list<std::string_view> args) {
    throw NotationError(word.begin, word.end, message(id, args));
  };
  auto pick = [&](auto fits) {
    int found = -1;
    std::string candidates;
    for (size_t k = 0; k < columns.size(); ++k) {
      if (!fits(columns[k])) continue;
      candidates += (candidates.empty() ? "" : ", ") + display(columns[k]);
      if (found >= 0) found = -2;
      if (found == -1) found = static_cast<int>(k);
    }
    if (found == -2) fail(MessageId::kNotationAmbiguousColumn, {text, op(owner), candidates});
    return found;
  };
  int found = pick([&](const NotationColumn& column) { return column.name == text; });
  if (found >= 0 || text.starts_with('\'')) {
    if (found < 0 && mustExist) {
      fail(MessageId::kNotationUnknownColumn, {text, op(owner), columnList(columns)});
    }
    return found;
  }
  const size_t dot = text.find('.');
  bool qualifierKnown = false;
  if (dot != std::string_view::npos && dot > 0) {
    const std::string_view qualifier = text.substr(0, dot);
    const std::string_view name = text.substr(dot + 1);
    found = pick([&](const NotationColumn& column) {
      const bool qualified = std::find(column.qualifiers.begin(), column.qualifiers.end(),
                                       qualifier) != column.qualifiers.end();
      qualifierKnown = qualifierKnown || qualified;
      return qualified && column.shortName == name;
    });
  } else {
    found = pick([&](const NotationColumn& column) { return column.shortName == text; });
  }
  if (found < 0 && (mustExist || qualifierKnown)) {
    fail(MessageId::kNotationUnknownColumn, {text, op(owner), columnList(columns)});
  }
  return found;
}

void Lowering::checkInPlaceRenames() const {
  for (const InPlaceRename& rename : inPlace_) {
    bool alone = tableMentions_.at(rename.table) == 1;
    for (int step : rename.steps) alone = alone && steps_[static_cast<size_t>(step)].uses == 1;
    if (!alone) {
      failAtOperator(rename.node, MessageId::kNotationRenamesStored, {rename.table, rename.table});
    }
  }
}

}  // namespace relalg
