#!/usr/bin/env python3
"""Differential check of the notation's lowering against sqlite3.

Generates notation programs (steps, reused steps, comments, Greek and ASCII spellings, every
textbook operator, conditions, core forms over notation operands) over generated tables (unsorted,
with repeats, empty, sharing column names, two widths of one column name, int and text columns).
Each program is rendered as notation and as SQL from the same tree (SELECT DISTINCT, EXCEPT,
INTERSECT, EXISTS and NOT EXISTS for the joins and division). relalgtrace --notation --core lowers
it, relalgrun runs the lowering, sqlite3 runs the SQL, and:
  - the records agree as sets;
  - where the query's top is a textbook operator, relalgrun's result has no repeated record;
  - programs that must be errors (a union of columns of different widths, an int column compared
    with a text column) are notation errors: status 1 and "error:" on standard error.

Usage: notation_agreement.py RELALGTRACE RELALGRUN SQLITE3 [--count N] [--seed S]
The seed is printed; a failure prints the program and both results.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

TABLES = {
    "r": [("a", "int", ""), ("b", "text", "5")],
    "s": [("a", "int", ""), ("b", "text", "5")],
    "t": [("b", "text", "8"), ("c", "int", "")],
    "u": [("a", "int", ""), ("c", "int", "")],
    "w": [("b", "text", "5")],
    "v": [("d", "text", "5"), ("a", "int", ""), ("b", "text", "5")],
    "z": [("b", "int", ""), ("e", "text", "5")],
}
INTS = ["0", "1", "2", "-1"]
TEXTS = ["x", "y", "Ab", "ab", "'p q'"]
NEW_NAMES = ["p", "q", "k", "m", "n", "f", "g", "h", "i", "j", "o", "l", "s2", "t2"]
PRECEDENCE = {"union": 1, "minus": 1, "intersect": 2, "cross": 3, "join": 3, "theta": 3,
              "semijoin": 3, "antijoin": 3, "divide": 3}
SPELLING = {"union": ["\u222a", "union"], "minus": ["\u2212", "-", "minus"],
            "intersect": ["\u2229", "intersect"], "cross": ["\u00d7", "cross"],
            "join": ["\u22c8", "join"], "theta": ["\u22c8", "join"],
            "semijoin": ["\u22c9", "semijoin"], "antijoin": ["\u25b7", "antijoin"],
            "divide": ["\u00f7", "divide"]}
COMPARE = {"=": ["="], "<>": ["\u2260", "<>", "!="], "<": ["<"], "<=": ["\u2264", "<="],
           ">": [">"], ">=": ["\u2265", ">="]}
CORE_COMPARE = {"=": "EQ", "<>": "NEQ", "<": "LT", "<=": "LTE", ">": "GT", ">=": "GTE"}


class Invalid(Exception):
    """The generated operator does not apply to its operands."""


def column(name, kind, width, quals):
    return {"name": name, "short": name, "kind": kind, "width": width, "quals": list(quals)}


def names(schema):
    return [c["name"] for c in schema]


def copy(schema):
    return [dict(c, quals=list(c["quals"])) for c in schema]


class Node:
    def __init__(self, op, kids, schema, notation, **params):
        self.op, self.kids, self.schema, self.notation, self.params = op, kids, schema, notation, params


class Generator:
    def __init__(self, rng):
        self.rng = rng
        self.leaves = {name: [column(n, k, w, [name]) for n, k, w in cols]
                       for name, cols in TABLES.items()}

    def reference(self, schema, k):
        """A reference to column k that the notation resolves to it: its name, or Q.short."""
        col = schema[k]
        options = [col["name"]]
        for q in col["quals"]:
            text = q + "." + col["short"]
            fits = [c for c in schema if c["short"] == col["short"] and q in c["quals"]]
            if len(fits) == 1 and not any(c["name"] == text and c is not col for c in schema):
                options.append(text)
        return self.rng.choice(options)

    def projection(self, e, ks, op="project"):
        """π of e onto the columns ks: their names lose the qualifier a clash added, when the
        short names differ."""
        schema = [dict(e.schema[k], quals=list(e.schema[k]["quals"])) for k in ks]
        if len({c["short"] for c in schema}) == len(schema):
            for c in schema:
                c["name"] = c["short"]
        return Node(op, [e], schema, True, cols=[(k, self.reference(e.schema, k)) for k in ks])

    def condition(self, schema, depth):
        rng = self.rng
        if depth > 0 and rng.random() < 0.4:
            word = rng.choice(["and", "or", "not"])
            if word == "not":
                return ("not", self.condition(schema, depth - 1))
            return (word, self.condition(schema, depth - 1), self.condition(schema, depth - 1))
        k = rng.randrange(len(schema))
        kind = schema[k]["kind"]
        same = [j for j, c in enumerate(schema) if c["kind"] == kind]
        sign = rng.choice(list(COMPARE))
        left = ("col", k, self.reference(schema, k))
        if rng.random() < 0.3:
            j = rng.choice(same)
            right = ("col", j, self.reference(schema, j))
        else:
            right = ("const", rng.choice(INTS if kind == "int" else TEXTS), kind)
        if rng.random() < 0.3:
            left, right = right, left
        return ("cmp", sign, left, right, rng.random() < 0.15)

    def expression(self, depth):
        rng = self.rng
        for _ in range(30):
            if depth == 0 or rng.random() < 0.2:
                name = rng.choice(list(self.leaves))
                return Node("leaf", [], copy(self.leaves[name]), False, name=name)
            op = rng.choice(["select", "project", "rename", "cross", "union", "minus", "intersect",
                             "join", "join", "theta", "semijoin", "antijoin", "divide", "core"])
            try:
                return getattr(self, "make_" + op)(depth)
            except Invalid:
                continue
        raise Invalid

    def make_select(self, depth):
        e = self.expression(depth - 1)
        return Node("select", [e], copy(e.schema), True, cond=self.condition(e.schema, 2))

    def make_project(self, depth):
        e = self.expression(depth - 1)
        ks = self.rng.sample(range(len(e.schema)), self.rng.randint(1, len(e.schema)))
        return self.projection(e, ks)

    def make_rename(self, depth):
        e = self.expression(depth - 1)
        rng = self.rng
        schema = copy(e.schema)
        form = rng.choice(["whole", "table", "columns"])
        table = rng.choice(["S", "T1", "B"])
        if form == "whole":
            fresh = rng.sample(NEW_NAMES, len(schema))
            for c, n in zip(schema, fresh):
                c["name"] = c["short"] = n
                c["quals"] = [table]
            return Node("rename", [e], schema, True, form=form, table=table, new=fresh)
        if form == "table":
            shorts = [c["short"] for c in schema]
            for c in schema:
                c["quals"] = [table]
                if len(set(shorts)) == len(shorts):
                    c["name"] = c["short"]
            return Node("rename", [e], schema, True, form=form, table=table)
        k = rng.randrange(len(schema))
        new = rng.choice([n for n in NEW_NAMES if n not in names(schema)])
        old = self.reference(e.schema, k)
        schema[k]["name"] = schema[k]["short"] = new
        return Node("rename", [e], schema, True, form=form, pairs=[(new, old)])

    def cross_schema(self, left, right):
        both = set(names(left)) & set(names(right))
        schema = copy(left) + copy(right)
        for c in schema:
            if c["name"] in both:
                if not c["quals"]:
                    raise Invalid
                c["name"] = c["quals"][0] + "." + c["short"]
        if len(set(names(schema))) != len(schema):
            raise Invalid
        return schema

    def make_cross(self, depth):
        left, right = self.expression(depth - 1), self.expression(depth - 1)
        return Node("cross", [left, right], self.cross_schema(left.schema, right.schema), True)

    def make_theta(self, depth):
        left, right = self.expression(depth - 1), self.expression(depth - 1)
        schema = self.cross_schema(left.schema, right.schema)
        return Node("theta", [left, right], schema, True, cond=self.condition(schema, 1))

    def common(self, left, right):
        pairs = [(i, j) for i, a in enumerate(left) for j, b in enumerate(right)
                 if a["name"] == b["name"]]
        if any(left[i]["kind"] != right[j]["kind"] for i, j in pairs):
            raise Invalid
        return pairs

    def make_join(self, depth):
        left, right = self.expression(depth - 1), self.expression(depth - 1)
        pairs = self.common(left.schema, right.schema)
        if not pairs:
            return Node("join", [left, right], self.cross_schema(left.schema, right.schema), True,
                        pairs=[])
        schema = copy(left.schema)
        for i, j in pairs:
            schema[i]["quals"] += right.schema[j]["quals"]
        matched = {j for _, j in pairs}
        schema += [dict(c, quals=list(c["quals"])) for j, c in enumerate(right.schema)
                   if j not in matched]
        return Node("join", [left, right], schema, True, pairs=pairs)

    def make_semijoin(self, depth, op="semijoin"):
        left, right = self.expression(depth - 1), self.expression(depth - 1)
        return Node(op, [left, right], copy(left.schema), True,
                    pairs=self.common(left.schema, right.schema))

    def make_antijoin(self, depth):
        return self.make_semijoin(depth, "antijoin")

    def make_divide(self, depth):
        left = self.expression(depth - 1)
        if len(left.schema) < 2:
            raise Invalid
        ks = sorted(self.rng.sample(range(len(left.schema)), self.rng.randint(1, len(left.schema) - 1)))
        divisor_schema = [dict(left.schema[k], quals=list(left.schema[k]["quals"])) for k in ks]
        source = self.expression(depth - 1) if self.rng.random() < 0.5 else left
        try:  # the divisor: a projection of another relation that has these columns
            picks = [next(j for j, c in enumerate(source.schema) if c["name"] == d["name"]
                          and c["kind"] == d["kind"]) for d in divisor_schema]
        except StopIteration:
            source, picks = left, ks
        divisor = self.projection(source, picks)
        if names(divisor.schema) != [d["name"] for d in divisor_schema]:
            raise Invalid
        kept = [dict(c, quals=list(c["quals"])) for k, c in enumerate(left.schema) if k not in ks]
        return Node("divide", [left, divisor], kept, True, divided=ks)

    def matching(self, left, exact_width):
        """An expression projected onto columns that pair up with left's in order."""
        e = self.expression(self.rng.randint(0, 2))
        ks, used = [], set()
        for c in left:
            fits = [k for k, d in enumerate(e.schema) if k not in used and d["kind"] == c["kind"]
                    and (not exact_width or d["width"] == c["width"])]
            if not fits:
                raise Invalid
            ks.append(self.rng.choice(fits))
            used.add(ks[-1])
        return self.projection(e, ks)

    def make_union(self, depth, op="union"):
        left = self.expression(depth - 1)
        right = self.matching(left.schema, op == "union")
        return Node(op, [left, right], copy(left.schema), True)

    def make_minus(self, depth):
        return self.make_union(depth, "minus")

    def make_intersect(self, depth):
        return self.make_union(depth, "intersect")

    def make_core(self, depth):
        e = self.expression(depth - 1)
        form = self.rng.choice(["select", "project", "union"])
        if form == "select":
            k = self.rng.randrange(len(e.schema))
            kind = e.schema[k]["kind"]
            const = self.rng.choice(INTS if kind == "int" else TEXTS)
            cond = ("cmp", self.rng.choice(list(COMPARE)), ("col", k, e.schema[k]["name"]),
                    ("const", const, kind), True)
            return Node("core-select", [e], copy(e.schema), False, cond=cond)
        ks = self.rng.sample(range(len(e.schema)), self.rng.randint(1, len(e.schema)))
        schema = [dict(e.schema[k], quals=list(e.schema[k]["quals"])) for k in ks]
        project = Node("core-project", [e], schema, False, cols=ks)
        if form == "project":
            return project
        right = self.matching(schema, True)
        if names(right.schema) != names(schema):
            raise Invalid
        return Node("core-union", [project, Node("core-project", [right], right.schema, False,
                                                 cols=list(range(len(schema))))],
                    copy(schema), False)


