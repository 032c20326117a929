#include "notation/NotationParser.h"

#include <cassert>
#include <initializer_list>
#include <optional>
#include <string>

#include "base/Messages.h"
#include "notation/NotationError.h"
#include "notation/NotationLexer.h"

namespace relalg {

namespace {

// What an infix operator of expressions is: its node, its precedence (higher binds tighter) and
// the allowlist item it needs.
struct Infix {
  NodeKind kind;
  int precedence;
  Allowlist::Item item;
};

constexpr int kUnaryPrecedence = 4;

std::optional<Infix> infixOfSymbol(Symbol symbol) {
  switch (symbol) {
    case Symbol::kUnion:
      return Infix{NodeKind::kUnion, 1, Allowlist::kUnion};
    case Symbol::kMinus:
      return Infix{NodeKind::kMinus, 1, Allowlist::kMinus};
    case Symbol::kIntersect:
      return Infix{NodeKind::kIntersect, 2, Allowlist::kIntersect};
    case Symbol::kCross:
      return Infix{NodeKind::kCross, 3, Allowlist::kCross};
    case Symbol::kJoin:
      return Infix{NodeKind::kJoin, 3, Allowlist::kJoin};
    case Symbol::kSemijoin:
      return Infix{NodeKind::kSemijoin, 3, Allowlist::kSemijoin};
    case Symbol::kAntijoin:
      return Infix{NodeKind::kAntijoin, 3, Allowlist::kAntijoin};
    case Symbol::kDivide:
      return Infix{NodeKind::kDivide, 3, Allowlist::kDivide};
    default:
      return std::nullopt;
  }
}

Symbol prefixKeyword(std::string_view word) {
  if (word == "sigma") return Symbol::kSigma;
  if (word == "pi") return Symbol::kPi;
  if (word == "rho") return Symbol::kRho;
  return Symbol::kNone;
}

NodeKind coreKind(ExprType type) {
  switch (type) {
    case ExprType::kUnion:
      return NodeKind::kCoreUnion;
    case ExprType::kMinus:
      return NodeKind::kCoreMinus;
    case ExprType::kProduct:
      return NodeKind::kCoreProduct;
    case ExprType::kProject:
      return NodeKind::kCoreProject;
    case ExprType::kRename:
      return NodeKind::kCoreRename;
    default:
      return NodeKind::kCoreSelect;
  }
}

bool takesParameter(NodeKind kind) {
  return kind == NodeKind::kCoreProject || kind == NodeKind::kCoreRename ||
         kind == NodeKind::kCoreSelect;
}

}  // namespace

NotationProgram parseNotation(std::string_view text, size_t begin, size_t end,
                              const Allowlist& allow) {
  NotationProgram program(text, end);
  NotationParser parser(program, begin, end, allow);
  parser.parse();
  return program;
}

bool NotationParser::isArithmetic(std::string_view word) {
  return word == "+" || word == "*" || word == "/" || word == "-";
}

void NotationParser::fail(MessageId id, size_t begin, size_t end,
                          std::initializer_list<std::string_view> args) {
  throw NotationError(begin, end, message(id, args));
}

void NotationParser::unexpected(MessageId id, const Token& token) {
  switch (token.kind) {
    case TokenKind::kUnclosedQuote:
      fail(MessageId::kNotationUnclosedQuote, token.begin, token.begin + 1, {});
    case TokenKind::kUnclosedComment:
      fail(MessageId::kNotationUnclosedComment, token.begin, token.begin + 2, {});
    case TokenKind::kSymbol:
      if (token.symbol == Symbol::kOutside) {
        fail(MessageId::kNotationOutside, token.begin, token.end, {text(token)});
      }
      break;
    case TokenKind::kWord:
      if (isArithmetic(text(token)) && id != MessageId::kNotationExpectedExpression) {
        fail(MessageId::kNotationOutside, token.begin, token.end, {text(token)});
      }
      break;
    default:
      break;
  }
  std::string found;
  if (token.kind == TokenKind::kEnd) {
    found = "the end of the program";
  } else if (token.kind == TokenKind::kNewline) {
    found = "the end of the line";
  } else {
    found = "'" + std::string(text(token)) + "'";
  }
  fail(id, token.begin, token.end, {found});
}

void NotationParser::allow(Allowlist::Item item, const Token& token) {
  if (allow_.allows(item)) return;
  fail(MessageId::kNotationForbidden, token.begin, token.end,
       {text(token), allow_.names(), Allowlist::idiom(item)});
}

void NotationParser::parse() {
  for (;;) {
    const Token token = lexer_.peek(Mode::kExpression);
    if (token.kind == TokenKind::kNewline || token.kind == TokenKind::kSemicolon) {
      lexer_.next(Mode::kExpression);
      continue;
    }
    if (token.kind == TokenKind::kEnd) break;
    Statement statement{-1, token.begin, token.begin, token.begin};
    if (token.kind == TokenKind::kWord) {
      const size_t at = lexer_.position();
      lexer_.next(Mode::kExpression);
      const Token assign = lexer_.next(Mode::kExpression);
      if (assign.kind == TokenKind::kAssign) {
        allow(Allowlist::kSteps, assign);
        statement.nameEnd = token.end;
      } else {
        lexer_ = NotationLexer(program_.text_, at, end_);
      }
    }
    statement.root = expression();
    program_.statements_.push_back(statement);
  }
}

// Whether the statement ends at token: at depth 0, a line end (unless the next line continues the
// expression), a ';' or the end of the program.
bool NotationParser::atStatementEnd(const Token& token, size_t depth) {
  if (token.kind == TokenKind::kEnd || token.kind == TokenKind::kSemicolon) return true;
  return token.kind == TokenKind::kNewline && depth == 0 && !nextLineContinues();
}

// Whether the line after a complete expression starts with an infix operator (a keyword that a
// bracket follows starts a core form, and so a statement of its own).
bool NotationParser::nextLineContinues() {
  const size_t at = lexer_.position();
  lexer_.next(Mode::kExpression);
  const Token first = nextSkippingLines(Mode::kExpression);
  bool continues = first.kind == TokenKind::kSymbol && infixOfSymbol(first.symbol).has_value();
  if (first.kind == TokenKind::kWord && infixKeyword(text(first)) != Symbol::kNone) {
    continues = lexer_.peek(Mode::kExpression).kind != TokenKind::kOpenParen;
  }
  lexer_ = NotationLexer(program_.text_, at, end_);
  return continues;
}

int NotationParser::expression() {
  Stack stack;
  for (;;) {
    if (stack.expectOperand) {
      operand(stack);
      continue;
    }
    const Token token = lexer_.peek(Mode::kExpression);
    if (token.kind == TokenKind::kNewline && !atStatementEnd(token, stack.depth)) {
      lexer_.next(Mode::kExpression);
      stack.lineEnded = stack.depth > 0;
      continue;
    }
    const bool startsLine = stack.lineEnded;
    stack.lineEnded = false;
    if (infixOperator(stack, token)) continue;
    if (token.kind == TokenKind::kCloseParen) {
      closeBracket(stack, token);
      continue;
    }
    if (token.kind == TokenKind::kComma) {
      comma(stack, token);
      continue;
    }
    if (atStatementEnd(token, stack.depth)) {
      reduceTighter(stack.frames, stack.operands, 0);
      if (!stack.frames.empty()) {
        const Frame& open = stack.frames.back();
        fail(MessageId::kNotationUnclosed, open.begin, open.begin + 1,
             {open.kind == Frame::kGroup ? "(" : "bracket"});
      }
      lexer_.next(Mode::kExpression);
      return stack.operands.back();
    }
    // Inside brackets, a line that starts with something other than an operator most likely
    // follows a bracket that was never closed.
    if (startsLine) {
      const Frame& open = innermostBracket(stack.frames);
      fail(MessageId::kNotationUnclosed, open.begin, open.begin + 1, {"("});
    }
    unexpected(MessageId::kNotationExpectedOperator, token);
  }
}

// Where an operand is due: a core form's opening, a prefix operator, a bracket or a name.
void NotationParser::operand(Stack& stack) {
  stack.lineEnded = false;
  const Token token = nextSkippingLines(Mode::kExpression);
  if (token.kind == TokenKind::kWord) {
    const std::string_view word = text(token);
    const ExprType core = exprTypeOf(word);
    if (core != ExprType::kTable &&
        peekSkippingLines(Mode::kExpression).kind == TokenKind::kOpenParen) {
      allow(Allowlist::kCore, token);
      nextSkippingLines(Mode::kExpression);
      stack.frames.push_back({Frame::kCall, coreKind(core), -1, 0, 0, token.begin, token.end});
      ++stack.depth;
      return;
    }
    const Symbol prefix = prefixKeyword(word);
    if (prefix != Symbol::kNone && peekOpensArgument()) {
      stack.frames.push_back(prefixFrame(prefix, token));
      return;
    }
    NotationNode name{NodeKind::kName};
    name.begin = name.opBegin = token.begin;
    name.end = name.opEnd = token.end;
    stack.operands.push_back(addNode(name));
    stack.expectOperand = false;
    return;
  }
  if (token.kind == TokenKind::kSymbol &&
      (token.symbol == Symbol::kSigma || token.symbol == Symbol::kPi ||
       token.symbol == Symbol::kRho)) {
    stack.frames.push_back(prefixFrame(token.symbol, token));
    return;
  }
  if (token.kind == TokenKind::kOpenParen) {
    stack.frames.push_back({Frame::kGroup, NodeKind::kName, -1, 0, 0, token.begin, token.end});
    ++stack.depth;
    return;
  }
  unexpected(MessageId::kNotationExpectedExpression, token);
}

// An infix operator after an operand (with a θ-join's condition); false for any other token.
bool NotationParser::infixOperator(Stack& stack, const Token& token) {
  Symbol symbol = token.kind == TokenKind::kSymbol ? token.symbol : Symbol::kNone;
  if (token.kind == TokenKind::kWord) symbol = infixKeyword(text(token));
  const std::optional<Infix> infix = infixOfSymbol(symbol);
  if (!infix) return false;
  lexer_.next(Mode::kExpression);
  allow(infix->item, token);
  Frame frame{Frame::kInfix, infix->kind, -1, infix->precedence, 0, token.begin, token.end};
  if (infix->kind == NodeKind::kJoin && peekOpensArgument()) {
    frame.made = condition(openArgument(token));
  }
  reduceTighter(stack.frames, stack.operands, infix->precedence);
  stack.frames.push_back(frame);
  stack.expectOperand = true;
  return true;
}

// A ')' closes a core form of two operands, or a bracketed expression.
void NotationParser::closeBracket(Stack& stack, const Token& token) {
  lexer_.next(Mode::kExpression);
  std::vector<int>& operands = stack.operands;
  reduceTighter(stack.frames, operands, 0);
  if (stack.frames.empty()) fail(MessageId::kNotationUnmatched, token.begin, token.end, {")"});
  const Frame open = stack.frames.back();
  stack.frames.pop_back();
  --stack.depth;
  if (open.kind == Frame::kCall) {
    if (open.arguments != 1 || takesParameter(open.node)) {
      fail(MessageId::kNotationTwoOperands, open.begin, open.opEnd,
           {program_.text_.substr(open.begin, open.opEnd - open.begin)});
    }
    const int second = operands.back();
    operands.pop_back();
    const int first = operands.back();
    operands.back() = callNode(open, first, second, token.end);
  } else if (open.kind == Frame::kGroup) {
    at(operands.back()).begin = open.begin;  // a bracketed expression's bytes hold its brackets
    at(operands.back()).end = token.end;
  }
}

// A ',' ends a core form's first operand: its second operand, or its parameter, follows.
void NotationParser::comma(Stack& stack, const Token& token) {
  lexer_.next(Mode::kExpression);
  reduceTighter(stack.frames, stack.operands, 0);
  if (stack.frames.empty() || stack.frames.back().kind != Frame::kCall ||
      stack.frames.back().arguments != 0) {
    unexpected(MessageId::kNotationExpectedOperator, token);
  }
  Frame& call = stack.frames.back();
  call.arguments = 1;
  if (!takesParameter(call.node)) {
    stack.expectOperand = true;
    return;
  }
  stack.operands.back() = callNode(call, stack.operands.back(), -1, 0);
  stack.frames.pop_back();
  --stack.depth;
}

const NotationParser::Frame& NotationParser::innermostBracket(const std::vector<Frame>& frames) {
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
    if (frame->kind == Frame::kGroup || frame->kind == Frame::kCall) return *frame;
  }
  return frames.back();
}

