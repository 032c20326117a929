#include "notation/NotationProgram.h"

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <optional>
#include <string>

#include "base/Messages.h"
#include "notation/NotationError.h"
#include "notation/NotationLexer.h"

namespace relalg {

namespace {

using Mode = NotationLexer::Mode;

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

bool isArithmetic(std::string_view word) {
  return word == "+" || word == "*" || word == "/" || word == "-";
}

}  // namespace

// The parser of one program: the lexer, the allowlist and the arrays it fills.
class NotationParser {
 public:
  NotationParser(NotationProgram& program, size_t begin, size_t end, const Allowlist& allow)
      : program_(program), lexer_(program.text_, begin, end), allow_(allow) {}

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

  int expression();
  int condition(TokenKind closer);
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
  friend class NotationProgram;
};

NotationProgram::NotationProgram(std::string_view text, size_t begin, size_t end,
                                 const Allowlist& allow)
    : text_(text) {
  lineStarts_.push_back(0);
  for (size_t k = 0; k < end; ++k) {
    if (text[k] == '\n') lineStarts_.push_back(k + 1);
  }
  NotationParser parser(*this, begin, end, allow);
  parser.end_ = end;
  parser.parse();
}

size_t NotationProgram::lineOf(size_t offset) const {
  return static_cast<size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                             lineStarts_.begin());
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
  std::vector<Frame> frames;
  std::vector<int> operands;
  size_t depth = 0;
  bool expectOperand = true;
  bool lineEnded = false;  // a line ended inside brackets since the last operand or operator
  for (;;) {
    if (expectOperand) {
      lineEnded = false;
      const Token token = nextSkippingLines(Mode::kExpression);
      if (token.kind == TokenKind::kWord) {
        const std::string_view word = text(token);
        const ExprType core = exprTypeOf(word);
        if (core != ExprType::kTable &&
            peekSkippingLines(Mode::kExpression).kind == TokenKind::kOpenParen) {
          allow(Allowlist::kCore, token);
          nextSkippingLines(Mode::kExpression);
          frames.push_back({Frame::kCall, coreKind(core), -1, 0, 0, token.begin, token.end});
          ++depth;
          continue;
        }
        const Symbol prefix = prefixKeyword(word);
        if (prefix != Symbol::kNone && peekOpensArgument()) {
          frames.push_back(prefixFrame(prefix, token));
          continue;
        }
        NotationNode name{NodeKind::kName};
        name.begin = name.opBegin = token.begin;
        name.end = name.opEnd = token.end;
        operands.push_back(addNode(name));
        expectOperand = false;
        continue;
      }
      if (token.kind == TokenKind::kSymbol &&
          (token.symbol == Symbol::kSigma || token.symbol == Symbol::kPi ||
           token.symbol == Symbol::kRho)) {
        frames.push_back(prefixFrame(token.symbol, token));
        continue;
      }
      if (token.kind == TokenKind::kOpenParen) {
        frames.push_back({Frame::kGroup, NodeKind::kName, -1, 0, 0, token.begin, token.end});
        ++depth;
        continue;
      }
      unexpected(MessageId::kNotationExpectedExpression, token);
    }
    const Token token = lexer_.peek(Mode::kExpression);
    if (token.kind == TokenKind::kNewline && !atStatementEnd(token, depth)) {
      lexer_.next(Mode::kExpression);
      lineEnded = depth > 0;
      continue;
    }
    const bool startsLine = lineEnded;
    lineEnded = false;
    Symbol symbol = token.kind == TokenKind::kSymbol ? token.symbol : Symbol::kNone;
    if (token.kind == TokenKind::kWord) symbol = infixKeyword(text(token));
    if (const std::optional<Infix> infix = infixOfSymbol(symbol)) {
      lexer_.next(Mode::kExpression);
      allow(infix->item, token);
      Frame frame{Frame::kInfix, infix->kind, -1, infix->precedence, 0, token.begin, token.end};
      if (infix->kind == NodeKind::kJoin && peekOpensArgument()) {
        frame.made = condition(openArgument(token));
      }
      reduceTighter(frames, operands, infix->precedence);
      frames.push_back(frame);
      expectOperand = true;
      continue;
    }
    if (token.kind == TokenKind::kCloseParen) {
      lexer_.next(Mode::kExpression);
      reduceTighter(frames, operands, 0);
      if (frames.empty()) fail(MessageId::kNotationUnmatched, token.begin, token.end, {")"});
      const Frame open = frames.back();
      frames.pop_back();
      --depth;
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
      continue;
    }
    if (token.kind == TokenKind::kComma) {
      lexer_.next(Mode::kExpression);
      reduceTighter(frames, operands, 0);
      if (frames.empty() || frames.back().kind != Frame::kCall || frames.back().arguments != 0) {
        unexpected(MessageId::kNotationExpectedOperator, token);
      }
      Frame& call = frames.back();
      call.arguments = 1;
      if (!takesParameter(call.node)) {
        expectOperand = true;
        continue;
      }
      operands.back() = callNode(call, operands.back(), -1, 0);
      frames.pop_back();
      --depth;
      continue;
    }
    if (atStatementEnd(token, depth)) {
      reduceTighter(frames, operands, 0);
      if (!frames.empty()) {
        const Frame& open = frames.back();
        fail(MessageId::kNotationUnclosed, open.begin, open.begin + 1,
             {open.kind == Frame::kGroup ? "(" : "bracket"});
      }
      lexer_.next(Mode::kExpression);
      return operands.back();
    }
    // Inside brackets, a line that starts with something other than an operator most likely
    // follows a bracket that was never closed.
    if (startsLine) {
      const Frame& open = innermostBracket(frames);
      fail(MessageId::kNotationUnclosed, open.begin, open.begin + 1, {"("});
    }
    unexpected(MessageId::kNotationExpectedOperator, token);
  }
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
  std::vector<Frame> frames;
  std::vector<int> operands;
  bool expectOperand = true;
  auto reduceCondition = [&](int precedence) {
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
  };
  for (;;) {
    if (expectOperand) {
      const Token token = nextSkippingLines(Mode::kCondition);
      const std::string_view word = token.kind == TokenKind::kWord ? text(token) : "";
      const LogType type = logTypeOf(word);
      const bool bracketFollows = peekSkippingLines(Mode::kCondition).kind == TokenKind::kOpenParen;
      if (isComparison(type) && bracketFollows) {
        operands.push_back(coreComparison(type, token));
        expectOperand = false;
      } else if ((type == LogType::kAnd || type == LogType::kOr) && bracketFollows) {
        allow(Allowlist::kCore, token);
        nextSkippingLines(Mode::kCondition);
        frames.push_back({Frame::kCall, type == LogType::kAnd ? NodeKind::kAnd : NodeKind::kOr, -1,
                          0, 0, token.begin, token.end});
      } else if (word == "NOT" || word == "not" ||
                 (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kNot)) {
        frames.push_back({Frame::kPrefix, NodeKind::kNot, -1, 3, 0, token.begin, token.end});
      } else if (token.kind == TokenKind::kOpenParen) {
        frames.push_back({Frame::kGroup, NodeKind::kName, -1, 0, 0, token.begin, token.end});
      } else if (token.kind == TokenKind::kWord) {
        operands.push_back(comparison(token));
        expectOperand = false;
      } else {
        unexpected(MessageId::kNotationExpectedCondition, token);
      }
      continue;
    }
    const Token token = nextSkippingLines(Mode::kCondition);
    const std::string_view word = token.kind == TokenKind::kWord ? text(token) : "";
    const bool isAnd = word == "and" || word == "AND" ||
                       (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kAnd);
    const bool isOr = word == "or" || word == "OR" ||
                      (token.kind == TokenKind::kSymbol && token.symbol == Symbol::kOr);
    if (isAnd || isOr) {
      reduceCondition(isAnd ? 2 : 1);
      frames.push_back({Frame::kInfix, isAnd ? NodeKind::kAnd : NodeKind::kOr, -1, isAnd ? 2 : 1, 0,
                        token.begin, token.end});
      expectOperand = true;
    } else if (token.kind == TokenKind::kCloseParen || token.kind == TokenKind::kComma) {
      reduceCondition(0);
      if (frames.empty()) unexpected(MessageId::kNotationExpectedConnective, token);
      Frame& open = frames.back();
      if (token.kind == TokenKind::kComma) {
        if (open.kind != Frame::kCall || open.arguments != 0) {
          unexpected(MessageId::kNotationExpectedConnective, token);
        }
        open.arguments = 1;
        expectOperand = true;
        continue;
      }
      if (open.kind == Frame::kCall) {
        if (open.arguments != 1) {
          fail(MessageId::kNotationTwoOperands, open.begin, open.opEnd,
               {program_.text_.substr(open.begin, open.opEnd - open.begin)});
        }
        NotationNode node{open.node};
        node.operands[1] = operands.back();
        operands.pop_back();
        node.operands[0] = operands.back();
        node.begin = node.opBegin = open.begin;
        node.opEnd = open.opEnd;
        node.end = token.end;
        operands.back() = addNode(node);
      }
      frames.pop_back();
    } else if (token.kind == closer) {
      reduceCondition(0);
      if (!frames.empty()) {
        fail(MessageId::kNotationUnclosed, frames.back().begin, frames.back().begin + 1,
             {program_.text_.substr(frames.back().begin, 1)});
      }
      return operands.back();
    } else {
      unexpected(MessageId::kNotationExpectedConnective, token);
    }
  }
}

}  // namespace relalg
