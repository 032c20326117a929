// Fuzz target for the expression parser: the bytes are one expression or condition text. It is
// cleaned and parsed as a node, and every operand text that the node yields is parsed in turn,
// the way evaluation walks an expression and a selection condition, but without tables.
//
// Besides the sanitizers, it checks what the parser promises about every node:
//  - a cleaned text keeps no blank outside apostrophes; unless it is empty, it does not both
//    start with an opening and end with a closing bracket, and cleaning it again changes nothing;
//  - a node's command word is its text up to the first opening bracket, and a node with two
//    operands is exactly the command word, a bracket, the first operand, a comma, the second
//    operand and one last character.
// An AdbException or std::out_of_range is the parser's ordinary answer to a malformed text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/AdbException.h"
#include "language/ExprText.h"
#include "language/RelAlgExpr.h"

using namespace relalg;

namespace {

// Bounds the walk on deeply nested inputs: each node is checked in time of its text's length, so
// the walk stops once the texts of the nodes visited add up to this many bytes.
constexpr size_t kMaxBytesWalked = size_t{1} << 15;

void require(bool holds) {
  if (!holds) std::abort();
}

bool hasLooseBlank(const std::string& text) {
  bool inQuotes = false;
  for (char c : text) {
    if (c == ' ' && !inQuotes) return true;
    if (c == '\'') inQuotes = !inQuotes;
  }
  return false;
}

void checkCleaned(const std::string& text) {
  const std::string cleaned = clean(text);
  require(!hasLooseBlank(cleaned));
  if (cleaned.empty()) return;  // brackets only, such as ()
  require(!(cleaned.front() == '(' && cleaned.back() == ')'));
  require(clean(cleaned) == cleaned);
}

// What parsing one node gave: its parts, or the message it failed with.
struct Outcome {
  std::string failure;
  std::string command, left, right;
  int type = -1, logType = -1;
  bool operator==(const Outcome&) const = default;
};

Outcome failed(std::string why) {
  Outcome outcome;
  outcome.failure = std::move(why);
  return outcome;
}

Outcome parse(const RelAlgExpr& node) {
  Outcome parts;
  parts.command = node.extractCommand();
  parts.type = node.getType();
  parts.logType = node.getLogType();
  try {
    parts.left = node.extractLeft();
  } catch (const std::out_of_range&) {
    parts.left = "<none>";
  }
  parts.right = node.extractRight();
  return parts;
}

template <typename Text>
Outcome parseOutcome(const Text& text) {
  try {
    return parse(RelAlgExpr(text));
  } catch (const AdbException& error) {
    return failed("AdbException: " + error.getMessage());
  } catch (const std::out_of_range&) {
    return failed("out_of_range");
  }
}

// Parses one node; queues its operand texts to be walked next.
void parseNode(const ExprSource& source, std::vector<ExprSource>& pending) {
  const std::string text = source.str();
  // The node cut from a shared text and the same text parsed on its own must agree.
  const Outcome outcome = parseOutcome(source);
  require(outcome == parseOutcome(text));
  if (!outcome.failure.empty()) return;

  checkCleaned(text);
  const std::string cleaned = clean(text);
  require(outcome.type >= kTable && outcome.type <= kSelect);
  require(outcome.logType >= kEq && outcome.logType <= kUnknownCondition);
  require(cleaned.compare(0, outcome.command.size(), outcome.command) == 0);
  if (outcome.command.size() == cleaned.size()) return;  // a bare name or constant
  require(cleaned[outcome.command.size()] == '(');

  const std::string rebuilt = outcome.command + "(" + outcome.left + "," + outcome.right;
  if (rebuilt.size() + 1 == cleaned.size()) {
    require(cleaned.compare(0, rebuilt.size(), rebuilt) == 0);
  }
  RelAlgExpr node(source);
  pending.push_back(node.leftSource());
  // Without a top-level comma (a NOT node) the second operand is the node less its last
  // character, which no evaluator reads.
  if (rebuilt.size() + 1 == cleaned.size()) pending.push_back(node.rightSource());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<ExprSource> pending{
      ExprSource(std::string(reinterpret_cast<const char*>(data), size))};
  for (size_t walked = 0; !pending.empty() && walked < kMaxBytesWalked;) {
    ExprSource source = pending.back();
    pending.pop_back();
    walked += source.size() + 1;
    parseNode(source, pending);
  }
  return 0;
}
