#include "RelAlgExpr.h"

#include <algorithm>
#include <stdexcept>

namespace relalg {

std::string clean(std::string text) {
  const SyntaxTree tree(std::move(text));
  if (tree.fault(SyntaxTree::root()) == SyntaxTree::Fault::kEmpty) {
    tree.raiseFault(SyntaxTree::root());
  }
  return std::string(tree.text(SyntaxTree::root()));
}

RelAlgExpr::RelAlgExpr(std::string text)
    : tree_(std::make_unique<const SyntaxTree>(std::move(text))) {
  const SyntaxTree::Fault fault = tree_->fault(SyntaxTree::root());
  if (fault != SyntaxTree::Fault::kNone && fault != SyntaxTree::Fault::kNoOperand) {
    tree_->raiseFault(SyntaxTree::root());
  }
}

std::string RelAlgExpr::extractLeft() const {
  const int root = SyntaxTree::root();
  if (!tree_->bracketed(root)) throw std::out_of_range("no operand");
  const std::string_view text = tree_->text(root);
  const size_t begin = tree_->bracketPos(root) + 1;
  const size_t comma = tree_->commaPos(root);
  const size_t end = comma != std::string_view::npos ? comma : text.size() - 1;
  return std::string(text.substr(begin, std::max(begin, end) - begin));
}

std::string RelAlgExpr::extractRight() const {
  const int root = SyntaxTree::root();
  const std::string_view text = tree_->text(root);
  const size_t comma = tree_->commaPos(root);
  const size_t begin = comma != std::string_view::npos ? comma + 1 : 0;
  const size_t end = text.empty() ? 0 : text.size() - 1;
  return std::string(text.substr(begin, std::max(begin, end) - begin));
}

}  // namespace relalg
