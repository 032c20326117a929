// CoreTree holds the lowering of a notation program as core nodes (union, minus, product,
// project, rename, select, the condition words and parameters kept as written) before it becomes
// one core line. A node may be the operand of several nodes (a step used twice, an operand that a
// lowering repeats): the tree is a DAG, and the line spells such a node out at each use.
//
// Every node and every name or constant in it carries where it comes from in the notation: the
// notation node it lowers, the bytes of the word it spells, and whether it is user material (the
// core counterpart of what the user wrote: a table name, a column of a list, a comparison, the
// select of a σ) or scaffolding (a sorting projection, a renaming that aligns names, the
// product inside a join). write() spells the line and the source map from it, without recursion.
#ifndef RELALG_NOTATION_CORETREE_H
#define RELALG_NOTATION_CORETREE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "language/Keywords.h"

namespace relalg {

enum class CoreKind : uint8_t {
  kTable,
  kUnion,
  kMinus,
  kProduct,
  kProject,
  kRename,
  kSelect,
  kCompare,
  kAnd,
  kOr,
  kNot,
  kParameter,  // a parameter of a core form as the user wrote it (a list, a condition)
};

// Where a node or a piece of the line comes from: a notation node (or -1), the notation bytes it
// stands for, and whether it is user material.
struct Origin {
  int node = -1;
  size_t begin = 0;
  size_t end = 0;
  bool user = false;
};

// One stretch of the core line and where it comes from; the stretches of a node enclose those of
// its operands, and come before them in the map.
struct SourceSpan {
  size_t coreBegin;
  size_t coreEnd;
  Origin origin;
};

// A piece of text of a node (a name, a constant, a token of a parameter) with its origin;
// spaced pieces of a parameter follow a blank.
struct CorePiece {
  std::string text;
  Origin origin;
  bool spaced = false;
};

struct CoreLine {
  std::string text;
  std::vector<SourceSpan> map;
};

class CoreTree {
 public:
  int table(CorePiece name, const Origin& origin);
  // union, minus, product, AND, OR.
  int binary(CoreKind kind, int left, int right, const Origin& origin);
  int negation(int condition, const Origin& origin);
  int project(int operand, std::vector<CorePiece> names, const Origin& origin);
  int rename(int operand, CorePiece table, std::vector<CorePiece> names, const Origin& origin);
  int select(int operand, int condition, const Origin& origin);
  int compare(LogType type, CorePiece left, CorePiece right, const Origin& origin);
  // A parameter as written; a core project or rename of operand whose list is parameter.
  int parameter(std::vector<CorePiece> tokens, const Origin& origin);
  int withParameter(CoreKind kind, int operand, int parameter, const Origin& origin);

  CoreKind kind(int node) const { return nodes_[static_cast<size_t>(node)].kind; }
  int operand(int node, int k) const { return nodes_[static_cast<size_t>(node)].operands[k]; }
  // Whether a project or rename node takes its list as a parameter written by the user.
  bool listed(int node) const { return nodes_[static_cast<size_t>(node)].listed; }
  // The bytes of the node's text, at least (past 2^62 it stops counting).
  uint64_t size(int node) const { return nodes_[static_cast<size_t>(node)].size; }
  // The text of the node and the map of its stretches. Parts are joined by ", " unless a name of
  // the tree holds an odd number of apostrophes: the core language keeps blanks inside quotes,
  // so the line is written without blanks then.
  CoreLine write(int root) const;

 private:
  struct Node {
    CoreKind kind;
    LogType compare = LogType::kUnknown;
    bool listed = false;  // project and rename: their list is a parameter node (operands[1])
    int operands[2] = {-1, -1};
    uint32_t firstPiece = 0;
    uint32_t pieceCount = 0;
    Origin origin;
    uint64_t size = 0;
  };
  int add(Node node, std::vector<CorePiece> pieces);
  std::string_view keyword(const Node& node) const;
  std::string_view layout(const Node& node) const;

  std::vector<Node> nodes_;
  std::vector<CorePiece> pieces_;
  bool oddQuotes_ = false;
};

}  // namespace relalg

#endif  // RELALG_NOTATION_CORETREE_H
