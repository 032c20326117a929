#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ExprModel.h"
#include "language/SyntaxTree.h"

using namespace relalg;

namespace {

using Role = SyntaxTree::Role;
using Fault = SyntaxTree::Fault;

// Random expression lines: well-formed nestings of every operator and condition word, with
// blanks, brackets, quoted constants holding separators, and then a few bytes inserted or
// dropped at random, so that every kind of slip turns up.
class Lines {
 public:
  explicit Lines(unsigned seed) : random_(seed) {}

  std::string next() {
    std::string line = expression(0);
    for (int edits = pick(4); edits > 0; --edits) {
      const size_t at = line.empty() ? 0 : static_cast<size_t>(pick(static_cast<int>(line.size())));
      if (pick(2) == 0 && !line.empty()) {
        line.erase(at, 1);
      } else {
        line.insert(at, 1, " (),'\t"[pick(6)]);
      }
    }
    return line;
  }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::string blank() { return std::string(static_cast<size_t>(pick(3) == 0 ? pick(3) : 0), ' '); }
  std::string wrapped(std::string text) {
    for (int k = pick(6) == 0 ? pick(3) : 0; k > 0; --k)
      text = "(" + blank() + text + blank() + ")";
    return blank() + text + blank();
  }
  std::string call(std::string_view word, const std::string& a, const std::string& b) {
    return std::string(word) + "(" + a + "," + b + ")";
  }
  std::string constant() {
    static const char* kConstants[] = {"a", "age", "30", "'x, y'", "'a b'", "' ( '", "''", "b c"};
    return blank() + kConstants[pick(8)] + blank();
  }
  std::string expression(int depth) {
    const int choice = depth > 4 ? 0 : pick(8);
    if (choice <= 1) return wrapped(pick(5) == 0 ? "'t u'" : "t");
    if (choice <= 3) {
      return wrapped(call(kOperatorWords[pick(3)], expression(depth + 1), expression(depth + 1)));
    }
    if (choice <= 5) {
      return wrapped(call(kOperatorWords[3 + pick(2)], expression(depth + 1), "a," + constant()));
    }
    return wrapped(call("select", expression(depth + 1), condition(depth + 1)));
  }
  std::string condition(int depth) {
    const int choice = depth > 5 ? 0 : pick(6);
    if (choice <= 2) return wrapped(call(kConditionWords[pick(6)], constant(), constant()));
    if (choice == 3) return wrapped("NOT(" + condition(depth + 1) + ")");
    return wrapped(call(kConditionWords[6 + pick(2)], condition(depth + 1), condition(depth + 1)));
  }

  std::mt19937 random_;
};

// The tree must split every node as the evaluator splits the text it is handed: the trace hangs
// every node's table on the tree, and the evaluation itself walks it.
TEST(SyntaxTree, SplitsRandomLinesAsTheEvaluatorReadsThem) {
  constexpr unsigned kSeed = 20261209;
  Lines lines(kSeed);
  for (int k = 0; k < 10000 && !HasFailure(); ++k) {
    const std::string line = lines.next();
    const Role role = k % 4 == 0 ? Role::kCondition : Role::kExpression;
    const SyntaxTree tree(line, role);
    EXPECT_EQ(differences(tree, model(line, role)), "")
        << "seed " << kSeed << ", line " << k << ": " << line;
  }
}

TEST(SyntaxTree, SplitsTheOddCasesOfTheLanguage) {
  const std::string lines[] = {
      "",
      " ( ( e mp ) ) ",
      "union(a,b))",
      "(a)x(b)",
      "union(,b)",
      "union(a)",
      "union(a",
      "emp(union(a), )))",
      "union(t, 't )",
      "NOT(a)(,b)",
      "project(,",
      "union('a,b c',d)",
      "select(t, EQ('a, b c', d))",
      "union\t(a, b)",
  };
  for (const std::string& line : lines) {
    for (Role role : {Role::kExpression, Role::kCondition}) {
      const SyntaxTree tree(line, role);
      EXPECT_EQ(differences(tree, model(line, role)), "") << line;
    }
  }
}

TEST(SyntaxTree, PlacesNodesAtTheirBytes) {
  const SyntaxTree tree("select( emp , EQ(age, 30))");
  const int emp = tree.operand(SyntaxTree::root(), 0);
  EXPECT_EQ(tree.begin(SyntaxTree::root()), 0u);
  EXPECT_EQ(tree.end(SyntaxTree::root()), 26u);
  EXPECT_EQ(tree.begin(emp), 8u);
  EXPECT_EQ(tree.end(emp), 11u);
  const int condition = tree.operand(SyntaxTree::root(), 1);
  EXPECT_EQ(tree.text(condition), "EQ(age,30)");
  EXPECT_EQ(tree.begin(tree.operand(condition, 1)), 22u);
}

// An operand that starts inside the line's apostrophes reads every blank as one outside them.
TEST(SyntaxTree, ReadsAnOperandThatStartsInsideQuotesAfresh) {
  const SyntaxTree tree("union('a,b c',d)");
  const int right = tree.operand(SyntaxTree::root(), 1);
  EXPECT_EQ(tree.rawText(right), "b c',d");
  EXPECT_EQ(tree.text(right), "bc',d");
  EXPECT_EQ(tree.begin(right), 9u);
  EXPECT_EQ(tree.end(right), 15u);
}

TEST(SyntaxTree, NestsDeeplyInLinearTime) {
  constexpr int kDepth = 200000;
  std::string line;
  for (int k = 0; k < kDepth; ++k) line += "union(t, ";
  line += "t" + std::string(kDepth, ')');
  const SyntaxTree tree(line);
  int node = SyntaxTree::root();
  for (int k = 0; k < kDepth; ++k) {
    ASSERT_EQ(tree.exprType(node), ExprType::kUnion);
    ASSERT_EQ(tree.text(tree.operand(node, 0)), "t");
    node = tree.operand(node, 1);
    ASSERT_EQ(tree.depth(node), k + 1);
  }
  EXPECT_EQ(tree.text(node), "t");

  std::string condition;
  for (int k = 0; k < kDepth; ++k) condition += "NOT(";
  condition += "EQ(a,1)" + std::string(kDepth, ')');
  const SyntaxTree conditions(condition, Role::kCondition);
  EXPECT_EQ(conditions.size(), kDepth + 3);
  EXPECT_EQ(conditions.logType(kDepth), LogType::kEq);
}

// Whether the operands of a node may be evaluated at the same time is decided from its nodes: a
// rename written with blanks inside its word is a rename all the same.
TEST(SyntaxTree, KnowsWhichSubtreesHoldARename) {
  const SyntaxTree tree("minus(re name(x, y(b, a)), select(x, EQ(a, 1)))");
  const int rename = tree.operand(SyntaxTree::root(), 0);
  EXPECT_EQ(tree.exprType(rename), ExprType::kRename);
  EXPECT_TRUE(tree.holdsRename(SyntaxTree::root()));
  EXPECT_FALSE(tree.holdsRename(tree.operand(SyntaxTree::root(), 1)));
  EXPECT_FALSE(SyntaxTree("union(x, select(x, EQ(rename, 1)))").holdsRename(SyntaxTree::root()));
}

}  // namespace
