// SqlScript turns one run into an SQL script that gives the same result on a real database: a
// CREATE TABLE and INSERTs for each stored table that the expression uses (values as stored, each
// table with an ordinal column ord holding the record order), then one query with a WITH clause
// per node of the expression, in evaluation order. The query's rows, in its order, are the
// records of relalgrun's result; the sqlite3 shell in list mode with the separator "," prints
// them as relalgrun writes its record lines.
//
// The script is standard SQL that SQLite, DuckDB and PostgreSQL run unchanged. It uses no
// COLLATE clause: strings are ordered by the database's default collation, which is byte order
// in SQLite and DuckDB, and in PostgreSQL for a database created with LC_COLLATE 'C'. Its string
// literals read the same whether an engine takes backslashes as they are or as escapes
// (sql/SqlText.h), so no value can end its literal early.
//
// The translation is made for the input at hand: it follows the evaluation node by node and uses
// what the evaluation knows (whether the operands of a union or minus are sorted without
// repeats, which parts of a condition no record reached). Where no exact script exists for the
// input, the first line says why as "-- inexact: <reason>".
#ifndef RELALG_SQL_SQLSCRIPT_H
#define RELALG_SQL_SQLSCRIPT_H

#include <functional>
#include <string>

#include "run/RunSequence.h"

namespace relalg {

struct SqlScript {
  // The run's outcome, as relalgrun reports it; a failed run has no script.
  RunOutcome outcome;
  std::string script;
  // Why the script cannot give exactly relalgrun's records; empty when it does.
  std::string inexactReason;
};

// Runs the input as relalgrun does, without an output file, and translates it.
SqlScript sqlScript(const std::function<std::string()>& readInput);

}  // namespace relalg

#endif  // RELALG_SQL_SQLSCRIPT_H
