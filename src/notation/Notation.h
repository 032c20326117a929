// The front door of the notation: a notation file in, a relalgrun input out.
//
// A notation file is a program (every line before the first empty line) and then the table
// blocks of a relalgrun input. The program is lowered to one core line; the input is that line,
// a line feed, and the table blocks byte for byte, so that relalgrun and every form of the trace
// run on it unchanged. A source map tells for every stretch of the core line which notation
// bytes it comes from, and whether it is user material or scaffolding.
//
// Every relalgrun input is a notation file with the same result: a file whose program is one
// line without a mark of the notation (":=", "<-", "←", ';' before more text, "--", "/*", '[',
// "_{", a Greek letter or an operator symbol, an infix keyword after an operand, all outside
// apostrophes) is passed through byte for byte. So is a file whose first line is such a line
// that closes its brackets, when no later line of the program holds such a mark: its second
// line, not empty, is a record before any header, and relalgrun says so.
#ifndef RELALG_NOTATION_NOTATION_H
#define RELALG_NOTATION_NOTATION_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "notation/Allowlist.h"
#include "notation/CoreTree.h"
#include "notation/NotationProgram.h"

namespace relalg {

struct LoweredInput {
  std::string input;           // the relalgrun input
  std::string coreLine;        // its first line, without the byte order mark
  bool passedThrough = false;  // the file is its own lowering (the map is then empty)
  size_t blocksBegin = 0;      // the file's first byte of the table blocks (its first empty line)
  Allowlist allow;             // what the program might use: the given list, less its own line's
  std::vector<SourceSpan>
      sourceMap;  // spans of coreLine; notation bytes count from the file's start
  std::vector<std::pair<std::string, std::string>> freshNames;  // name in the core line, meaning
  // The program's tree: the nodes that SourceSpan::origin.node numbers (their operands make the
  // tree; a statement's root has none above it), and the statements.
  std::vector<NotationNode> nodes;
  std::vector<Statement> statements;
};

// Lowers a notation file under an allowlist (further restricted by a first program line
// "-- allow: ..."). Throws NotationError.
LoweredInput lowerNotation(std::string_view file, Allowlist allow);

// Whether lowerNotation passes the file through as it is.
bool isCoreInput(std::string_view file);

// The first byte of the file's table blocks: its first empty line, or its end.
size_t programEnd(std::string_view file);

// The line (from 1) and byte column (from 1) of a byte of the file.
struct FilePlace {
  size_t line;
  size_t column;
};
FilePlace placeOf(std::string_view file, size_t offset);

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATION_H
