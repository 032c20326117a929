// NotationLexer cuts the program of a notation file into tokens, on demand: the parser asks for
// the next token in the mode of the place it stands at.
//  - Expression mode: a word is a table, a step or a keyword; '-' is the set difference and
//    "<-", ":=" and "←" assign.
//  - Condition mode (inside σ[...] and ⋈[...]): a word is a column, a constant or a keyword, and
//    may hold '-', '+', '/' and any letter, so that 2024-01-05 or -5 stays one word; "<-" is '<'
//    before a word that starts with '-'.
//  - List mode (the lists of π, ρ and the core forms): words as in condition mode, "<-" and "←"
//    are arrows.
// Blanks, tabs, carriage returns and comments ("--" to the end of the line, "/* ... */") separate
// tokens; a line feed is a token of its own (a comment that spans lines counts as one). An
// apostrophe opens a quoted stretch that ends at the next apostrophe of the same line and belongs
// to the word around it, as in the core language ('Kiss Anna', O'Brien'x'). Tokens are byte
// ranges of the text; the lexer never allocates.
#ifndef RELALG_NOTATION_NOTATIONLEXER_H
#define RELALG_NOTATION_NOTATIONLEXER_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace relalg {

enum class TokenKind : uint8_t {
  kEnd,
  kNewline,
  kWord,
  kOpenParen,
  kCloseParen,
  kOpenBracket,
  kCloseBracket,
  kOpenBrace,  // "_{", right after a keyword or a Greek letter
  kCloseBrace,
  kComma,
  kSemicolon,
  kAssign,  // ":=", "<-" or "←"
  kSymbol,
  kUnclosedQuote,    // an apostrophe without a partner on its line (the token runs to the line end)
  kUnclosedComment,  // "/*" without "*/" (the token runs to the end of the program)
};

// The operators written as symbols (and '-', '=', '<' and the like in ASCII).
enum class Symbol : uint8_t {
  kNone,
  kSigma,
  kPi,
  kRho,
  kCross,
  kUnion,
  kMinus,
  kIntersect,
  kJoin,
  kSemijoin,
  kAntijoin,
  kDivide,
  kEq,
  kNeq,
  kLt,
  kLte,
  kGt,
  kGte,
  kAnd,
  kOr,
  kNot,
  kOutside,  // outer joins, grouping, the right semijoin: operators this language does not have
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Symbol symbol = Symbol::kNone;
  size_t begin = 0;
  size_t end = 0;
  bool spaced = false;     // blanks, a comment or a line feed stand right before it
  bool commented = false;  // a comment stands right before it
  bool unicode = false;    // a symbol written with a letter beyond ASCII
};

class NotationLexer {
 public:
  enum class Mode : uint8_t { kExpression, kCondition, kList };

  // Reads text from begin up to end (the end of the program).
  NotationLexer(std::string_view text, size_t begin, size_t end)
      : text_(text), at_(begin), end_(end) {}

  Token next(Mode mode);
  Token peek(Mode mode) {
    const size_t at = at_;
    Token token = next(mode);
    at_ = at;
    return token;
  }
  std::string_view text(const Token& token) const {
    return text_.substr(token.begin, token.end - token.begin);
  }
  size_t position() const { return at_; }

 private:
  // Skips blanks and comments; returns whether any stood there, and sets commented for a comment
  // and newline for a comment that spans lines. Stops before an unclosed "/*".
  bool skipSpace(bool& commented, bool& newline);
  Token word(Mode mode, size_t begin);
  bool endsWord(Mode mode, size_t at) const;
  char at(size_t k) const { return k < end_ ? text_[k] : '\0'; }

  std::string_view text_;
  size_t at_;
  size_t end_;
};

// The symbol spelled by the bytes at the start of text and their number, or kNone and 0.
// "←" gives kNone with its length in assign, so that callers can tell it apart.
struct SymbolSpelling {
  Symbol symbol;
  size_t length;
  bool assign;
};
SymbolSpelling unicodeSymbolAt(std::string_view text);

// The infix operator that a keyword names (union, minus, intersect, cross, join, semijoin,
// antijoin, divide), or kNone.
Symbol infixKeyword(std::string_view word);

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATIONLEXER_H