# Rendering as notation.

def spell(rng, choices):
    return rng.choice(choices)


def render_condition(rng, cond, parent=0):
    kind = cond[0]
    if kind == "cmp":
        _, sign, left, right, core = cond
        a = left[2] if left[0] == "col" else left[1]
        b = right[2] if right[0] == "col" else right[1]
        if core:
            return "%s(%s, %s)" % (CORE_COMPARE[sign], a, b)
        return "%s %s %s" % (a, spell(rng, COMPARE[sign]), b)
    if kind == "not":
        return "%s(%s)" % (spell(rng, ["\u00ac", "not ", "NOT"]), render_condition(rng, cond[1]))
    level = 2 if kind == "and" else 1
    words = ["\u2227", "and", "AND"] if kind == "and" else ["\u2228", "or", "OR"]
    text = "%s %s %s" % (render_condition(rng, cond[1], level), spell(rng, words),
                         render_condition(rng, cond[2], level + 1))
    return "(%s)" % text if level < parent else text


def argument(rng, text):
    return "[%s]" % text if rng.random() < 0.7 else "_{%s}" % text


def render(rng, node, leaf_names):
    op = node.op
    if op == "leaf":
        return leaf_names(node)
    if op in ("select", "project", "rename"):
        inner = render(rng, node.kids[0], leaf_names)
        if node.kids[0].op in PRECEDENCE or rng.random() < 0.6:
            inner = "(%s)" % inner
        else:
            inner = " " + inner
        if op == "select":
            word = spell(rng, ["\u03c3", "sigma"])
            arg = render_condition(rng, node.params["cond"])
        elif op == "project":
            word = spell(rng, ["\u03c0", "pi"])
            arg = ", ".join(ref for _, ref in node.params["cols"])
        else:
            word = spell(rng, ["\u03c1", "rho"])
            form = node.params["form"]
            if form == "whole":
                arg = "%s(%s)" % (node.params["table"], ", ".join(node.params["new"]))
            elif form == "table":
                arg = node.params["table"]
            else:
                arg = ", ".join("%s %s %s" % (n, spell(rng, ["\u2190", "<-"]), o)
                                for n, o in node.params["pairs"])
        return word + argument(rng, arg) + inner
    if op.startswith("core-"):
        inner = [render(rng, kid, leaf_names) for kid in node.kids]
        if op == "core-select":
            return "select(%s, %s)" % (inner[0], render_condition(rng, node.params["cond"]))
        if op == "core-project":
            return "project(%s, %s)" % (inner[0], ", ".join(node.kids[0].schema[k]["name"]
                                                          for k in node.params["cols"]))
        return "union(%s, %s)" % (inner[0], inner[1])
    level = PRECEDENCE[op]
    left = render(rng, node.kids[0], leaf_names)
    right = render(rng, node.kids[1], leaf_names)
    if PRECEDENCE.get(node.kids[0].op, 9) < level:
        left = "(%s)" % left
    if PRECEDENCE.get(node.kids[1].op, 9) <= level:
        right = "(%s)" % right
    word = spell(rng, SPELLING[op])
    if op == "theta":
        word += argument(rng, render_condition(rng, node.params["cond"]))
    before = "\n    " if word[0] > "\x7f" and rng.random() < 0.2 else " "
    return left + before + word + " " + right


