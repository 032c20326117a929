// Fuzz target for the expression parser: the bytes are one expression line (or, when the first
// byte is odd, one selection condition). The syntax tree of the line must split every node as the
// plain reading of the language does (tests/ExprModel.h): the same texts, faults, operands and
// numbering, with every node placed at bytes of the line that hold its text. Besides, cleaning a
// cleaned text changes nothing, and RelAlgExpr, the one-node view, agrees with the tree's root.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "ExprModel.h"
#include "RelAlgExpr.h"
#include "base/AdbException.h"
#include "language/SyntaxTree.h"

using namespace relalg;

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

void checkView(const std::string& line, const SyntaxTree& tree) {
  const SyntaxTree::Fault fault = tree.fault(SyntaxTree::root());
  try {
    const RelAlgExpr node(line);
    require(fault == SyntaxTree::Fault::kNone || fault == SyntaxTree::Fault::kNoOperand);
    require(node.extractCommand() == tree.command(SyntaxTree::root()));
    const std::string cleaned = clean(line);
    require(cleaned == tree.text(SyntaxTree::root()));
    require(cleaned.empty() || clean(cleaned) == cleaned);
  } catch (const AdbException&) {
    require(fault == SyntaxTree::Fault::kBadBracketing ||
            fault == SyntaxTree::Fault::kBadExpression);
  } catch (const std::out_of_range&) {
    require(fault == SyntaxTree::Fault::kEmpty);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto role =
      size > 0 && (data[0] & 1) != 0 ? SyntaxTree::Role::kCondition : SyntaxTree::Role::kExpression;
  const SyntaxTree tree(line, role);
  require(differences(tree, model(line, role)).empty());
  if (role == SyntaxTree::Role::kExpression) checkView(line, tree);
  return 0;
}