// Applies the frame on top to the operands on top.
void NotationParser::reduce(std::vector<Frame>& frames, std::vector<int>& operands) {
  const Frame frame = frames.back();
  frames.pop_back();
  if (frame.kind == Frame::kPrefix) {
    NotationNode& made = at(frame.made);
    made.operands[0] = operands.back();
    made.end = at(operands.back()).end;
    operands.back() = frame.made;
    return;
  }
  assert(frame.kind == Frame::kInfix && operands.size() >= 2);
  NotationNode node{frame.node};
  node.operands[1] = operands.back();
  operands.pop_back();
  node.operands[0] = operands.back();
  node.condition = frame.made;
  node.begin = at(node.operands[0]).begin;
  node.end = at(node.operands[1]).end;
  node.opBegin = frame.begin;
  node.opEnd = frame.opEnd;
  operands.back() = addNode(node);
}

// Reduces the prefix operators on top and the infix ones that bind at least as tight as
// precedence (all of them down to the nearest bracket for 0).
void NotationParser::reduceTighter(std::vector<Frame>& frames, std::vector<int>& operands,
                                   int precedence) {
  while (!frames.empty() &&
         (frames.back().kind == Frame::kPrefix ||
          (frames.back().kind == Frame::kInfix && frames.back().precedence >= precedence))) {
    reduce(frames, operands);
  }
}

