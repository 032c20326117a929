#!/usr/bin/env python3
"""Differential check of relalgtrace --sql against relalgrun on a real database.

Generates random valid inputs (tables that share schemas, expressions of every operator over
them, conditions with column and constant operands), runs each through relalgrun and through
relalgtrace --sql, runs the script in the sqlite3 shell in list mode with the separator ",", and
requires:
  - every script not marked "-- inexact:" gives exactly relalgrun's record lines, byte for byte;
  - at least 95% of the inputs that relalgrun evaluates are marked exact, not counting those
    with a NUL byte in a value (which no SQL string carries: the generator puts one in a few
    percent of the inputs, so their count varies from seed to seed);
  - an input that relalgrun rejects gives no script and relalgrun's standard error and status.

Usage: sql_agreement.py RELALGRUN RELALGTRACE SQLITE3 [--count N] [--seed S]
       sql_agreement.py RELALGRUN RELALGTRACE SQLITE3 --examples DIR
The second form checks the examples: relalgrun's records (or its failure). Either form runs the
scripts on a PostgreSQL server instead (--postgres SOCKET_DIR: user postgres, reached through its
socket folder; --backslash-escapes sets standard_conforming_strings off for the session, so that
backslashes in literals are escapes) or on DuckDB (--duckdb RUNNER_MJS; the generated values are
then UTF-8). The generated values hold what could break out of a literal (backslashes,
apostrophes, double quotes, semicolons, comment starts, CR, NUL, bytes that are no UTF-8), and the
first generated input is an attempt at exactly that: a value ending in a backslash before a
value that would end the statement and drop a table; the second holds table and column names
that engines keep for objects of their own (pg_authid, sqlite_master, information_schema, ctid,
xmin, rowid, ...), which the script must never reach.
The seed is printed; a failure prints the input, so that it can be kept as a case.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

INT_VALUES = [-3, -1, 0, 1, 2, 5, 10, 2147483647, -2147483648]
STR_VALUES = ["a", "b", "Ab", "aB", "z", "B", "ab", "'x y'", "'a'", "'Kiss Anna'", "\xe9va",
              "\xe1", "a\\b", "%", "x;y", "NULL", "a\x01", "1", "10", "9",
              "a\tb", "x\ry", "\x7f", "-", "\\", "x\\", "\\'", "\"q\"", ";", "--", "/*", "*/",
              "', 0);DROP TABLE victim;--'"]
# A value ending in a backslash before one that would end the statement where backslashes escape.
INJECTION = (b"t\n\nt(a char(5), b char(40))\na\\, ', 0);DROP TABLE victim;--'\n"
             b"b\\\\, '\\'';x'\n")
# Names of the engines' own: catalogue tables and views that PostgreSQL resolves before a table
# of the same name (and that a superuser may write), names that SQLite and DuckDB keep, and
# system columns.
SYSTEM_NAMES = (b"product(product(union(pg_authid, sqlite_master), minus(information_schema, "
                b"pg_class)), product(sqlite_schema, sqlite_sequence))\n"
                b"\npg_authid(ctid int, xmin char(8))\n1, a\n2, b\n"
                b"\nsqlite_master(ctid int, xmin char(8))\n3, c\n"
                b"\ninformation_schema(tableoid int, cmin int, cmax int, xmax int, oid int, "
                b"rowid int, _rowid_ int)\n1, 2, 3, 4, 5, 6, 7\n"
                b"\npg_class(tableoid int, cmin int, cmax int, xmax int, oid int, rowid int, "
                b"_rowid_ int)\n"
                b"\nsqlite_schema(duckdb_tables int, pg_roles char(3))\n8, d\n"
                b"\nsqlite_sequence(pg_database int)\n9\n")
SCHEMAS = [
    [("a", "int"), ("b", "char(5)")],
    [("a", "int"), ("b", "char(5)")],
    [("a", "int"), ("c", "char(5)")],
    [("b", "char(5)")],
    [("n", "int"), ("m", "int")],
    [("b", "char(5)"), ("a", "int")],
    # names that SQL cannot take as they are: an ordinal's name, a clause's name, names that
    # differ in case only, a column name twice
    [("ord", "int"), ("A", "char(3)"), ("a", "int")],
    [("a", "char(2)"), ("a", "int")],
]
TABLE_NAMES = ["r", "s", "t", "u", "v", "w", "n1", "R"]


def make_tables(rng):
    tables = {}
    for name, schema in zip(TABLE_NAMES, SCHEMAS):
        rows = []
        for _ in range(rng.randint(0, 6)):
            row = []
            for _col, kind in schema:
                if kind == "int":
                    row.append(str(rng.choice(INT_VALUES)))
                else:
                    row.append(rng.choice(STR_VALUES))
            rows.append(row)
        if rows and rng.random() < 0.3:
            rows.append(list(rng.choice(rows)))  # a repeated record
        if rng.random() < 0.01:  # now and then a NUL byte, which no script carries exactly
            for row in rows:
                for k, (_col, kind) in enumerate(schema):
                    if kind != "int":
                        row[k] = "n\x00" + row[k]
                        break
        tables[name] = (schema, rows)
    return tables


def constant(rng, kind, present):
    """A constant for a column of that kind: half of the time one of the values present, so that
    records equal to it, on which LT and LTE differ, are common."""
    if present and rng.random() < 0.5:
        return rng.choice(present)
    if kind == "int":
        return rng.choice(["0", "2", "-1", "5", "x", "'3'", " 7", "+2", "99999999999"])
    return rng.choice(STR_VALUES + ["A", "zz", "'x y'"])


def values_of_kind(tables, kind):
    return sorted({row[k] for schema, rows in tables.values() for row in rows
                   for k, (_name, column_kind) in enumerate(schema) if column_kind == kind})


def condition(rng, schema, depth, tables):
    if depth > 0 and rng.random() < 0.35:
        word = rng.choice(["AND", "OR", "NOT"])
        if word == "NOT":
            return "NOT(%s)" % condition(rng, schema, depth - 1, tables)
        return "%s(%s, %s)" % (word, condition(rng, schema, depth - 1, tables),
                               condition(rng, schema, depth - 1, tables))
    word = rng.choice(["EQ", "NEQ", "LT", "LTE", "GT", "GTE"])
    name, kind = rng.choice(schema)
    same = [n for n, k in schema if k == kind]
    if rng.random() < 0.3:
        other = rng.choice(same)
    else:
        other = constant(rng, kind, values_of_kind(tables, kind))
    if rng.random() < 0.5:  # the constant (or the second column) first: LTE(30, age)
        name, other = other, name
    return "%s(%s, %s)" % (word, name, other)


def expression(rng, tables, depth):
    """An expression and its schema as a list of (name, type)."""
    if depth == 0 or rng.random() < 0.2:
        name = rng.choice(TABLE_NAMES)
        return name, list(tables[name][0])
    op = rng.choice(["select", "select", "project", "rename", "union", "minus", "product",
                     "union", "minus"])
    inner, schema = expression(rng, tables, depth - 1)
    if op == "select" and schema:
        return "select(%s, %s)" % (inner, condition(rng, schema, 2, tables)), schema
    if op == "project" and rng.random() < 0.05:  # no columns, hence no records
        return "project(%s, )" % inner, []
    if op == "project" and schema:
        names = [n for n, _ in schema]
        chosen = rng.sample(names, rng.randint(1, len(names)))
        first = {}
        for n, k in schema:
            first.setdefault(n, k)
        return "project(%s, %s)" % (inner, ", ".join(chosen)), [(n, first[n]) for n in chosen]
    if op == "rename":
        fresh = [("x%d" % k, kind) for k, (_n, kind) in enumerate(schema)]
        return ("rename(%s, q(%s))" % (inner, ", ".join(n for n, _ in fresh)), fresh)
    if op == "product" or not schema:
        other, other_schema = expression(rng, tables, depth - 1)
        return "product(%s, %s)" % (inner, other), schema + other_schema
    # union and minus: a right operand of the same schema
    candidates = [inner, "select(%s, %s)" % (inner, condition(rng, schema, 1, tables))]
    for name, (table_schema, _rows) in tables.items():
        if table_schema == schema:
            candidates.append(name)
            candidates.append("select(%s, %s)" % (name, condition(rng, schema, 1, tables)))
        names = [n for n, _ in table_schema]
        if all(n in names for n, _ in schema) and len(set(n for n, _ in schema)) == len(schema):
            candidates.append("project(%s, %s)" % (name, ", ".join(n for n, _ in schema)))
    if rng.random() < 0.1:  # another schema: valid only where an operand is empty
        candidates = [expression(rng, tables, depth - 1)[0]]
    return "%s(%s, %s)" % (op, inner, rng.choice(candidates)), schema


def make_input(rng):
    tables = make_tables(rng)
    text = expression(rng, tables, rng.randint(1, 4)) [0] + "\n"
    for name, (schema, rows) in tables.items():
        text += "\n%s(%s)\n" % (name, ", ".join("%s %s" % c for c in schema))
        for row in rows:
            text += ", ".join(row) + "\n"
    return text.encode("latin-1")


ENGINE_ENVIRONMENT = dict(os.environ)


def run(args, stdin=None):
    return subprocess.run(args, input=stdin, capture_output=True, timeout=120,
                          env=ENGINE_ENVIRONMENT)


def engine_command(options):
    """The command that runs a script from standard input and prints its rows in list mode."""
    if options.postgres:
        return ["psql", "-X", "-q", "-A", "-t", "-F", ",", "-v", "ON_ERROR_STOP=1",
                "-h", options.postgres, "-U", "postgres", "-d", "postgres"]
    if options.duckdb:
        return ["node", options.duckdb]
    return [options.sqlite3, "-batch", "-bail", "-list", "-separator", ",", ":memory:"]


def check_examples(options):
    """Every example: the engine's rows are the records of NAME.out; a failing example gives no
    script and relalgrun's message and status."""
    command = engine_command(options)
    checked = 0
    for entry in sorted(os.listdir(options.examples)):
        if not entry.endswith(".txt"):
            continue
        base = os.path.join(options.examples, entry[:-4])
        with open(base + ".txt", "rb") as f:
            data = f.read()
        sql = run([options.relalgtrace, "--sql", base + ".txt"])
        if os.path.exists(base + ".status"):
            with open(base + ".status", "rb") as f:
                status = int(f.read())
            with open(base + ".err", "rb") as f:
                err = f.read()
            if sql.returncode != status or sql.stderr != err or sql.stdout:
                sys.stdout.write("FAILED: %s: not reported as relalgrun reports it\n" % entry)
                return 1
            checked += 1
            continue
        with open(base + ".out", "rb") as f:
            records = f.read()[len(data) + 1:].partition(b"\n")[2]
        script = sql.stdout
        if options.postgres:  # one transaction per script, undone, so that names do not clash
            script = b"BEGIN;\n" + script + b"ROLLBACK;\n"
        db = run(command, script)
        if sql.returncode != 0 or db.returncode != 0 or db.stderr or db.stdout != records:
            sys.stdout.buffer.write(b"FAILED: " + entry.encode() + b"\n" + sql.stderr +
                                    db.stderr + b"--- expected\n" + records +
                                    b"--- database\n" + db.stdout)
            return 1
        checked += 1
    print("%d examples agree with relalgrun on %s" % (checked, command[0]))
    return 0 if checked > 0 else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("relalgrun")
    parser.add_argument("relalgtrace")
    parser.add_argument("sqlite3")
    parser.add_argument("--count", type=int, default=400)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--examples", default=None,
                        help="instead: check every example NAME.txt of this folder")
    parser.add_argument("--postgres", default=None, metavar="SOCKET_DIR",
                        help="run the scripts with psql on this server instead of sqlite3")
    parser.add_argument("--duckdb", default=None, metavar="RUNNER_MJS",
                        help="run the scripts with this DuckDB runner instead of sqlite3")
    parser.add_argument("--backslash-escapes", action="store_true",
                        help="with --postgres: standard_conforming_strings off")
    options = parser.parse_args()
    if options.backslash_escapes:
        ENGINE_ENVIRONMENT["PGOPTIONS"] = ("-c standard_conforming_strings=off "
                                           "-c escape_string_warning=off")
    if options.examples:
        return check_examples(options)
    seed = options.seed if options.seed is not None else int.from_bytes(os.urandom(4), "little")
    print("seed %d" % seed)
    rng = random.Random(seed)
    command = engine_command(options)
    if options.duckdb:  # DuckDB takes UTF-8 strings only
        STR_VALUES[:] = [v for v in STR_VALUES if all(ord(c) < 0x80 for c in v)]
    valid = exact = equal = rejected = with_nul = 0
    merges_walked = 0
    with tempfile.TemporaryDirectory() as scratch:
        in_path = os.path.join(scratch, "in.txt")
        out_path = os.path.join(scratch, "out.txt")
        fixed = [INJECTION, SYSTEM_NAMES]
        for number in range(options.count + len(fixed) - 1):
            data = fixed[number] if number < len(fixed) else make_input(rng)
            with open(in_path, "wb") as f:
                f.write(data)
            if os.path.exists(out_path):
                os.remove(out_path)
            ran = run([options.relalgrun, in_path, out_path])
            sql = run([options.relalgtrace, "--sql", in_path])

            def fail(why, extra=b""):
                sys.stdout.write("FAILED on input %d (seed %d): %s\n" % (number, seed, why))
                sys.stdout.write("--- input\n")
                sys.stdout.buffer.write(data)
                sys.stdout.buffer.write(b"--- details\n" + extra + b"\n")
                sys.exit(1)

            if ran.returncode != 0:
                rejected += 1
                if sql.returncode != ran.returncode or sql.stderr != ran.stderr or sql.stdout:
                    fail("relalgtrace --sql does not report the failure as relalgrun does",
                         sql.stdout + sql.stderr)
                continue
            valid += 1
            with open(out_path, "rb") as f:
                output = f.read()
            # The copy of the input, one empty line, the result's header line, then the records.
            records = output[len(data) + 1:].partition(b"\n")[2]
            script = sql.stdout
            if sql.returncode != 0:
                fail("relalgtrace --sql failed on a valid input", sql.stderr)
            if b"_walk(" in script:
                merges_walked += 1
            if script.startswith(b"-- inexact:"):
                if not sql.stderr.startswith(b"relalgtrace: note: the SQL script is inexact: "):
                    fail("an inexact script without the note", sql.stderr)
                with_nul += b"holds a NUL byte" in script.partition(b"\n")[0]
                continue
            exact += 1
            if sql.stderr:
                fail("an exact script with a note", sql.stderr)
            db = run(command, b"BEGIN;\n" + script + b"ROLLBACK;\n" if options.postgres else script)
            if db.returncode != 0 or db.stderr:
                fail("the database rejected the script", script + db.stderr)
            if db.stdout != records:
                fail("the database's rows differ from relalgrun's records",
                     b"--- relalgrun\n" + records + b"--- database\n" + db.stdout +
                     b"--- script\n" + script)
            equal += 1
    print("%d inputs: %d valid (%d with a walked merge, %d with a NUL byte), %d rejected; "
          "%d marked exact, %d byte-equal on %s" % (options.count + len(fixed) - 1, valid,
                                                    merges_walked, with_nul, rejected, exact, equal,
                                                    command[0]))
    if valid < options.count // 2:
        print("FAILED: fewer than half of the generated inputs are valid")
        return 1
    if exact * 100 < (valid - with_nul) * 95:
        print("FAILED: fewer than 95% of the valid inputs without a NUL byte are marked exact")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
