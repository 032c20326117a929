// parseNotation makes the NotationProgram of a notation file's program part. NotationParser
// fills it: statements, then expressions and conditions by operator precedence over stacks of
// its own (no recursion). Its parts live in NotationParser.cpp (statements and expressions) and
// NotationArguments.cpp (the arguments of operators: lists, renamings, conditions).
#ifndef RELALG_NOTATION_NOTATIONPARSER_H
#define RELALG_NOTATION_NOTATIONPARSER_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "base/Messages.h"
#include "notation/Allowlist.h"
#include "notation/NotationLexer.h"
#include "notation/NotationProgram.h"

namespace relalg {

// Parses text[begin, end), the program part of the file text, under allow; throws NotationError
// at the first fault, or at the first operator that allow forbids.
NotationProgram parseNotation(std::string_view text, size_t begin, size_t end,
                              const Allowlist& allow);

class NotationParser {
 public:
  using Mode = NotationLexer::Mode;

  NotationParser(NotationProgram& program, size_t begin, size_t end, const Allowlist& allow)
      : program_(program), lexer_(program.text_, begin, end), allow_(allow), end_(end) {}

  void parse();

 private:
  struct Frame {
    enum Kind : uint8_t { kGroup, kCall, kPrefix, kInfix } kind;
    NodeKind node = NodeKind::kName;
    int made = -1;  // kPrefix: the node with its argument; kInfix: a θ-join's condition
    int precedence = 0;
    int arguments = 0;  // kCall: operands complete
    size_t begin = 0;   // the opening bracket, or the operator
    size_t opEnd = 0;
  };

  // The stacks of one expression or condition while it is parsed: brackets and operators not yet
  // applied, and the operands (node ids) they will apply to.
  struct Stack {
    std::vector<Frame> frames;
    std::vector<int> operands;
    size_t depth = 0;  // brackets open
    bool expectOperand = true;
    bool lineEnded = false;  // a line ended inside brackets since the last operand or operator
  };

  int expression();
  void operand(Stack& stack);
  bool infixOperator(Stack& stack, const Token& token);
  void closeBracket(Stack& stack, const Token& token);
  void comma(Stack& stack, const Token& token);
  int condition(TokenKind closer);
  void conditionOperand(Stack& stack);
  void reduceCondition(Stack& stack, int precedence);
  void closeConditionBracket(Stack& stack, const Token& token);
  static bool isArithmetic(std::string_view word);
  bool atStatementEnd(const Token& token, size_t depth);
  bool nextLineContinues();
  void reduce(std::vector<Frame>& frames, std::vector<int>& operands);
  static const Frame& innermostBracket(const std::vector<Frame>& frames);
  void reduceTighter(std::vector<Frame>& frames, std::vector<int>& operands, int precedence);
  Frame prefixFrame(Symbol symbol, const Token& token);
  int callNode(const Frame& call, int operand, int second, size_t end);
  void parameter(NotationNode& node);
  void nameList(NotationNode& node, TokenKind closer);
  void renameArgument(NotationNode& node, TokenKind closer);
  int comparison(const Token& first);
  int coreComparison(LogType type, const Token& keyword);
  NotationWord comparand(const Token& token);
  TokenKind openArgument(const Token& op);
  bool peekOpensArgument();

  int addNode(NotationNode node) {
    program_.nodes_.push_back(node);
    return program_.size() - 1;
  }
  NotationNode& at(int id) { return program_.nodes_[static_cast<size_t>(id)]; }
  void addWord(const Token& token) {
    program_.words_.push_back({token.begin, token.end, token.spaced});
  }
  std::string_view text(const Token& token) const { return lexer_.text(token); }
  void allow(Allowlist::Item item, const Token& token);
  [[noreturn]] void unexpected(MessageId id, const Token& token);
  [[noreturn]] void fail(MessageId id, size_t begin, size_t end,
                         std::initializer_list<std::string_view> args);
  Token nextSkippingLines(Mode mode) {
    Token token = lexer_.next(mode);
    while (token.kind == TokenKind::kNewline) token = lexer_.next(mode);
    return token;
  }
  Token peekSkippingLines(Mode mode) {
    const size_t at = lexer_.position();
    Token token = nextSkippingLines(mode);
    lexer_ = NotationLexer(program_.text_, at, end());
    return token;
  }
  size_t end() const { return end_; }

  NotationProgram& program_;
  NotationLexer lexer_;
  const Allowlist& allow_;
  size_t end_ = 0;
};

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATIONPARSER_H
