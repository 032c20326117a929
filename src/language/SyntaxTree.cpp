#include "language/SyntaxTree.h"

#include <algorithm>
#include <stdexcept>

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

constexpr std::string_view kNotWord = kConditionWords[static_cast<size_t>(LogType::kNot)];

}  // namespace

SyntaxTree::SyntaxTree(std::string line, Role rootRole) : line_(std::move(line)) {
  if (line_.size() >= kNone) {
    Node root{rootRole};
    root.fault = Fault::kTooLong;
    root.rawSpace = kLineSpace;
    root.subtreeEnd = 1;
    nodes_.push_back(root);
    return;
  }
  makeCleaned(cleaned_[0], false);
  std::vector<Work> pending{
      {rootRole, kLineSpace, 0, static_cast<uint32_t>(line_.size()), kNoNode, 0}};
  while (!pending.empty()) {
    const Work work = pending.back();
    pending.pop_back();
    parse(work, pending);
  }
  noteSubtrees();
}

// Keeps the bytes of the line that cleaning keeps, with their offsets, and pairs the brackets:
// each ')' closes the latest '(' still open, whatever apostrophes stand around them.
void SyntaxTree::makeCleaned(Cleaned& cleaned, bool dropEveryBlank) const {
  bool quoted = false;
  for (uint32_t k = 0; k < line_.size(); ++k) {
    const char c = line_[k];
    if (c == ' ' && (dropEveryBlank || !quoted)) continue;
    if (!dropEveryBlank) cleaned.oddQuotesBefore.push_back(quoted);
    if (c == '\'') quoted = !quoted;
    if (c == ' ') cleaned.blanks.push_back(static_cast<uint32_t>(cleaned.bytes.size()));
    cleaned.bytes.push_back(c);
    cleaned.lineOffsets.push_back(k);
  }
  if (!dropEveryBlank) cleaned.oddQuotesBefore.push_back(quoted);
  cleaned.partners.assign(cleaned.bytes.size(), kNone);
  std::vector<uint32_t> open;
  for (uint32_t k = 0; k < cleaned.bytes.size(); ++k) {
    if (cleaned.bytes[k] == '(') open.push_back(k);
    if (cleaned.bytes[k] == ')' && !open.empty()) {
      cleaned.partners[open.back()] = k;
      open.pop_back();
    }
  }
}

std::string_view SyntaxTree::spaceText(uint8_t space) const {
  return space == kLineSpace ? std::string_view(line_) : std::string_view(cleaned_[space].bytes);
}

void SyntaxTree::parse(const Work& work, std::vector<Work>& pending) {
  Node node{work.role};
  node.parent = work.parent;
  node.rawSpace = work.rawSpace;
  node.rawBegin = work.rawBegin;
  node.rawEnd = work.rawEnd;
  if (work.parent != kNoNode) node.depth = at(work.parent).depth + 1;
  if (node.role == Role::kExpression || node.role == Role::kCondition) {
    cleanNode(node);
    if (node.fault == Fault::kNone) splitNode(node);
  } else {
    node.space = node.rawSpace;
    node.begin = node.rawBegin;
    node.end = node.rawEnd;
    node.bracket = node.end;
  }
  const int index = size();
  nodes_.push_back(node);
  if (work.parent != kNoNode) nodes_[static_cast<size_t>(work.parent)].operands[work.slot] = index;
  if (node.fault == Fault::kNone && node.bracket < node.end) queueOperands(index, pending);
}

// Cleans the node's raw text. The line's own blanks outside apostrophes are gone from space 0
// already; an operand that starts after an odd number of apostrophes reads every blank of space
// 0 as one outside apostrophes, so its cleaned text is in space 1, which has no blanks at all.
void SyntaxTree::cleanNode(Node& node) {
  uint32_t begin = node.rawBegin;
  uint32_t end = node.rawEnd;
  node.space = node.rawSpace == kLineSpace ? 0 : node.rawSpace;
  if (node.rawSpace == kLineSpace) {
    begin = 0;
    end = static_cast<uint32_t>(cleaned_[0].bytes.size());
  } else if (node.rawSpace == 0 && cleaned_[0].oddQuotesBefore[begin]) {
    const std::vector<uint32_t>& blanks = cleaned_[0].blanks;
    const auto first = std::lower_bound(blanks.begin(), blanks.end(), begin);
    if (first != blanks.end() && *first < end) {
      if (!haveSpaceOne_) makeCleaned(cleaned_[1], true);
      haveSpaceOne_ = true;
      const auto last = std::lower_bound(first, blanks.end(), end);
      begin -= static_cast<uint32_t>(first - blanks.begin());
      end -= static_cast<uint32_t>(last - blanks.begin());
      node.space = 1;
    }
  }
  const std::string_view text = spaceText(node.space);
  if (begin == end) node.fault = Fault::kEmpty;
  while (end - begin >= 2 && text[begin] == '(' && text[end - 1] == ')') {
    ++begin;
    --end;
  }
  node.begin = begin;
  node.end = end;
  node.bracket = begin;
  while (node.bracket < end && text[node.bracket] != '(') ++node.bracket;
  const std::string_view word = text.substr(begin, node.bracket - begin);
  node.kind = node.role == Role::kExpression ? static_cast<uint8_t>(exprTypeOf(word))
                                             : static_cast<uint8_t>(logTypeOf(word));
}

