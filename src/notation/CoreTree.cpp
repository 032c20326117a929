#include "notation/CoreTree.h"

#include <algorithm>
#include <cassert>

namespace relalg {

namespace {

constexpr uint64_t kSizeCap = uint64_t{1} << 62;

uint64_t sum(uint64_t a, uint64_t b) { return std::min(a + b, kSizeCap); }

bool hasOddQuotes(std::string_view text) {
  return std::count(text.begin(), text.end(), '\'') % 2 != 0;
}

}  // namespace

int CoreTree::add(Node node, std::vector<CorePiece> pieces) {
  node.firstPiece = static_cast<uint32_t>(pieces_.size());
  node.pieceCount = static_cast<uint32_t>(pieces.size());
  for (CorePiece& piece : pieces) {
    oddQuotes_ = oddQuotes_ || hasOddQuotes(piece.text);
    pieces_.push_back(std::move(piece));
  }
  // The size as write() spells it with ", " between parts.
  const CorePiece* first = pieces_.data() + node.firstPiece;
  uint64_t size = keyword(node).size();
  for (const char part : layout(node)) {
    switch (part) {
      case '0':
      case '1':
        size = sum(size, nodes_[static_cast<size_t>(node.operands[part - '0'])].size);
        break;
      case ',':
        size += 2;
        break;
      case 'f':
        size = sum(size, first[0].text.size());
        break;
      case 'r':
      case 'p':
        for (uint32_t k = part == 'r' ? 1 : 0; k < node.pieceCount; ++k) {
          const bool glued = node.kind == CoreKind::kParameter ? first[k].spaced : true;
          size = sum(size, first[k].text.size() + (k > (part == 'r' ? 1u : 0u) && glued
                                                       ? (node.kind == CoreKind::kParameter ? 1 : 2)
                                                       : 0));
        }
        break;
      case 'k':
        break;
      default:
        size += 1;
        break;
    }
  }
  node.size = size;
  nodes_.push_back(node);
  return static_cast<int>(nodes_.size()) - 1;
}

int CoreTree::table(CorePiece name, const Origin& origin) {
  return add({CoreKind::kTable, LogType::kUnknown, false, {-1, -1}, 0, 0, origin}, {name});
}

int CoreTree::binary(CoreKind kind, int left, int right, const Origin& origin) {
  return add({kind, LogType::kUnknown, false, {left, right}, 0, 0, origin}, {});
}

int CoreTree::negation(int condition, const Origin& origin) {
  return add({CoreKind::kNot, LogType::kUnknown, false, {condition, -1}, 0, 0, origin}, {});
}

int CoreTree::project(int operand, std::vector<CorePiece> names, const Origin& origin) {
  return add({CoreKind::kProject, LogType::kUnknown, false, {operand, -1}, 0, 0, origin},
             std::move(names));
}

int CoreTree::rename(int operand, CorePiece table, std::vector<CorePiece> names,
                     const Origin& origin) {
  names.insert(names.begin(), std::move(table));
  return add({CoreKind::kRename, LogType::kUnknown, false, {operand, -1}, 0, 0, origin},
             std::move(names));
}

int CoreTree::select(int operand, int condition, const Origin& origin) {
  return add({CoreKind::kSelect, LogType::kUnknown, false, {operand, condition}, 0, 0, origin}, {});
}

int CoreTree::compare(LogType type, CorePiece left, CorePiece right, const Origin& origin) {
  return add({CoreKind::kCompare, type, false, {-1, -1}, 0, 0, origin},
             {std::move(left), std::move(right)});
}

int CoreTree::parameter(std::vector<CorePiece> tokens, const Origin& origin) {
  return add({CoreKind::kParameter, LogType::kUnknown, false, {-1, -1}, 0, 0, origin},
             std::move(tokens));
}

int CoreTree::withParameter(CoreKind kind, int operand, int parameter, const Origin& origin) {
  assert(kind == CoreKind::kProject || kind == CoreKind::kRename || kind == CoreKind::kSelect);
  return add(
      {kind, LogType::kUnknown, kind != CoreKind::kSelect, {operand, parameter}, 0, 0, origin}, {});
}

std::string_view CoreTree::keyword(const Node& node) const {
  switch (node.kind) {
    case CoreKind::kUnion:
      return "union(";
    case CoreKind::kMinus:
      return "minus(";
    case CoreKind::kProduct:
      return "product(";
    case CoreKind::kProject:
      return "project(";
    case CoreKind::kRename:
      return "rename(";
    case CoreKind::kSelect:
      return "select(";
    case CoreKind::kCompare: {
      constexpr std::string_view kWords[] = {"EQ(", "NEQ(", "LT(", "LTE(", "GT(", "GTE("};
      return kWords[static_cast<size_t>(node.compare)];
    }
    case CoreKind::kAnd:
      return "AND(";
    case CoreKind::kOr:
      return "OR(";
    case CoreKind::kNot:
      return "NOT(";
    default:
      return "";
  }
}

// The parts of a node's text, in order: 'k' its keyword and bracket, '0' and '1' its operands,
// ',' the separator, 'f' its first piece, 'r' the rest joined by separators, 'p' all its pieces
// (a parameter's as written), '(' and ')' brackets.
std::string_view CoreTree::layout(const Node& node) const {
  switch (node.kind) {
    case CoreKind::kTable:
      return "f";
    case CoreKind::kProject:
      return node.listed ? "k0,1)" : "k0,p)";
    case CoreKind::kRename:
      return node.listed ? "k0,1)" : "k0,f(r))";
    case CoreKind::kCompare:
      return "kf,r)";
    case CoreKind::kNot:
      return "k0)";
    case CoreKind::kParameter:
      return "p";
    default:
      return "k0,1)";
  }
}

CoreLine CoreTree::write(int root) const {
  CoreLine line;
  const std::string_view separator = oddQuotes_ ? "," : ", ";
  struct Item {
    int node;
    size_t part;
    size_t span;
  };
  std::vector<Item> stack;
  auto enter = [&](int node) {
    line.map.push_back({line.text.size(), 0, nodes_[static_cast<size_t>(node)].origin});
    stack.push_back({node, 0, line.map.size() - 1});
  };
  auto piece = [&](const CorePiece& piece, std::string_view glue) {
    line.text += glue;
    if (piece.origin.node >= 0) {
      line.map.push_back({line.text.size(), line.text.size() + piece.text.size(), piece.origin});
    }
    line.text += piece.text;
  };
  enter(root);
  while (!stack.empty()) {
    Item& item = stack.back();
    const Node& node = nodes_[static_cast<size_t>(item.node)];
    const std::string_view parts = layout(node);
    if (item.part == parts.size()) {
      line.map[item.span].coreEnd = line.text.size();
      stack.pop_back();
      continue;
    }
    const char part = parts[item.part++];
    const CorePiece* pieces = pieces_.data() + node.firstPiece;
    switch (part) {
      case 'k':
        line.text += keyword(node);
        break;
      case '0':
      case '1':
        enter(node.operands[part - '0']);
        break;
      case ',':
        line.text += separator;
        break;
      case 'f':
        piece(pieces[0], "");
        break;
      case 'r':
        for (uint32_t k = 1; k < node.pieceCount; ++k) piece(pieces[k], k > 1 ? separator : "");
        break;
      case 'p':
        for (uint32_t k = 0; k < node.pieceCount; ++k) {
          const bool blank = node.kind == CoreKind::kParameter && pieces[k].spaced && k > 0;
          const std::string_view glue = node.kind == CoreKind::kParameter
                                            ? (blank && !oddQuotes_ ? " " : "")
                                            : (k > 0 ? separator : "");
          piece(pieces[k], glue);
        }
        break;
      default:
        line.text += part;
        break;
    }
  }
  return line;
}

}  // namespace relalg
