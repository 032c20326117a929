// The unary textbook operators of Lowering (σ, π, ρ), the core forms written inside a program,
// and conditions, each lowered to core forms over the schema of its operand.
#include <algorithm>

#include "base/Messages.h"
#include "language/StringTokenizer.h"
#include "language/SyntaxTree.h"
#include "notation/Lowering.h"
#include "notation/NotationError.h"

namespace relalg {

namespace {

bool distinct(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) == names.end();
}

}  // namespace

Lowering::Relation Lowering::select(int id, Relation operand) {
  checkOperand(id, operand);
  const int test = condition(program_.node(id).condition, operand.columns, id);
  operand.core = core_.select(operand.core, test, origin(id, true));
  operand.stored.clear();
  operand.aliasSteps.clear();
  operand.notation = true;
  return operand;
}

Lowering::Relation Lowering::project(int id, Relation operand) {
  checkOperand(id, operand);
  const NotationNode& node = program_.node(id);
  std::vector<NotationColumn> picked;
  std::vector<CorePiece> names;
  std::vector<int> chosen;
  for (uint32_t k = 0; k < node.wordCount; ++k) {
    const NotationWord& word = program_.word(node, k);
    const int column = resolve(id, word, operand.columns, true);
    if (std::find(chosen.begin(), chosen.end(), column) != chosen.end()) {
      throw NotationError(word.begin, word.end,
                          message(MessageId::kNotationListedTwice, {program_.wordText(word)}));
    }
    chosen.push_back(column);
    picked.push_back(operand.columns[static_cast<size_t>(column)]);
    names.push_back({picked.back().name, wordOrigin(id, word)});
  }
  // A join's own projection gives way to this one, which picks from the same columns.
  int source = operand.core;
  const NodeKind below = program_.node(node.operands[0]).kind;
  const bool joined =
      below == NodeKind::kJoin || below == NodeKind::kSemijoin || below == NodeKind::kIntersect;
  if (joined && core_.kind(source) == CoreKind::kProject && !core_.listed(source)) {
    source = core_.operand(source, 0);
  }
  Relation made;
  made.core = core_.project(source, std::move(names), origin(id, true));
  made.columns = std::move(picked);
  made.tableName = scaffoldTable().text;
  made.set = true;
  made.notation = true;
  // The names a reader expects: without the qualifiers that a clash added, where they differ.
  std::vector<std::string> shortNames;
  for (const NotationColumn& column : made.columns) shortNames.push_back(column.shortName);
  if (shortNames != namesOf(made.columns) && distinct(shortNames)) {
    made.core = core_.rename(made.core, scaffoldTable(), pieces(shortNames, id), origin(id, false));
    for (NotationColumn& column : made.columns) column.name = column.shortName;
  }
  return made;
}

Lowering::Relation Lowering::rename(int id, Relation operand) {
  checkOperand(id, operand);
  if (!operand.stored.empty()) makeSet(operand, id);
  const NotationNode& node = program_.node(id);
  const NotationWord& first = program_.word(node, 0);
  std::vector<std::string> names = namesOf(operand.columns);
  std::vector<const NotationWord*> from(names.size(), nullptr);
  CorePiece table{operand.tableName, Origin{}, false};
  if (node.renameForm != RenameForm::kColumns) {
    table = {std::string(program_.wordText(first)), wordOrigin(id, first)};
    for (NotationColumn& column : operand.columns) column.qualifiers = {table.text};
  }
  if (node.renameForm == RenameForm::kTableAndColumns) {
    const size_t given = node.wordCount - 1;
    if (given != names.size()) {
      failAtOperator(id, MessageId::kNotationRenameCount,
                     {op(id), std::to_string(given), std::to_string(names.size())});
    }
    for (size_t k = 0; k < given; ++k) {
      from[k] = &program_.word(node, static_cast<uint32_t>(k + 1));
      names[k] = program_.wordText(*from[k]);
    }
  } else if (node.renameForm == RenameForm::kTable) {
    std::vector<std::string> shortNames;
    for (const NotationColumn& column : operand.columns) shortNames.push_back(column.shortName);
    if (distinct(shortNames)) names = shortNames;
  } else {
    for (uint32_t k = 0; k + 1 < node.wordCount; k += 2) {
      const NotationWord& fresh = program_.word(node, k);
      const int column = resolve(id, program_.word(node, k + 1), operand.columns, true);
      names[static_cast<size_t>(column)] = program_.wordText(fresh);
      from[static_cast<size_t>(column)] = &fresh;
    }
  }
  for (size_t k = 0; k < names.size(); ++k) {
    if (std::count(names.begin(), names.end(), names[k]) > 1) {
      const NotationWord* word = from[k] != nullptr ? from[k] : &first;
      throw NotationError(word->begin, word->end,
                          message(MessageId::kNotationListedTwice, {names[k]}));
    }
  }
  std::vector<CorePiece> namePieces;
  for (size_t k = 0; k < names.size(); ++k) {
    namePieces.push_back(
        {names[k], from[k] != nullptr ? wordOrigin(id, *from[k]) : Origin{}, false});
    operand.columns[k].name = names[k];
    if (from[k] != nullptr) operand.columns[k].shortName = names[k];
  }
  operand.tableName = table.text;
  operand.core =
      core_.rename(operand.core, std::move(table), std::move(namePieces), origin(id, true));
  operand.notation = true;
  return operand;
}