# Rendering as SQL: every query gives columns c0, c1, ... in schema order.

def sql_value(value, kind):
    if kind == "int":
        return value
    return "'" + value.replace("'", "''") + "'"


def sql_condition(cond, prefix=""):
    kind = cond[0]
    if kind == "cmp":
        _, sign, left, right, _ = cond
        side = lambda x: prefix + "c%d" % x[1] if x[0] == "col" else sql_value(x[1], x[2])
        return "(%s %s %s)" % (side(left), sign, side(right))
    if kind == "not":
        return "(NOT %s)" % sql_condition(cond[1], prefix)
    return "(%s %s %s)" % (sql_condition(cond[1], prefix), kind.upper(),
                           sql_condition(cond[2], prefix))


def select_list(items):
    return ", ".join("%s AS c%d" % (item, k) for k, item in enumerate(items))


def sql(node, leaf_sql):
    op, kids = node.op, node.kids
    parts = [sql(kid, leaf_sql) for kid in kids]
    n = len(node.schema)
    if op == "leaf":
        return leaf_sql(node)
    if op in ("select", "core-select"):
        return "SELECT * FROM (%s) WHERE %s" % (parts[0], sql_condition(node.params["cond"]))
    if op == "project":
        return "SELECT DISTINCT %s FROM (%s)" % (
            select_list(["c%d" % k for k, _ in node.params["cols"]]), parts[0])
    if op == "core-project":
        return "SELECT DISTINCT %s FROM (%s)" % (
            select_list(["c%d" % k for k in node.params["cols"]]), parts[0])
    if op == "rename":
        return parts[0]
    ln, rn = len(kids[0].schema), len(kids[1].schema) if len(kids) > 1 else 0
    both = select_list(["l.c%d" % k for k in range(ln)] + ["r.c%d" % k for k in range(rn)])
    if op == "cross" or (op == "join" and not node.params["pairs"]):
        return "SELECT %s FROM (%s) AS l, (%s) AS r" % (both, parts[0], parts[1])
    if op == "theta":
        return "SELECT * FROM (SELECT %s FROM (%s) AS l, (%s) AS r) WHERE %s" % (
            both, parts[0], parts[1], sql_condition(node.params["cond"]))
    if op in ("join", "semijoin", "antijoin"):
        on = " AND ".join("l.c%d = r.c%d" % (i, j) for i, j in node.params["pairs"]) or "1"
        if op == "join":
            matched = {j for _, j in node.params["pairs"]}
            items = ["l.c%d" % k for k in range(ln)] + ["r.c%d" % k for k in range(rn)
                                                        if k not in matched]
            return "SELECT %s FROM (%s) AS l, (%s) AS r WHERE %s" % (
                select_list(items), parts[0], parts[1], on)
        exists = "EXISTS" if op == "semijoin" else "NOT EXISTS"
        return "SELECT * FROM (%s) AS l WHERE %s (SELECT 1 FROM (%s) AS r WHERE %s)" % (
            parts[0], exists, parts[1], on)
    if op == "divide":
        divided = node.params["divided"]
        kept = [k for k in range(ln) if k not in divided]
        match = " AND ".join(["y.c%d = x.c%d" % (k, k) for k in kept] +
                             ["y.c%d = d.c%d" % (k, j) for j, k in enumerate(divided)])
        return ("SELECT DISTINCT %s FROM (%s) AS x WHERE NOT EXISTS (SELECT 1 FROM (%s) AS d "
                "WHERE NOT EXISTS (SELECT 1 FROM (%s) AS y WHERE %s))") % (
            select_list(["x.c%d" % k for k in kept]), parts[0], parts[1], parts[0], match)
    word = {"union": "UNION", "core-union": "UNION", "minus": "EXCEPT",
            "intersect": "INTERSECT"}[op]
    return "SELECT * FROM (%s) %s SELECT * FROM (%s)" % (parts[0], word, parts[1])