bool NotationParser::peekOpensArgument() {
  const Token next = lexer_.peek(Mode::kExpression);
  return next.kind == TokenKind::kOpenBracket ||
         (next.kind == TokenKind::kOpenBrace && text(next) == "_{");
}

// Consumes the opening of an operator's argument; returns the token kind that closes it.
TokenKind NotationParser::openArgument(const Token& op) {
  const Token open = lexer_.next(Mode::kExpression);
  if (open.kind == TokenKind::kOpenBracket) return TokenKind::kCloseBracket;
  if (open.kind == TokenKind::kOpenBrace && text(open) == "_{") return TokenKind::kCloseBrace;
  fail(MessageId::kNotationExpectedArgument, op.begin, op.end, {text(op)});
}

NotationParser::Frame NotationParser::prefixFrame(Symbol symbol, const Token& token) {
  NotationNode node{symbol == Symbol::kSigma ? NodeKind::kSelect
                    : symbol == Symbol::kPi  ? NodeKind::kProject
                                             : NodeKind::kRename};
  allow(symbol == Symbol::kSigma ? Allowlist::kSigma
        : symbol == Symbol::kPi  ? Allowlist::kPi
                                 : Allowlist::kRho,
        token);
  node.begin = node.opBegin = token.begin;
  node.opEnd = token.end;
  const TokenKind closer = openArgument(token);
  if (node.kind == NodeKind::kSelect) {
    node.condition = condition(closer);
  } else if (node.kind == NodeKind::kProject) {
    nameList(node, closer);
  } else {
    renameArgument(node, closer);
  }
  return {Frame::kPrefix, node.kind, addNode(node), kUnaryPrecedence, 0, token.begin, token.end};
}

// The node of a core form: union, minus and product of operand and second, or a form whose
// parameter follows (operand is its relation).
int NotationParser::callNode(const Frame& call, int operand, int second, size_t end) {
  NotationNode node{call.node};
  node.operands[0] = operand;
  node.operands[1] = second;
  node.begin = node.opBegin = call.begin;
  node.opEnd = call.opEnd;
  node.end = end;
  if (second < 0) parameter(node);
  return addNode(node);
}

}  // namespace relalg
