#include "notation/NotationLexer.h"

#include <utility>

namespace relalg {

namespace {

struct Spelling {
  std::string_view bytes;
  Symbol symbol;
};

// The UTF-8 spellings of the symbols; "←" assigns and is listed apart.
constexpr Spelling kSpellings[] = {
    {"\xCF\x83", Symbol::kSigma},          // σ
    {"\xCF\x80", Symbol::kPi},             // π
    {"\xCF\x81", Symbol::kRho},            // ρ
    {"\xC3\x97", Symbol::kCross},          // ×
    {"\xE2\x88\xAA", Symbol::kUnion},      // ∪
    {"\xE2\x88\x92", Symbol::kMinus},      // −
    {"\xE2\x88\xA9", Symbol::kIntersect},  // ∩
    {"\xE2\x8B\x88", Symbol::kJoin},       // ⋈
    {"\xE2\x8B\x89", Symbol::kSemijoin},   // ⋉
    {"\xE2\x96\xB7", Symbol::kAntijoin},   // ▷
    {"\xE2\x8A\xB3", Symbol::kAntijoin},   // ⊳
    {"\xC3\xB7", Symbol::kDivide},         // ÷
    {"\xE2\x89\xA0", Symbol::kNeq},        // ≠
    {"\xE2\x89\xA4", Symbol::kLte},        // ≤
    {"\xE2\x89\xA5", Symbol::kGte},        // ≥
    {"\xE2\x88\xA7", Symbol::kAnd},        // ∧
    {"\xE2\x88\xA8", Symbol::kOr},         // ∨
    {"\xC2\xAC", Symbol::kNot},            // ¬
    {"\xE2\x8B\x8A", Symbol::kOutside},    // ⋊
    {"\xE2\x9F\x95", Symbol::kOutside},    // ⟕
    {"\xE2\x9F\x96", Symbol::kOutside},    // ⟖
    {"\xE2\x9F\x97", Symbol::kOutside},    // ⟗
    {"\xCE\xB3", Symbol::kOutside},        // γ
};
constexpr std::string_view kLeftArrow = "\xE2\x86\x90";  // ←

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Whether a symbol ends a word and stands as a token of its own in the mode: every symbol in
// expressions; in conditions and lists only those of comparisons and connectives.
bool symbolSeparates(NotationLexer::Mode mode, Symbol symbol) {
  if (mode == NotationLexer::Mode::kExpression) return true;
  return symbol >= Symbol::kEq && symbol <= Symbol::kNot;
}

}  // namespace

SymbolSpelling unicodeSymbolAt(std::string_view text) {
  if (text.empty() || static_cast<unsigned char>(text[0]) < 0x80) return {Symbol::kNone, 0, false};
  if (text.starts_with(kLeftArrow)) return {Symbol::kNone, kLeftArrow.size(), true};
  for (const Spelling& spelling : kSpellings) {
    if (text.starts_with(spelling.bytes)) return {spelling.symbol, spelling.bytes.size(), false};
  }
  return {Symbol::kNone, 0, false};
}

Symbol infixKeyword(std::string_view word) {
  constexpr std::pair<std::string_view, Symbol> kWords[] = {
      {"union", Symbol::kUnion},         {"minus", Symbol::kMinus},
      {"intersect", Symbol::kIntersect}, {"cross", Symbol::kCross},
      {"join", Symbol::kJoin},           {"semijoin", Symbol::kSemijoin},
      {"antijoin", Symbol::kAntijoin},   {"divide", Symbol::kDivide}};
  for (const auto& [text, symbol] : kWords) {
    if (word == text) return symbol;
  }
  return Symbol::kNone;
}

bool NotationLexer::skipSpace(bool& commented, bool& newline) {
  bool any = false;
  while (at_ < end_) {
    const char c = text_[at_];
    if (isBlank(c)) {
      ++at_;
    } else if (c == '-' && at(at_ + 1) == '-') {
      while (at_ < end_ && text_[at_] != '\n') ++at_;
      commented = true;
    } else if (c == '/' && at(at_ + 1) == '*') {
      const size_t close = text_.substr(0, end_).find("*/", at_ + 2);
      if (close == std::string_view::npos) return any;
      if (text_.substr(at_, close - at_).find('\n') != std::string_view::npos) newline = true;
      at_ = close + 2;
      commented = true;
    } else {
      return any;
    }
    any = true;
  }
  return any;
}

bool NotationLexer::endsWord(Mode mode, size_t k) const {
  const char c = at(k);
  switch (c) {
    case '\0':
    case '\n':
    case '(':
    case ')':
    case '[':
    case ']':
    case '{':
    case '}':
    case ',':
    case ';':
    case '=':
    case '<':
    case '>':
      return true;
    case '!':
    case ':':
      return at(k + 1) == '=';
    case '-':
      return mode == Mode::kExpression || at(k + 1) == '-';
    case '/':
      return at(k + 1) == '*';
    case '_':
      return at(k + 1) == '{';
    default:
      break;
  }
  if (k >= end_ || isBlank(c)) return true;
  const SymbolSpelling spelling = unicodeSymbolAt(text_.substr(k, end_ - k));
  return spelling.assign || (spelling.length > 0 && symbolSeparates(mode, spelling.symbol));
}

Token NotationLexer::word(Mode mode, size_t begin) {
  Token token;
  token.kind = TokenKind::kWord;
  token.begin = begin;
  size_t k = begin;
  while (k < end_ && (k == begin || !endsWord(mode, k))) {
    if (text_[k] == '\'') {
      size_t close = k + 1;
      while (close < end_ && text_[close] != '\'' && text_[close] != '\n') ++close;
      if (close >= end_ || text_[close] != '\'') {
        token.kind = TokenKind::kUnclosedQuote;
        k = close;
        break;
      }
      k = close + 1;
    } else {
      const SymbolSpelling spelling = unicodeSymbolAt(text_.substr(k, end_ - k));
      k += spelling.length > 0 ? spelling.length : 1;
    }
  }
  token.end = k;
  at_ = k;
  return token;
}

Token NotationLexer::next(Mode mode) {
  bool commented = false;
  bool newline = false;
  const size_t before = at_;
  const bool spaced = skipSpace(commented, newline);
  Token token;
  token.spaced = spaced;
  token.commented = commented;
  token.begin = at_;
  if (newline) {
    token.kind = TokenKind::kNewline;
    token.begin = before;
    token.end = at_;
    return token;
  }
  if (at_ >= end_) {
    token.end = at_;
    return token;
  }
  auto single = [&](TokenKind kind, size_t length, Symbol symbol = Symbol::kNone) {
    token.kind = kind;
    token.symbol = symbol;
    token.end = at_ + length;
    at_ = token.end;
    return token;
  };
  const char c = text_[at_];
  const char after = at(at_ + 1);
  switch (c) {
    case '\n':
      return single(TokenKind::kNewline, 1);
    case '(':
      return single(TokenKind::kOpenParen, 1);
    case ')':
      return single(TokenKind::kCloseParen, 1);
    case '[':
      return single(TokenKind::kOpenBracket, 1);
    case ']':
      return single(TokenKind::kCloseBracket, 1);
    case '}':
      return single(TokenKind::kCloseBrace, 1);
    case ',':
      return single(TokenKind::kComma, 1);
    case ';':
      return single(TokenKind::kSemicolon, 1);
    case '=':
      return single(TokenKind::kSymbol, 1, Symbol::kEq);
    case '>':
      return after == '=' ? single(TokenKind::kSymbol, 2, Symbol::kGte)
                          : single(TokenKind::kSymbol, 1, Symbol::kGt);
    case '<':
      if (after == '-' && mode != Mode::kCondition) return single(TokenKind::kAssign, 2);
      if (after == '=') return single(TokenKind::kSymbol, 2, Symbol::kLte);
      if (after == '>') return single(TokenKind::kSymbol, 2, Symbol::kNeq);
      return single(TokenKind::kSymbol, 1, Symbol::kLt);
    default:
      break;
  }
  if (c == '_' && after == '{') return single(TokenKind::kOpenBrace, 2);
  if (c == ':' && after == '=') return single(TokenKind::kAssign, 2);
  if (c == '!' && after == '=') return single(TokenKind::kSymbol, 2, Symbol::kNeq);
  if (c == '-' && mode == Mode::kExpression) return single(TokenKind::kSymbol, 1, Symbol::kMinus);
  if (c == '/' && after == '*') return single(TokenKind::kUnclosedComment, end_ - at_);
  const SymbolSpelling spelling = unicodeSymbolAt(text_.substr(at_, end_ - at_));
  if (spelling.assign) return single(TokenKind::kAssign, spelling.length);
  if (spelling.length > 0 && symbolSeparates(mode, spelling.symbol)) {
    token.unicode = true;
    return single(TokenKind::kSymbol, spelling.length, spelling.symbol);
  }
  Token made = word(mode, at_);
  made.spaced = spaced;
  made.commented = commented;
  return made;
}

}  // namespace relalg