def make_tables(rng):
    tables = {}
    for name, schema in TABLES.items():
        rows = []
        for _ in range(rng.choice([0, 1, 3, 5, 7])):
            rows.append([rng.choice(INTS if kind == "int" else TEXTS) for _, kind, _ in schema])
        if rows and rng.random() < 0.4:
            rows.append(list(rng.choice(rows)))
        tables[name] = rows
    return tables


def table_blocks(tables):
    blocks = ""
    for name, schema in TABLES.items():
        header = ", ".join("%s %s" % (c, "int" if kind == "int" else "char(%s)" % width)
                           for c, kind, width in schema)
        blocks += "\n%s(%s)\n" % (name, header)
        blocks += "".join(", ".join(row) + "\n" for row in tables[name])
    return blocks


def sql_script(tables, steps, query):
    script = ""
    for name, schema in TABLES.items():
        cols = ", ".join("c%d %s" % (k, "INTEGER" if kind == "int" else "TEXT")
                         for k, (_, kind, _) in enumerate(schema))
        script += "CREATE TABLE %s(%s);\n" % (name, cols)
        for row in tables[name]:
            script += "INSERT INTO %s VALUES(%s);\n" % (
                name, ", ".join(sql_value(v, kind) for v, (_, kind, _) in zip(row, schema)))
    ctes = ", ".join("%s AS (%s)" % (name, text) for name, text in steps)
    script += ("WITH %s " % ctes if ctes else "") + "SELECT * FROM (%s);\n" % query
    return script


