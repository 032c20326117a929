// The slips of the table blocks that the catalogue's plan of them shows: type words that read as
// numbers but make a string column, widths that a type does not take or takes only in brackets,
// header lines that look like records, tabs where a separator was meant, lines of blanks where
// an empty line was meant, and byte order marks inside the file. Blocks below a line that the
// catalogue rejected are not read, nor checked.
#ifndef RELALG_DIAGNOSTICS_TABLECHECKS_H
#define RELALG_DIAGNOSTICS_TABLECHECKS_H

#include <string>
#include <string_view>
#include <vector>

#include "base/AdbException.h"
#include "diagnostics/Diagnostics.h"
#include "storage/TableBlocks.h"

namespace relalg {

// Adds the warnings about the blocks of plan above the failure (none: place.line == 0), and
// about the rejected line itself, which failingLine holds. Returns the fix of the failure where
// a slip above it explains it (a record line read as the header of a table of its own), else "".
std::string checkTables(const TablePlan& plan, const InputPlace& failure,
                        std::string_view failingLine, std::vector<Diagnostic>& diagnostics);

// Adds a warning for each byte order mark that stands anywhere but at the start of input.
void checkByteOrderMarks(std::string_view input, std::vector<Diagnostic>& diagnostics);

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_TABLECHECKS_H