// union, minus and product written as core forms: their core meaning, over operands that are
// sets where a textbook operator made them.
Lowering::Relation Lowering::coreForm(int id, Relation left, Relation right) {
  const NodeKind kind = program_.node(id).kind;
  if (left.notation) makeSet(left, id);
  if (right.notation) makeSet(right, id);
  const CoreKind core = kind == NodeKind::kCoreUnion   ? CoreKind::kUnion
                        : kind == NodeKind::kCoreMinus ? CoreKind::kMinus
                                                       : CoreKind::kProduct;
  Relation made;
  made.core = core_.binary(core, left.core, right.core, origin(id, true));
  made.columns = left.columns;
  if (core == CoreKind::kProduct) {
    made.columns.insert(made.columns.end(), right.columns.begin(), right.columns.end());
  }
  made.tableName = scaffoldTable().text;
  made.set = left.set && (core == CoreKind::kMinus || right.set);
  return made;
}

// project, rename and select written as core forms, their parameter kept as written.
Lowering::Relation Lowering::coreParameterForm(int id, Relation operand) {
  const NotationNode& node = program_.node(id);
  std::vector<CorePiece> tokens;
  std::string written;
  for (uint32_t k = 0; k < node.wordCount; ++k) {
    const NotationWord& word = program_.word(node, k);
    tokens.push_back({std::string(program_.wordText(word)), wordOrigin(id, word), word.spaced});
    written += (word.spaced && k > 0 ? " " : "") + tokens.back().text;
  }
  std::vector<std::string_view> names;
  for (StringTokenizer list(written); list.hasMoreTokens();) names.push_back(list.nextToken());
  auto wordOf = [&](std::string_view name) -> const NotationWord& {
    for (uint32_t k = 0; k < node.wordCount; ++k) {
      if (program_.wordText(program_.word(node, k)) == name) return program_.word(node, k);
    }
    return program_.word(node, 0);
  };
  // The parameter stands for its words as written.
  Origin words = origin(id, true);
  if (node.wordCount > 0) {
    words.begin = program_.word(node, 0).begin;
    words.end = program_.word(node, node.wordCount - 1).end;
  }
  const int parameter = core_.parameter(std::move(tokens), words);
  if (node.kind == NodeKind::kCoreProject) {
    Relation made;
    for (std::string_view name : names) {
      const auto column = std::find_if(operand.columns.begin(), operand.columns.end(),
                                       [&](const auto& c) { return c.name == name; });
      if (column == operand.columns.end()) {
        const NotationWord& word = wordOf(name);
        throw NotationError(word.begin, word.end,
                            message(MessageId::kNotationUnknownColumn,
                                    {name, "project", columnList(operand.columns)}));
      }
      made.columns.push_back(*column);
    }
    made.core = core_.withParameter(CoreKind::kProject, operand.core, parameter, origin(id, true));
    made.tableName = scaffoldTable().text;
    made.set = true;
    return made;
  }
  if (operand.notation) makeSet(operand, id);
  operand.notation = false;
  if (node.kind == NodeKind::kCoreSelect) {
    const SyntaxTree test(written, SyntaxTree::Role::kCondition);
    for (int k = 0; k < test.size(); ++k) {
      if (test.fault(k) != SyntaxTree::Fault::kNone) {
        failAtOperator(id, MessageId::kNotationBadCoreCondition, {written});
      }
    }
    operand.core =
        core_.withParameter(CoreKind::kSelect, operand.core, parameter, origin(id, true));
    operand.stored.clear();
    operand.aliasSteps.clear();
    return operand;
  }
  if (names.size() != operand.columns.size() + 1) {
    failAtOperator(id, MessageId::kNotationRenameCount,
                   {op(id), std::to_string(names.empty() ? 0 : names.size() - 1),
                    std::to_string(operand.columns.size())});
  }
  operand.tableName = names[0];
  for (size_t k = 0; k < operand.columns.size(); ++k) {
    NotationColumn& column = operand.columns[k];
    column.name = column.shortName = names[k + 1];
    column.qualifiers = {operand.tableName};
  }
  operand.core = core_.withParameter(CoreKind::kRename, operand.core, parameter, origin(id, true));
  if (!operand.stored.empty()) inPlace_.push_back({id, operand.stored, operand.aliasSteps});
  return operand;
}

