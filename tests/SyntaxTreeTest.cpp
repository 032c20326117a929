#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/AdbException.h"
#include "language/RelAlgExpr.h"
#include "language/SyntaxTree.h"

using namespace relalg;

namespace {

// The cleaned texts of the expression nodes in the order the evaluator starts them, as the
// evaluator's own parser splits them; a node it rejects ends its branch.
void evaluatorOrder(const std::string& text, std::vector<std::string>& order) {
  std::string cleaned;
  try {
    cleaned = clean(text);
  } catch (const std::out_of_range&) {
    order.push_back("");
    return;
  }
  order.push_back(cleaned);
  try {
    RelAlgExpr node(text);
    const int type = node.getType();
    if (type == kTable) return;
    evaluatorOrder(node.extractLeft(), order);
    if (type == kUnion || type == kMinus || type == kProduct) {
      evaluatorOrder(node.extractRight(), order);
    }
  } catch (const AdbException&) {
  } catch (const std::out_of_range&) {
  }
}

// The tree must start the nodes the evaluator starts, in its order, with its texts: the trace
// hangs every node's table on the tree by this order.
TEST(SyntaxTree, SplitsExpressionsAsTheEvaluatorDoes) {
  const std::string expressions[] = {
      "emp",
      " ( ( e mp ) ) ",
      "union(a, b)",
      "product(rename(emp, boss(bname, bage)), emp)",
      "select(product(t, rename(t, u(b))), AND(GT(a, 1), NOT(EQ(b, 'x, y'))))",
      "union(a,b))",
      "union((a),(b))",
      "(a)x(b)",
      "minus(project(t, a, b), select(t, OR(EQ(a, 1), EQ(b, 2), EQ(c, 3))))",
      "union(,b)",
      "union(a)",
      "union(a",
      "project(select(student, EQ(major, CS), name)",
      "emp(union(a), )))",
      "union(t, 't )",
      "union(a\t, b)",
      "project(,",
      "",
  };
  for (const std::string& expression : expressions) {
    std::vector<std::string> expected;
    evaluatorOrder(expression, expected);
    const SyntaxTree tree(expression);
    std::vector<std::string> actual;
    for (int node : tree.expressionOrder()) actual.push_back(tree.text(node));
    EXPECT_EQ(actual, expected) << expression;
  }
}

TEST(SyntaxTree, PlacesNodesAtTheirBytes) {
  const SyntaxTree tree("select( emp , EQ(age, 30))");
  const int select = tree.expressionOrder()[0];
  const int emp = tree.expressionOrder()[1];
  EXPECT_EQ(tree.begin(select), 0u);
  EXPECT_EQ(tree.end(select), 26u);
  EXPECT_EQ(tree.begin(emp), 8u);
  EXPECT_EQ(tree.end(emp), 11u);
  const int condition = tree.node(select).children[1];
  EXPECT_EQ(tree.text(condition), "EQ(age,30)");
  EXPECT_EQ(tree.begin(tree.node(condition).children[1]), 22u);
  EXPECT_TRUE(tree.findings().empty());
}

}  // namespace