def program(rng):
    """A notation program, its SQL steps and query, and whether its top is notation."""
    gen = Generator(rng)
    lines, sql_steps = [], []
    for k in range(rng.choice([0, 1, 2, 3])):
        expr = gen.expression(rng.randint(1, 3))
        name = "S%d" % k
        text = render(rng, expr, lambda n: n.params["name"])
        lines.append("%s %s %s" % (name, rng.choice([":=", "<-", "\u2190"]), text))
        sql_steps.append((name, sql(expr, lambda n: "SELECT * FROM %s" % n.params["name"])))
        gen.leaves[name] = [dict(c, quals=[name] + c["quals"]) for c in copy(expr.schema)]
    query = gen.expression(rng.randint(1, 3))
    lines.append(render(rng, query, lambda n: n.params["name"]))
    joined = lines[0]
    for line in lines[1:]:
        joined += rng.choice([" -- a step\n", "\n", " /* a note */ ; ", "; "]) + line
    if rng.random() < 0.3:
        joined = "-- generated\n" + joined
    query_sql = sql(query, lambda n: "SELECT * FROM %s" % n.params["name"])
    return joined, sql_steps, query_sql, query.notation


def bad_program(rng):
    """A program that must be a notation error."""
    return rng.choice([
        "\u03c0[b](r) \u222a \u03c0[b](t)",  # widths 5 and 8
        "pi[b](t) union pi[b](w)",
        "\u03c3[a = b](r)",  # int with text
        "sigma[b < c](t)",
        "r \u22c8 z",  # natural join of b char(5) with b int
        "S := \u03c0[a](r)\nS \u222a \u03c0[b](w)",
    ])