int Lowering::condition(int root, const std::vector<NotationColumn>& columns, int owner) {
  struct Item {
    int node;
    bool expanded;
  };
  std::vector<Item> stack{{root, false}};
  std::vector<int> values;
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    const NotationNode& node = program_.node(item.node);
    if (node.kind == NodeKind::kCompare) {
      values.push_back(compare(item.node, columns, owner));
      continue;
    }
    if (!item.expanded) {
      stack.push_back({item.node, true});
      for (int k = 1; k >= 0; --k) {
        if (node.operands[k] >= 0) stack.push_back({node.operands[k], false});
      }
      continue;
    }
    const int last = values.back();
    values.pop_back();
    if (node.kind == NodeKind::kNot) {
      values.push_back(core_.negation(last, origin(item.node, true)));
    } else {
      const CoreKind kind = node.kind == NodeKind::kAnd ? CoreKind::kAnd : CoreKind::kOr;
      values.back() = core_.binary(kind, values.back(), last, origin(item.node, true));
    }
  }
  return values.back();
}

int Lowering::compare(int id, const std::vector<NotationColumn>& columns, int owner) {
  const NotationNode& node = program_.node(id);
  const NotationWord* first = &program_.word(node, 0);
  const NotationWord* second = &program_.word(node, 1);
  int a = resolve(owner, *first, columns, false);
  int b = resolve(owner, *second, columns, false);
  if (a < 0 && b < 0) {
    throw NotationError(node.begin, node.end,
                        message(MessageId::kNotationTwoConstants,
                                {program_.wordText(*first), program_.wordText(*second)}));
  }
  LogType type = node.compare;
  if (a < 0) {
    std::swap(a, b);
    std::swap(first, second);
    type = mirrored(type);
  }
  const NotationColumn& column = columns[static_cast<size_t>(a)];
  CorePiece right{std::string(program_.wordText(*second)), wordOrigin(id, *second)};
  if (b >= 0) {
    const NotationColumn& other = columns[static_cast<size_t>(b)];
    if (column.integer != other.integer) {
      failAtOperator(id, MessageId::kNotationTypesDiffer,
                     {op(id), display(column.integer ? column : other),
                      display(column.integer ? other : column)});
    }
    right.text = other.name;
  } else if (!bracketsPair(right.text)) {
    throw NotationError(second->begin, second->end,
                        message(MessageId::kNotationUnpairedBracket, {right.text}));
  }
  return core_.compare(type, {column.name, wordOrigin(id, *first)}, std::move(right),
                       origin(id, true));
}

}  // namespace relalg