// Finds the node's first comma outside inner brackets, scanning from its opening bracket. An
// inner bracket pair is passed over whole: nothing inside it can be such a comma or close the
// node. A closing bracket that takes the level below the node's own is a fault, except in NOT.
void SyntaxTree::splitNode(Node& node) {
  const std::string_view text = spaceText(node.space);
  if (node.bracket == node.end) {
    const bool isTable =
        node.role == Role::kExpression && static_cast<ExprType>(node.kind) == ExprType::kTable;
    if (!isTable) node.fault = Fault::kNoOperand;
    return;
  }
  const bool isNot = text.substr(node.begin, node.bracket - node.begin) == kNotWord;
  const std::vector<uint32_t>& partners = cleaned_[node.space].partners;
  long depth = 0;
  uint32_t pos = node.bracket + 1;
  while (pos < node.end) {
    const char c = text[pos];
    if (depth == 0 && c == ',') {
      node.comma = pos;
      return;
    }
    if (c == '(' && depth >= 0) {
      if (partners[pos] == kNone || partners[pos] >= node.end) break;  // nested to the end
      pos = partners[pos] + 1;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0 && !isNot) {
      node.fault = Fault::kBadBracketing;
      return;
    }
    ++pos;
  }
  if (!isNot) node.fault = Fault::kBadExpression;
}

// Queues the operands that the node's kind reads, the first to be parsed first. The first operand
// runs from the bracket to the comma (to the last character when there is none); the second from
// the comma to the last character. An operand that would end before it starts is empty.
void SyntaxTree::queueOperands(int index, std::vector<Work>& pending) {
  const Node& node = at(index);
  const uint32_t last = node.end - 1;
  const uint32_t leftBegin = node.bracket + 1;
  const uint32_t leftEnd = std::max(leftBegin, node.comma != kNone ? node.comma : last);
  const uint32_t rightBegin = node.comma != kNone ? std::min(node.comma + 1, last) : last;
  const uint32_t rightEnd = std::max(rightBegin, last);
  Role roles[2];
  int count = 2;
  if (node.role == Role::kExpression) {
    const auto type = static_cast<ExprType>(node.kind);
    roles[0] = Role::kExpression;
    roles[1] = takesTwoTables(type)        ? Role::kExpression
               : type == ExprType::kSelect ? Role::kCondition
                                           : Role::kList;
    if (type == ExprType::kTable) count = 0;
  } else {
    const auto type = static_cast<LogType>(node.kind);
    roles[0] = roles[1] = isComparison(type) ? Role::kComparand : Role::kCondition;
    if (type == LogType::kNot) count = 1;
    if (type == LogType::kUnknown) count = 0;
  }
  const uint8_t space = node.space;
  if (count == 2) pending.push_back({roles[1], space, rightBegin, rightEnd, index, 1});
  if (count >= 1) pending.push_back({roles[0], space, leftBegin, leftEnd, index, 0});
}

// Works out, from the last node back, each node's subtree end and whether a rename lies in it.
void SyntaxTree::noteSubtrees() {
  for (int index = size() - 1; index >= 0; --index) {
    Node& node = nodes_[static_cast<size_t>(index)];
    node.subtreeEnd = index + 1;
    node.holdsRename =
        node.role == Role::kExpression && static_cast<ExprType>(node.kind) == ExprType::kRename;
    for (int operand : node.operands) {
      if (operand == kNoNode) continue;
      node.subtreeEnd = std::max(node.subtreeEnd, at(operand).subtreeEnd);
      node.holdsRename |= at(operand).holdsRename;
    }
  }
}

void SyntaxTree::raiseFault(int node) const {
  switch (fault(node)) {
    case Fault::kEmpty:
      throw NodeRangeError("empty expression", node);
    case Fault::kNoOperand:
      throw NodeRangeError("no operand", node);
    case Fault::kBadBracketing:
      throw AdbException(message(MessageId::kBadBracketing, {rawText(node)}), node);
    case Fault::kBadExpression:
      throw AdbException(message(MessageId::kBadExpression, {rawText(node)}), node);
    case Fault::kTooLong:
      throw AdbException(message(MessageId::kExpressionTooLong), node);
    case Fault::kNone:
      break;
  }
  assert(false && "raiseFault on a node without a fault");
  throw std::logic_error("no fault");
}

std::string_view SyntaxTree::text(int node) const {
  const Node& n = at(node);
  return spaceText(n.space).substr(n.begin, n.end - n.begin);
}

std::string_view SyntaxTree::rawText(int node) const {
  const Node& n = at(node);
  return spaceText(n.rawSpace).substr(n.rawBegin, n.rawEnd - n.rawBegin);
}

size_t SyntaxTree::commaPos(int node) const {
  const Node& n = at(node);
  return n.comma == kNone ? std::string_view::npos : n.comma - n.begin;
}

size_t SyntaxTree::begin(int node) const { return lineOffset(text(node)); }

size_t SyntaxTree::end(int node) const {
  const std::string_view part = text(node);
  return part.empty() ? begin(node) : lineOffset(part.substr(part.size() - 1)) + 1;
}

size_t SyntaxTree::lineOffset(std::string_view part) const {
  for (const Cleaned& cleaned : cleaned_) {
    const char* const data = cleaned.bytes.data();
    if (part.data() < data || part.data() > data + cleaned.bytes.size()) continue;
    const size_t index = static_cast<size_t>(part.data() - data);
    return index < cleaned.lineOffsets.size() ? cleaned.lineOffsets[index] : line_.size();
  }
  assert(part.data() >= line_.data() && part.data() <= line_.data() + line_.size());
  return static_cast<size_t>(part.data() - line_.data());
}

}  // namespace relalg