def run(command, stdin=None):
    return subprocess.run(command, input=stdin, capture_output=True)


def records(output, lowered):
    """The record lines of relalgrun's output file, after the copy of its input."""
    copy = lowered.replace(b"\r", b"")
    assert output.startswith(copy), "the output does not start with the copy of the input"
    lines = output[len(copy):].split(b"\n")
    return [line for line in lines[2:] if line]


def check(args, rng, work, index):
    tables = make_tables(rng)
    bad = rng.random() < 0.08
    if bad:
        text = bad_program(rng)
    else:
        while True:  # a program whose SQL sqlite3's parser takes
            try:
                text, steps, query_sql, top_notation = program(rng)
            except Invalid:
                continue
            break
    path = os.path.join(work, "in.txt")
    with open(path, "wb") as f:
        f.write((text + "\n" + table_blocks(tables)).encode())
    if args.show:
        print(text + "\n")
    lowered = run([args.relalgtrace, "--notation", "--core", path])
    if bad:
        if lowered.returncode != 1 or b": error: " not in lowered.stderr:
            return "a program that must be an error was lowered:\n" + text
        return None
    if lowered.returncode != 0:
        return "the lowering failed:\n%s\n%s" % (text, lowered.stderr.decode(errors="replace"))
    with open(os.path.join(work, "core.txt"), "wb") as f:
        f.write(lowered.stdout)
    ran = run([args.relalgrun, os.path.join(work, "core.txt"), os.path.join(work, "out.txt")])
    if ran.returncode != 0:
        return "relalgrun failed on the lowering:\n%s\n%s\n%s" % (
            text, lowered.stdout.decode(errors="replace").splitlines()[0],
            ran.stderr.decode(errors="replace"))
    with open(os.path.join(work, "out.txt"), "rb") as f:
        got = records(f.read(), lowered.stdout)
    script = sql_script(tables, steps, query_sql)
    expected = run([args.sqlite3, "-batch", "-list", "-separator", ","], script.encode())
    if b"parser stack overflow" in expected.stderr:
        return None  # too deep for sqlite3's parser; the lowering was checked to run
    if expected.returncode != 0 or expected.stderr:
        return "sqlite3 failed:\n%s\n%s" % (script, expected.stderr.decode(errors="replace"))
    want = [line for line in expected.stdout.split(b"\n") if line]
    faults = []
    if set(got) != set(want):
        faults.append("the records differ")
    if top_notation and len(set(got)) != len(got):
        faults.append("the result holds a repeated record")
    if faults:
        return "%s:\n%s\n\ncore: %s\nrelalgrun: %s\nsqlite3:   %s\n%s" % (
            ", ".join(faults), text + "\n" + table_blocks(tables),
            lowered.stdout.decode(errors="replace").splitlines()[0], sorted(got), sorted(want),
            script)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("relalgtrace")
    parser.add_argument("relalgrun")
    parser.add_argument("sqlite3")
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--show", action="store_true", help="print the programs")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    print("seed", seed)
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory() as work:
        for index in range(args.count):
            fault = check(args, rng, work, index)
            if fault:
                print("case %d of seed %d: %s" % (index, seed, fault))
                return 1
    print("%d programs agree with sqlite3" % args.count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
