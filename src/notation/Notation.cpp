#include "notation/Notation.h"

#include <algorithm>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "files/LineReader.h"
#include "language/SyntaxTree.h"
#include "notation/Lowering.h"
#include "notation/NotationError.h"
#include "notation/NotationLexer.h"
#include "notation/NotationParser.h"
#include "notation/NotationProgram.h"

namespace relalg {

namespace {

constexpr std::string_view kAllowLine = "-- allow:";

// The lines of the program: every line before the first empty one, as byte ranges of the file
// (line ends not included), and where the table blocks start.
struct ProgramLines {
  size_t begin = 0;
  std::vector<std::pair<size_t, size_t>> lines;
  size_t end = 0;  // the first byte of the first empty line, or the file's end
};

ProgramLines programLines(std::string_view file) {
  ProgramLines program;
  program.begin = file.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  program.end = file.size();
  LineReader reader(file.substr(program.begin));
  for (std::string_view line; reader.next(line);) {
    const size_t at = static_cast<size_t>(line.data() - file.data());
    if (line.empty()) {
      program.end = at;
      break;
    }
    program.lines.emplace_back(at, at + line.size());
  }
  return program;
}

// Whether a word holds a Greek letter outside apostrophes.
bool holdsGreek(std::string_view word) {
  bool quoted = false;
  for (size_t k = 0; k + 1 < word.size(); ++k) {
    const auto lead = static_cast<unsigned char>(word[k]);
    const auto next = static_cast<unsigned char>(word[k + 1]);
    if (word[k] == '\'') quoted = !quoted;
    const bool greek = (lead == 0xCE || lead == 0xCF || (lead == 0xCD && next >= 0xB0)) &&
                       next >= 0x80 && next <= 0xBF;
    if (greek && !quoted) return true;
  }
  return false;
}

struct LineMarks {
  bool notation = false;  // a mark that only the notation has
  int depth = 0;          // brackets opened and not closed by the line's end
};

LineMarks marksOf(std::string_view file, size_t begin, size_t end) {
  using Mode = NotationLexer::Mode;
  LineMarks marks;
  NotationLexer lexer(file, begin, end);
  TokenKind previous = TokenKind::kEnd;
  for (;;) {
    const Token token = lexer.next(Mode::kExpression);
    marks.notation = marks.notation || token.commented;
    switch (token.kind) {
      case TokenKind::kEnd:
        return marks;
      case TokenKind::kAssign:
      case TokenKind::kOpenBracket:
      case TokenKind::kUnclosedComment:
        marks.notation = true;
        break;
      case TokenKind::kOpenBrace:
        marks.notation = marks.notation || lexer.text(token) == "_{";
        break;
      case TokenKind::kSemicolon:
        marks.notation = marks.notation || lexer.peek(Mode::kExpression).kind != TokenKind::kEnd;
        break;
      case TokenKind::kSymbol:
        marks.notation = marks.notation || token.unicode;
        break;
      case TokenKind::kWord: {
        const std::string_view word = lexer.text(token);
        const bool afterOperand = previous == TokenKind::kWord ||
                                  previous == TokenKind::kCloseParen ||
                                  previous == TokenKind::kCloseBracket;
        marks.notation = marks.notation || holdsGreek(word) ||
                         (afterOperand && infixKeyword(word) != Symbol::kNone);
        break;
      }
      case TokenKind::kOpenParen:
        ++marks.depth;
        break;
      case TokenKind::kCloseParen:
        --marks.depth;
        break;
      default:
        break;
    }
    previous = token.kind;
  }
}

bool passesThrough(std::string_view file, const ProgramLines& program) {
  if (program.lines.empty()) return true;
  const LineMarks first = marksOf(file, program.lines[0].first, program.lines[0].second);
  if (first.notation) return false;
  if (program.lines.size() == 1) return true;
  if (first.depth > 0) return false;
  return std::none_of(program.lines.begin() + 1, program.lines.end(), [&](const auto& line) {
    return marksOf(file, line.first, line.second).notation;
  });
}

// A core line passed through: without "core" in the allowlist it may name tables only.
void checkCoreAllowed(std::string_view file, const ProgramLines& program, const Allowlist& allow) {
  if (allow.allows(Allowlist::kCore) || program.lines.empty()) return;
  const auto [begin, end] = program.lines[0];
  const SyntaxTree tree(std::string(file.substr(begin, end - begin)));
  for (int node = 0; node < tree.size(); ++node) {
    if (!tree.isExpression(node) || tree.exprType(node) == ExprType::kTable) continue;
    const size_t at = begin + tree.lineOffset(tree.command(node));
    throw NotationError(
        at, at + tree.command(node).size(),
        message(MessageId::kNotationForbidden,
                {tree.command(node), allow.names(), Allowlist::idiom(Allowlist::kCore)}));
  }
}

// A first program line "-- allow: LIST" restricts the allowlist further.
void readAllowLine(std::string_view file, const ProgramLines& program, Allowlist& allow) {
  if (program.lines.empty()) return;
  const auto [begin, end] = program.lines[0];
  std::string_view line = file.substr(begin, end - begin);
  const size_t blanks = line.find_first_not_of(" \t");
  if (blanks == std::string_view::npos || !line.substr(blanks).starts_with(kAllowLine)) return;
  line.remove_prefix(blanks + kAllowLine.size());
  if (const std::optional<std::string_view> unknown = allow.restrict(line)) {
    const size_t at = static_cast<size_t>(unknown->data() - file.data());
    throw NotationError(at, at + unknown->size(),
                        message(MessageId::kNotationUnknownAllowed, {*unknown}));
  }
}

}  // namespace

bool isCoreInput(std::string_view file) { return passesThrough(file, programLines(file)); }

size_t programEnd(std::string_view file) { return programLines(file).end; }

LoweredInput lowerNotation(std::string_view file, Allowlist allow) {
  const ProgramLines lines = programLines(file);
  LoweredInput lowered;
  if (passesThrough(file, lines)) {
    checkCoreAllowed(file, lines, allow);
    lowered.input = file;
    lowered.passedThrough = true;
    lowered.blocksBegin = lines.end;
    lowered.allow = allow;
    if (!lines.lines.empty()) {
      lowered.coreLine =
          file.substr(lines.lines[0].first, lines.lines[0].second - lines.lines[0].first);
    }
    return lowered;
  }
  readAllowLine(file, lines, allow);
  const NotationProgram program = parseNotation(file, lines.begin, lines.end, allow);
  const StoredSchemas tables = readStoredSchemas(file.substr(lines.end));
  Lowering lowering(program, tables);
  const int query = lowering.lower();
  CoreLine line = lowering.core().write(query);
  lowered.input = line.text + "\n";
  lowered.input += file.substr(lines.end);
  lowered.coreLine = std::move(line.text);
  lowered.blocksBegin = lines.end;
  lowered.allow = allow;
  lowered.sourceMap = std::move(line.map);
  lowered.freshNames = lowering.freshNames();
  lowered.nodes = program.nodes();
  lowered.statements = program.statements();
  return lowered;
}

FilePlace placeOf(std::string_view file, size_t offset) {
  FilePlace place{1, 1};
  size_t lineStart = 0;
  for (size_t k = 0; k < std::min(offset, file.size()); ++k) {
    if (file[k] != '\n') continue;
    ++place.line;
    lineStart = k + 1;
  }
  place.column = offset - lineStart + 1;
  return place;
}

}  // namespace relalg
