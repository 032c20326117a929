// The arguments of the notation's operators: the parameters of the core forms, the lists of π
// and ρ, and conditions (comparisons and connectives, by precedence over the parser's stacks).
#include <optional>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "notation/NotationParser.h"

namespace relalg {

namespace {

std::optional<LogType> comparisonOf(Symbol symbol) {
  switch (symbol) {
    case Symbol::kEq:
      return LogType::kEq;
    case Symbol::kNeq:
      return LogType::kNeq;
    case Symbol::kLt:
      return LogType::kLt;
    case Symbol::kLte:
      return LogType::kLte;
    case Symbol::kGt:
      return LogType::kGt;
    case Symbol::kGte:
      return LogType::kGte;
    default:
      return std::nullopt;
  }
}

}  // namespace

// The parameter of project, rename or select, kept as its tokens up to the bracket that closes
// the form (consumed).
void NotationParser::parameter(NotationNode& node) {
  node.firstWord = static_cast<uint32_t>(program_.words_.size());
  size_t depth = 0;
  for (;;) {
    const Token token = nextSkippingLines(Mode::kList);
    switch (token.kind) {
      case TokenKind::kEnd:
        fail(MessageId::kNotationUnclosed, node.opEnd, node.opEnd + 1, {"("});
      case TokenKind::kUnclosedQuote:
      case TokenKind::kUnclosedComment:
        unexpected(MessageId::kNotationExpectedName, token);
      case TokenKind::kOpenParen:
        ++depth;
        break;
      case TokenKind::kCloseParen:
        if (depth == 0) {
          node.end = token.end;
          node.wordCount = static_cast<uint32_t>(program_.words_.size()) - node.firstWord;
          return;
        }
        --depth;
        break;
      default:
        break;
    }
    addWord(token);
  }
}

// The list of π: names separated by commas, up to closer (consumed).
void NotationParser::nameList(NotationNode& node, TokenKind closer) {
  node.firstWord = static_cast<uint32_t>(program_.words_.size());
  for (;;) {
    const Token name = nextSkippingLines(Mode::kList);
    if (name.kind != TokenKind::kWord) unexpected(MessageId::kNotationExpectedName, name);
    addWord(name);
    const Token after = nextSkippingLines(Mode::kList);
    if (after.kind == closer) break;
    if (after.kind != TokenKind::kComma) unexpected(MessageId::kNotationExpectedName, after);
  }
  node.wordCount = static_cast<uint32_t>(program_.words_.size()) - node.firstWord;
}

// ρ[S(a, b)], ρ[S] or ρ[new←old, ...], up to closer (consumed). The words are S and the new
// names, or the pairs of new and old names.
void NotationParser::renameArgument(NotationNode& node, TokenKind closer) {
  node.firstWord = static_cast<uint32_t>(program_.words_.size());
  const Token first = nextSkippingLines(Mode::kList);
  if (first.kind != TokenKind::kWord) unexpected(MessageId::kNotationExpectedName, first);
  addWord(first);
  Token after = nextSkippingLines(Mode::kList);
  if (after.kind == TokenKind::kAssign) {
    node.renameForm = RenameForm::kColumns;
    for (;;) {
      const Token old = nextSkippingLines(Mode::kList);
      if (old.kind != TokenKind::kWord) unexpected(MessageId::kNotationExpectedName, old);
      addWord(old);
      after = nextSkippingLines(Mode::kList);
      if (after.kind == closer) break;
      if (after.kind != TokenKind::kComma) unexpected(MessageId::kNotationExpectedName, after);
      const Token next = nextSkippingLines(Mode::kList);
      if (next.kind != TokenKind::kWord) unexpected(MessageId::kNotationExpectedName, next);
      addWord(next);
      const Token arrow = nextSkippingLines(Mode::kList);
      if (arrow.kind != TokenKind::kAssign) unexpected(MessageId::kNotationExpectedName, arrow);
    }
  } else if (after.kind == TokenKind::kOpenParen) {
    node.renameForm = RenameForm::kTableAndColumns;
    NotationNode columns{NodeKind::kName};
    nameList(columns, TokenKind::kCloseParen);
    const Token close = nextSkippingLines(Mode::kList);
    if (close.kind != closer) unexpected(MessageId::kNotationExpectedName, close);
  } else if (after.kind == closer) {
    node.renameForm = RenameForm::kTable;
  } else {
    unexpected(MessageId::kNotationExpectedName, after);
  }
  node.wordCount = static_cast<uint32_t>(program_.words_.size()) - node.firstWord;
}

NotationWord NotationParser::comparand(const Token& token) {
  if (token.kind != TokenKind::kWord) unexpected(MessageId::kNotationExpectedCondition, token);
  return {token.begin, token.end, token.spaced};
}

// A comparison whose first comparand is first: the sign and the second comparand follow.
int NotationParser::comparison(const Token& first) {
  NotationNode node{NodeKind::kCompare};
  node.firstWord = static_cast<uint32_t>(program_.words_.size());
  node.wordCount = 2;
  program_.words_.push_back(comparand(first));
  const Token sign = nextSkippingLines(Mode::kCondition);
  const std::optional<LogType> type =
      sign.kind == TokenKind::kSymbol ? comparisonOf(sign.symbol) : std::nullopt;
  if (!type) {
    if (sign.kind == TokenKind::kWord && isArithmetic(text(sign))) {
      unexpected(MessageId::kNotationExpectedComparison, sign);
    }
    std::string found = sign.kind == TokenKind::kEnd ? "the end of the program"
                                                     : "'" + std::string(text(sign)) + "'";
    fail(MessageId::kNotationExpectedComparison, sign.begin, sign.end, {text(first), found});
  }
  const Token second = nextSkippingLines(Mode::kCondition);
  program_.words_.push_back(comparand(second));
  node.compare = *type;
  node.begin = first.begin;
  node.end = second.end;
  node.opBegin = sign.begin;
  node.opEnd = sign.end;
  return addNode(node);
}

// EQ(a, b) and the other core comparisons, after the keyword.
int NotationParser::coreComparison(LogType type, const Token& keyword) {
  allow(Allowlist::kCore, keyword);
  nextSkippingLines(Mode::kCondition);  // the opening bracket
  NotationNode node{NodeKind::kCompare};
  node.compare = type;
  node.firstWord = static_cast<uint32_t>(program_.words_.size());
  node.wordCount = 2;
  program_.words_.push_back(comparand(nextSkippingLines(Mode::kCondition)));
  const Token comma = nextSkippingLines(Mode::kCondition);
  if (comma.kind != TokenKind::kComma) {
    fail(MessageId::kNotationTwoOperands, keyword.begin, keyword.end, {text(keyword)});
  }
  program_.words_.push_back(comparand(nextSkippingLines(Mode::kCondition)));
  const Token close = nextSkippingLines(Mode::kCondition);
  if (close.kind != TokenKind::kCloseParen) {
    unexpected(MessageId::kNotationExpectedConnective, close);
  }
  node.begin = node.opBegin = keyword.begin;
  node.opEnd = keyword.end;
  node.end = close.end;
  return addNode(node);
}

// A condition after its opening bracket, up to closer (consumed).
int NotationParser::condition(TokenKind closer) {
  Stack stack;
  for (;;) {
    if (stack.expectOperand) {
      conditionOperand(stack);
      continue;
    }
    const Token token = nextSkippingLines(Mode::kCondition);
    const std::string_view word = token.kind == TokenKind::kWord ? text(token) : "";
    const bool isAnd = word == "and" || word == "AND" ||
                       (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kAnd);
    const bool isOr = word == "or" || word == "OR" ||
                      (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kOr);
    if (isAnd || isOr) {
      reduceCondition(stack, isAnd ? 2 : 1);
      stack.frames.push_back({Frame::kInfix, isAnd ? NodeKind::kAnd : NodeKind::kOr, -1,
                              isAnd ? 2 : 1, 0, token.begin, token.end});
      stack.expectOperand = true;
    } else if (token.kind == TokenKind::kCloseParen || token.kind == TokenKind::kComma) {
      closeConditionBracket(stack, token);
    } else if (token.kind == closer) {
      reduceCondition(stack, 0);
      if (!stack.frames.empty()) {
        const Frame& open = stack.frames.back();
        fail(MessageId::kNotationUnclosed, open.begin, open.begin + 1,
             {program_.text_.substr(open.begin, 1)});
      }
      return stack.operands.back();
    } else {
      unexpected(MessageId::kNotationExpectedConnective, token);
    }
  }
}

// Where a condition's operand is due: a core comparison or connective, a negation, a bracket or
// a comparison written with its sign.
void NotationParser::conditionOperand(Stack& stack) {
  const Token token = nextSkippingLines(Mode::kCondition);
  const std::string_view word = token.kind == TokenKind::kWord ? text(token) : "";
  const LogType type = logTypeOf(word);
  const bool bracketFollows = peekSkippingLines(Mode::kCondition).kind == TokenKind::kOpenParen;
  if (isComparison(type) && bracketFollows) {
    stack.operands.push_back(coreComparison(type, token));
    stack.expectOperand = false;
  } else if ((type == LogType::kAnd || type == LogType::kOr) && bracketFollows) {
    allow(Allowlist::kCore, token);
    nextSkippingLines(Mode::kCondition);
    stack.frames.push_back({Frame::kCall, type == LogType::kAnd ? NodeKind::kAnd : NodeKind::kOr,
                            -1, 0, 0, token.begin, token.end});
  } else if (word == "NOT" || word == "not" ||
             (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kNot)) {
    stack.frames.push_back({Frame::kPrefix, NodeKind::kNot, -1, 3, 0, token.begin, token.end});
  } else if (token.kind == TokenKind::kOpenParen) {
    stack.frames.push_back({Frame::kGroup, NodeKind::kName, -1, 0, 0, token.begin, token.end});
  } else if (token.kind == TokenKind::kWord) {
    stack.operands.push_back(comparison(token));
    stack.expectOperand = false;
  } else {
    unexpected(MessageId::kNotationExpectedCondition, token);
  }
}

// Applies the negations on top and the connectives that bind at least as tight as precedence.
void NotationParser::reduceCondition(Stack& stack, int precedence) {
  std::vector<Frame>& frames = stack.frames;
  std::vector<int>& operands = stack.operands;
  while (!frames.empty() &&
         (frames.back().kind == Frame::kPrefix ||
          (frames.back().kind == Frame::kInfix && frames.back().precedence >= precedence))) {
    const Frame frame = frames.back();
    frames.pop_back();
    NotationNode node{frame.kind == Frame::kPrefix ? NodeKind::kNot : frame.node};
    node.operands[0] = operands.back();
    node.begin = frame.begin;
    node.end = at(operands.back()).end;
    if (frame.kind == Frame::kInfix) {
      operands.pop_back();
      node.operands[1] = node.operands[0];
      node.operands[0] = operands.back();
      node.begin = at(node.operands[0]).begin;
    }
    node.opBegin = frame.begin;
    node.opEnd = frame.opEnd;
    operands.back() = addNode(node);
  }
}

// A ',' between the two operands of AND(...) or OR(...), or a ')' that closes them or a bracket.
void NotationParser::closeConditionBracket(Stack& stack, const Token& token) {
  reduceCondition(stack, 0);
  if (stack.frames.empty()) unexpected(MessageId::kNotationExpectedConnective, token);
  Frame& open = stack.frames.back();
  if (token.kind == TokenKind::kComma) {
    if (open.kind != Frame::kCall || open.arguments != 0) {
      unexpected(MessageId::kNotationExpectedConnective, token);
    }
    open.arguments = 1;
    stack.expectOperand = true;
    return;
  }
  if (open.kind == Frame::kCall) {
    if (open.arguments != 1) {
      fail(MessageId::kNotationTwoOperands, open.begin, open.opEnd,
           {program_.text_.substr(open.begin, open.opEnd - open.begin)});
    }
    std::vector<int>& operands = stack.operands;
    NotationNode node{open.node};
    node.operands[1] = operands.back();
    operands.pop_back();
    node.operands[0] = operands.back();
    node.begin = node.opBegin = open.begin;
    node.opEnd = open.opEnd;
    node.end = token.end;
    operands.back() = addNode(node);
  }
  stack.frames.pop_back();
}

}  // namespace relalg
