// The pieces of SQL text that relalgtrace --sql writes: names, string constants, comments and the
// column lists of its WITH clauses (columns c1, c2, ... and an ordinal column o).
#ifndef RELALG_SQL_SQLTEXT_H
#define RELALG_SQL_SQLTEXT_H

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/Column.h"

namespace relalg {

// A name that every SQL engine reads as itself without quotes: a letter or underscore, then
// letters, digits and underscores, at most 63 of them.
bool isPlainIdentifier(std::string_view name);
std::string lowered(std::string_view name);
// A string constant of SQL that every engine reads as the bytes of value up to its first NUL
// byte (which no SQL string carries), whatever it does with backslashes in literals: apostrophes
// are doubled, and no literal holds a backslash but the literal '\\' in SUBSTR('\\', 1, 1),
// which gives one backslash in both readings. Without a backslash, it is the plain literal.
std::string stringLiteral(std::string_view value);
// A text for an SQL comment: line ends and NUL bytes replaced, long texts shortened.
std::string commentText(std::string_view text);
std::string sqlType(Column::attr_type type);
// The name of column k of a clause: c1, c2, ...
std::string sqlColumn(size_t k);
// "prefix.c1, prefix.c2, ..." for count columns, from the column offset on.
std::string columnList(size_t count, std::string_view prefix = {}, size_t offset = 0);
// "prefix.c1 AS c1, prefix.c2 AS c2, ...".
std::string aliasedList(size_t count, std::string_view prefix);
// "name(o, c1, c2, ...)": the head of a clause of width columns.
std::string clauseHead(const std::string& name, size_t width);
// "l.c1 < r.c1 OR (l.c1 = r.c1 AND (...))": the left record before the right one.
std::string recordBefore(size_t width);
// "l.c1 = r.c1 AND ...": the two records equal.
std::string recordsEqual(size_t width);

}  // namespace relalg

#endif  // RELALG_SQL_SQLTEXT_H
