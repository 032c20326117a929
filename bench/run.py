#!/usr/bin/env python3
"""Benchmark relalgrun against the sqlite3 shell and DuckDB on the same generated tables.

    python3 bench/run.py              # every workload, full sizes, 5 runs each (3 for scale)
    python3 bench/run.py --quick      # smoke run: small sizes, 1 run each
    python3 bench/run.py --only select,union --runs 3
    python3 bench/run.py --only scale100  # 100 million records (2.4 GB), relalgrun alone

Builds relalgrun (Release) and the generator under build-bench/, generates the inputs once
(cached under build-bench/data, keyed by workload and size), then for each workload runs
relalgrun and an equivalent `sqlite3 :memory:` script (CSV import of the same records, the
query, `.output` to a file) and DuckDB alternately (each run starts once the files written
before it are flushed, so that no tool pays for another's writes), and reports median wall time, the ratios
sqlite3/relalgrun and DuckDB/relalgrun, the peak resident memory of each, relalgrun's input
throughput, and whether all produced the same records. Ends with a Markdown table for the README.

DuckDB runs through the npm package @duckdb/node-api, installed with npm into
build-bench/duckdb (never a dependency of relalgrun): an in-memory database with 2 threads,
read_csv of the same records with the column types given, the equivalent query and COPY ... TO
a file (bench/duckdb_run.mjs). Its time is taken inside node, from opening the database to the
end of the copy; its peak memory is that of the whole node process. Without node or npm the
DuckDB columns stay empty and the run says why; --no-duckdb leaves DuckDB out.

Needs python3 (standard library only), cmake, a C++20 compiler and the sqlite3 shell; node and
npm for DuckDB.
"""

import argparse
import collections
import csv
import io
import json
import mmap
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
EMP_HEADER = "emp(name char(20), age int, dept char(10))"
MB = 1_000_000  # sizes and throughput in decimal megabytes


@dataclass
class Workload:
    name: str
    expression: str
    header: str  # the header line expected above relalgrun's result records
    sql: str
    uses_emp2: bool
    alone: bool = False  # relalgrun only, with its time set against the scale workload's
    # Filled in from the command line:
    records: int = 0
    records2: int = 0
    runs: int = 0


def workloads(args):
    """The workloads in running order, sized from the command line."""
    select_expr = "select(emp, AND(GTE(age, 30), NEQ(dept, Sales)))"
    select_sql = "SELECT * FROM emp WHERE age >= 30 AND dept <> 'Sales';"
    cols = "emp.name, emp.age, emp.dept, emp2.name, emp2.age, emp2.dept"
    name_age = "result(name char(20), age int)"
    product_header = "result(name char(20), age int, dept char(10), " + EMP_HEADER[4:]
    all_ = [
        Workload("load", "emp", EMP_HEADER, "SELECT * FROM emp;", False),
        Workload("select", select_expr, EMP_HEADER, select_sql, False),
        Workload("project", "project(emp, dept, age)", "result(dept char(10), age int)",
                 "SELECT DISTINCT dept, age FROM emp ORDER BY dept, age;", False),
        Workload("union", "union(project(emp, name, age), project(emp2, name, age))", name_age,
                 "SELECT name, age FROM emp UNION SELECT name, age FROM emp2 "
                 "ORDER BY name, age;", True),
        Workload("minus", "minus(project(emp, name, age), project(emp2, name, age))", name_age,
                 "SELECT name, age FROM emp EXCEPT SELECT name, age FROM emp2 "
                 "ORDER BY name, age;", True),
        Workload("product", "product(emp, emp2)", product_header,
                 f"SELECT {cols} FROM emp, emp2 ORDER BY {cols};", True),
        Workload("scale", select_expr, EMP_HEADER, select_sql, False),
        Workload("scale100", select_expr, EMP_HEADER, select_sql, False, alone=True),
    ]
    for w in all_:
        if w.name == "product":
            w.records = w.records2 = args.product_records
        elif w.name == "scale":
            w.records, w.runs = args.scale_records, args.scale_runs
        elif w.name == "scale100":
            w.records, w.runs = args.scale100_records, args.scale100_runs
        else:
            w.records = args.records
            w.records2 = args.records if w.uses_emp2 else 0
        w.runs = w.runs or args.runs
    return all_


# ---------------------------------------------------------------------------------------------
# Machine and environment

def machine_info():
    cpu = "unknown"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    mem_kib = 0
    try:
        for line in open("/proc/meminfo"):
            if line.startswith("MemTotal:"):
                mem_kib = int(line.split()[1])
    except OSError:
        pass
    return {
        "cores": os.cpu_count(),
        "memory": f"{mem_kib / 1024 / 1024:.1f} GiB" if mem_kib else "unknown",
        "cpu": cpu,
        "kernel": f"{platform.system()} {platform.release()}",
    }


def load_text():
    one, five, fifteen = os.getloadavg()
    return f"{one:.2f} {five:.2f} {fifteen:.2f}"


def command_output(argv, cwd=None):
    try:
        return subprocess.run(argv, cwd=cwd, capture_output=True, text=True,
                              check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def source_description(commit):
    if commit:
        return f"commit {commit[:12]}"
    head = command_output(["git", "rev-parse", "--short", "HEAD"], REPO) or "unknown"
    dirty = command_output(["git", "status", "--porcelain", "--", "src", "CMakeLists.txt"], REPO)
    return f"working tree at {head}" + (" with uncommitted changes in src/" if dirty else "")


# ---------------------------------------------------------------------------------------------
# Building

def run_checked(argv, what):
    result = subprocess.run(argv, capture_output=True, text=True)
    if result.returncode != 0:
        sys.stderr.write(result.stdout[-4000:] + result.stderr[-4000:])
        sys.exit(f"error: {what} failed: {' '.join(map(str, argv))}")


def cmake_build(source, build, target):
    jobs = str(os.cpu_count() or 2)
    run_checked(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                 "-DBUILD_TESTING=OFF"], f"configuring {source}")
    run_checked(["cmake", "--build", build, "--target", target, "-j", jobs],
                f"building {target}")


def export_commit(commit, dest):
    """Writes the tree of one commit to dest, leaving the repository untouched."""
    if dest.exists():
        shutil.rmtree(dest)
    dest.mkdir(parents=True)
    archive = subprocess.run(["git", "archive", commit], cwd=REPO, capture_output=True)
    if archive.returncode != 0:
        sys.exit(f"error: git archive {commit} failed: {archive.stderr.decode().strip()}")
    subprocess.run(["tar", "-x", "-C", dest], input=archive.stdout, check=True)


def build_tools(args, out_dir):
    if not shutil.which("cmake"):
        sys.exit("error: cmake not found; the benchmark needs it to build relalgrun")
    print("Building the generator, the measuring helper and relalgrun (Release) ...", flush=True)
    cmake_build(REPO / "bench", out_dir / "gen", "all")
    generator, measurer = out_dir / "gen" / "generate", out_dir / "gen" / "measure"
    if args.relalgrun:
        return generator, measurer, Path(args.relalgrun).resolve()
    source, build = REPO, out_dir / "main"
    if args.commit:
        source, build = out_dir / "commit-src", out_dir / "commit-build"
        export_commit(args.commit, source)
    cmake_build(source, build, "relalgrun")
    return generator, measurer, build / "relalgrun"


DUCKDB_PACKAGE = "@duckdb/node-api"


def setup_duckdb(args, out_root):
    """Installs the DuckDB npm package into out_root/duckdb once; returns (node, package dir),
    or None after saying why DuckDB is left out."""
    if args.no_duckdb:
        print("DuckDB: left out (--no-duckdb)")
        return None
    node, npm = shutil.which("node"), shutil.which("npm")
    if not node or not npm:
        missing = " and ".join(t for t, p in (("node", node), ("npm", npm)) if not p)
        print(f"DuckDB: NOT MEASURED: {missing} not found. Install Node.js 18 or later with npm "
              f"(for instance: sudo apt-get install nodejs npm) to compare with DuckDB; the "
              f"DuckDB columns stay empty.", flush=True)
        return None
    package_dir = out_root / "duckdb"
    if not (package_dir / "node_modules" / DUCKDB_PACKAGE).exists():
        package_dir.mkdir(parents=True, exist_ok=True)
        print(f"Installing {DUCKDB_PACKAGE} into {package_dir} ...", flush=True)
        result = subprocess.run([npm, "install", "--prefix", str(package_dir), "--no-audit",
                                 "--no-fund", "--no-save", DUCKDB_PACKAGE],
                                capture_output=True, text=True)
        if result.returncode != 0:
            print(f"DuckDB: NOT MEASURED: npm install {DUCKDB_PACKAGE} failed:\n"
                  f"{result.stderr[-2000:]}", flush=True)
            return None
    return node, package_dir


def duckdb_version(package_dir):
    try:
        meta = json.loads((package_dir / "node_modules" / "@duckdb" / "node-bindings" /
                           "package.json").read_text())
        return meta.get("version", "unknown")
    except (OSError, ValueError):
        return "unknown"


# ---------------------------------------------------------------------------------------------
# Inputs

def atomic_write(path, fill):
    """Calls fill(file) on a temporary file and renames it to path when fill succeeds."""
    tmp = path.with_name(path.name + ".tmp")
    with open(tmp, "wb") as f:
        fill(f)
    os.replace(tmp, path)


def first_line(path):
    with open(path, "rb") as f:
        return f.readline().rstrip(b"\n").decode()


def size_key(w):
    return f"{w.records}" + (f"-{w.records2}" if w.records2 else "")


def input_file(w, data_dir, generator):
    """The workload's input file, generated once per workload name and size."""
    path = data_dir / f"{w.name}-{size_key(w)}.txt"
    if path.exists() and first_line(path) == w.expression:
        return path
    argv = [str(generator), w.expression, str(w.records)]
    if w.uses_emp2:
        argv.append(str(w.records2))
    print(f"  generating {path.name} ...", flush=True)
    atomic_write(path, lambda f: subprocess.run(argv, stdout=f, check=True))
    return path


def table_blocks(buffer):
    """Yields (name, start, end) of each table block's record lines in an input file."""
    pos = buffer.find(b"\n\n")
    while pos != -1:
        header_start = pos + 2
        header_end = buffer.find(b"\n", header_start)
        if header_end == -1:
            return
        name = bytes(buffer[header_start:buffer.find(b"(", header_start)]).decode()
        next_block = buffer.find(b"\n\n", header_end)
        end = len(buffer) if next_block == -1 else next_block + 1
        yield name, header_end + 1, end
        pos = next_block


def csv_files(w, input_path, data_dir):
    """CSV files of the workload's tables (records only), keyed by size like the input."""
    paths = {"emp": data_dir / f"emp-{size_key(w)}.csv"}
    if w.uses_emp2:
        paths["emp2"] = data_dir / f"emp2-{size_key(w)}.csv"
    if all(p.exists() for p in paths.values()):
        return paths
    with open(input_path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
        for name, start, end in table_blocks(m):
            if name in paths:
                def fill(out, start=start, end=end):
                    for chunk in range(start, end, 1 << 24):
                        out.write(m[chunk:min(end, chunk + (1 << 24))])
                atomic_write(paths[name], fill)
    return paths


def sqlite_script(w, csvs, out_path, data_dir):
    lines = [".headers off", ".mode csv"]
    for table, path in csvs.items():
        lines.append(f"CREATE TABLE {table}(name TEXT, age INTEGER, dept TEXT);")
        lines.append(f'.import "{path}" {table}')
    lines += [f'.output "{out_path}"', w.sql, ".output stdout"]
    path = data_dir / f"{w.name}-{size_key(w)}.sql"
    path.write_text("\n".join(lines) + "\n")
    return path


def duckdb_job(w, csvs, out_path, data_dir, package_dir, time_path):
    job = {"threads": 2, "packageDir": str(package_dir),
           "tables": {t: str(p) for t, p in csvs.items()}, "query": w.sql,
           "output": str(out_path), "timeFile": str(time_path)}
    path = data_dir / f"{w.name}-{size_key(w)}.duckdb.json"
    path.write_text(json.dumps(job, indent=1) + "\n")
    return path


# ---------------------------------------------------------------------------------------------
# Measuring

@dataclass
class Run:
    seconds: float
    max_rss_bytes: int
    status: int
    stderr: str
    timed_out: bool = False

    @property
    def ok(self):
        return self.status == 0 and not self.timed_out


def measure(measurer, argv, stdin_path, timeout, work_dir):
    """Runs argv once through the measuring helper, which reports wall time and peak RSS."""
    os.sync()  # the previous tool's output is written back before this one's clock starts
    report = work_dir / "measure.txt"
    stderr_path = work_dir / "stderr.txt"
    report.unlink(missing_ok=True)
    with open(stderr_path, "wb") as err:
        proc = subprocess.Popen([str(measurer), str(report), str(stdin_path or "-")] + argv,
                                stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            return Run(timeout, 0, -1, "", timed_out=True)
    stderr = stderr_path.read_text(errors="replace").strip()
    if proc.returncode != 0 or not report.exists():
        return Run(0.0, 0, -1, stderr or "the measuring helper failed")
    seconds, rss_kib, status = report.read_text().split()
    return Run(float(seconds), int(rss_kib) * 1024, int(status), stderr)


def measure_duckdb(measurer, node, job, time_path, timeout, work_dir):
    """One DuckDB run: peak memory of the node process, time as node reports it."""
    time_path.unlink(missing_ok=True)
    run = measure(measurer, [node, str(REPO / "bench" / "duckdb_run.mjs"), str(job)], None,
                  timeout, work_dir)
    if run.ok:
        try:
            run.seconds = float(time_path.read_text())
        except (OSError, ValueError):
            run.status, run.stderr = -1, run.stderr or "no time reported by duckdb_run.mjs"
    return run


# ---------------------------------------------------------------------------------------------
# Comparing the results

def prefix_matches(output, input_path, input_size):
    """Whether relalgrun's output starts with a copy of the input and one empty line."""
    with open(input_path, "rb") as a, open(output, "rb") as b:
        while True:
            chunk = a.read(1 << 22)
            if not chunk:
                break
            if b.read(len(chunk)) != chunk:
                return False
        return b.read(1) == b"\n" and b.tell() == input_size + 1


def relalgrun_rows(output, input_size):
    with open(output, "rb") as f:
        f.seek(input_size + 1)
        f.readline()  # the result's header line
        for line in f:
            yield line.rstrip(b"\r\n")


def sqlite_rows(output):
    with open(output, "rb") as f:
        for line in f:
            line = line.rstrip(b"\r\n")
            if b'"' in line:  # a quoted CSV field: unquote it
                fields = next(csv.reader(io.StringIO(line.decode("latin-1"))))
                line = ",".join(fields).encode("latin-1")
            yield line


def result_header(output, input_size):
    with open(output, "rb") as f:
        f.seek(input_size + 1)
        return f.readline().rstrip(b"\n").decode(errors="replace")


def compare_results(w, rel_out, sql_out, input_path, input_size, other="sqlite3"):
    """Returns (verdict, detail, result_rows)."""
    if not prefix_matches(rel_out, input_path, input_size):
        return "MISMATCH", "relalgrun's output does not start with a copy of the input", 0
    header = result_header(rel_out, input_size)
    if header != w.header:
        return "MISMATCH", f"relalgrun's result header is {header}, expected {w.header}", 0
    rows = 0
    in_order = True
    ours_iter, theirs_iter = relalgrun_rows(rel_out, input_size), sqlite_rows(sql_out)
    sentinel = object()
    while True:
        a, b = next(ours_iter, sentinel), next(theirs_iter, sentinel)
        if a is sentinel and b is sentinel:
            break
        if a != b:
            in_order = False
            break
        rows += 1
    if in_order:
        return "OK", "same records in the same order", rows
    ours = collections.Counter(relalgrun_rows(rel_out, input_size))
    theirs = collections.Counter(sqlite_rows(sql_out))
    total = sum(ours.values())
    if ours == theirs:
        return "OK", "same records, in a different order", total
    only_ours = ours - theirs
    only_theirs = theirs - ours
    sample = lambda c: ", ".join(r.decode(errors="replace") for r in list(c)[:3])
    detail = (f"relalgrun {total} rows, {other} {sum(theirs.values())} rows; "
              f"{sum(only_ours.values())} only in relalgrun ({sample(only_ours)}); "
              f"{sum(only_theirs.values())} only in {other} ({sample(only_theirs)})")
    return "MISMATCH", detail, total


# ---------------------------------------------------------------------------------------------
# Reporting

@dataclass
class Outcome:
    workload: Workload
    input_size: int = 0
    ours: list = field(default_factory=list)
    theirs: list = field(default_factory=list)
    duck: list = field(default_factory=list)
    verdict: str = ""
    detail: str = ""
    duck_verdict: str = "–"
    duck_detail: str = "not measured"
    result_rows: int = 0
    load: float = 0.0  # 1-minute load average right after the runs
    scale: list = field(default_factory=list)  # alone: relalgrun's runs on the scale input
    scale_size: int = 0


def median_seconds(runs):
    if not runs:
        return None
    good = [r.seconds for r in runs if r.ok]
    return statistics.median(good) if good and len(good) == len(runs) else None


def peak_mb(runs):
    return max(r.max_rss_bytes for r in runs) / MB if runs else None


def fmt_seconds(s, runs=True):
    if not runs:
        return "–"
    return "failed" if s is None else (f"{s:.3f} s" if s < 10 else f"{s:.1f} s")


def fmt_size(n):
    return f"{n / MB:.1f} MB" if n >= MB / 10 else f"{n / 1000:.0f} kB"


def fmt_count(n):
    return f"{n:,}"


def records_text(w):
    if w.name == "product":
        return f"{fmt_count(w.records)} × {fmt_count(w.records2)}"
    if w.uses_emp2:
        return f"{fmt_count(w.records)} + {fmt_count(w.records2)}"
    return fmt_count(w.records)


def summary_cells(o):
    ours_s, theirs_s = median_seconds(o.ours), median_seconds(o.theirs)
    ratio = f"{theirs_s / ours_s:.2f}×" if ours_s and theirs_s else "–"
    # Throughput and memory per input byte say little about inputs below a megabyte (product).
    throughput = f"{o.input_size / MB / ours_s:.0f}" if ours_s and o.input_size >= MB else "–"
    ours_mb, theirs_mb = peak_mb(o.ours), peak_mb(o.theirs)
    ours_peak = f"{ours_mb:.0f} MB" if ours_mb is not None else "–"
    if ours_mb is not None and o.input_size >= MB:
        ours_peak += f" ({ours_mb * MB / o.input_size:.1f}× input)"
    theirs_peak = f"{theirs_mb:.0f} MB" if theirs_mb is not None else "–"
    duck_s = median_seconds(o.duck) if o.duck else None
    duck_time = fmt_seconds(duck_s) if o.duck else "–"
    duck_ratio = f"{duck_s / ours_s:.2f}×" if ours_s and duck_s else "–"
    duck_mb = peak_mb(o.duck) if o.duck else None
    duck_peak = f"{duck_mb:.0f} MB" if duck_mb is not None else "–"
    return [o.workload.name, records_text(o.workload), fmt_size(o.input_size),
            fmt_count(o.result_rows), fmt_seconds(ours_s), fmt_seconds(theirs_s, o.theirs), duck_time,
            ratio, duck_ratio, throughput, ours_peak, theirs_peak, duck_peak,
            f"{o.verdict}, {o.duck_verdict}"]


HEADINGS = ["workload", "records", "input", "result rows", "relalgrun", "sqlite3", "DuckDB",
            "sqlite3/relalgrun", "DuckDB/relalgrun", "relalgrun MB/s", "peak RSS relalgrun",
            "peak RSS sqlite3", "peak RSS DuckDB", "same records (sqlite3, DuckDB)"]
RIGHT_ALIGNED = set(range(1, 13))


def markdown_table(outcomes):
    lines = ["| " + " | ".join(HEADINGS) + " |",
             "|" + "|".join("---:" if i in RIGHT_ALIGNED else "---"
                            for i in range(len(HEADINGS))) + "|"]
    for o in outcomes:
        lines.append("| " + " | ".join(summary_cells(o)) + " |")
    return "\n".join(lines)


def print_workload_report(o):
    cells = dict(zip(HEADINGS, summary_cells(o)))
    print(f"  median       relalgrun {cells['relalgrun']}, sqlite3 {cells['sqlite3']}, "
          f"DuckDB {cells['DuckDB']}")
    print(f"  ratios       sqlite3/relalgrun {cells['sqlite3/relalgrun']}, "
          f"DuckDB/relalgrun {cells['DuckDB/relalgrun']}")
    print(f"  peak RSS     relalgrun {cells['peak RSS relalgrun']}, "
          f"sqlite3 {cells['peak RSS sqlite3']}, DuckDB {cells['peak RSS DuckDB']}")
    if cells["relalgrun MB/s"] == "–":
        print(f"  throughput   not shown for an input below 1 MB ({fmt_size(o.input_size)})")
    else:
        print(f"  throughput   {cells['relalgrun MB/s']} MB/s of input "
              f"({fmt_size(o.input_size)})")
    print(f"  load         1-min load average after the runs: {o.load:.2f}")
    if o.workload.alone:
        print(f"  scale        {scale_line(o)}")
    if o.workload.alone:
        print(f"  result       {o.detail}", flush=True)
        return
    print(f"  result       sqlite3 {o.verdict}: {o.detail}")
    print(f"               DuckDB {o.duck_verdict}: {o.duck_detail}", flush=True)


def scale_line(o):
    """How the time and memory of an alone workload grow from the scale workload's input."""
    big, small = median_seconds(o.ours), median_seconds(o.scale)
    if big is None or small is None:
        return "not compared: a run failed"
    size_ratio = o.input_size / o.scale_size
    peak = peak_mb(o.ours) * MB / o.input_size
    return (f"{size_ratio:.1f}x the input of scale ({fmt_size(o.scale_size)}, "
            f"relalgrun {fmt_seconds(small)}): {big / small:.1f}x the time "
            f"(goal at most 12x), peak RSS {peak:.2f}x the input (goal at most 1.3x)")


def report_failure(tool, run):
    what = "timed out" if run.timed_out else f"exited with status {run.status}"
    print(f"  {tool} {what}" + (f": {run.stderr[:500]}" if run.stderr else ""), flush=True)


def run_alone(w, args, tools, dirs, scale):
    """relalgrun alone on w's input and on the scale workload's, alternately."""
    data_dir, out_dir = dirs
    generator, measurer, relalgrun = tools
    print(f"\n== {w.name}: {w.expression}  [{records_text(w)} records, {w.runs} runs, "
          f"relalgrun only, against scale's {fmt_count(scale.records)}]", flush=True)
    input_path = input_file(w, data_dir, generator)
    scale_path = input_file(scale, data_dir, generator)
    rel_out = out_dir / f"{w.name}.relalgrun.txt"
    o = Outcome(w, input_path.stat().st_size, scale_size=scale_path.stat().st_size)
    o.duck_verdict = "–"
    for i in range(w.runs):
        small = measure(measurer, [str(relalgrun), str(scale_path), str(rel_out)], None,
                        args.timeout, out_dir)
        big = measure(measurer, [str(relalgrun), str(input_path), str(rel_out)], None,
                      args.timeout, out_dir)
        o.scale.append(small)
        o.ours.append(big)
        print(f"  run {i + 1}/{w.runs}    relalgrun {big.seconds:7.3f} s "
              f"{big.max_rss_bytes / MB:6.0f} MB   on scale's input {small.seconds:7.3f} s "
              f"{small.max_rss_bytes / MB:6.0f} MB", flush=True)
        for run in (small, big):
            if not run.ok:
                report_failure("relalgrun", run)
        if not small.ok or not big.ok:
            break
    o.load = os.getloadavg()[0]
    if not o.ours[-1].ok:
        o.verdict, o.detail = "FAILED", "a run failed; see above"
    elif not prefix_matches(rel_out, input_path, o.input_size):
        o.verdict, o.detail = "MISMATCH", "relalgrun's output does not start with the input"
    elif result_header(rel_out, o.input_size) != w.header:
        o.verdict, o.detail = "MISMATCH", "relalgrun's result header is not " + w.header
    else:
        o.result_rows = sum(1 for _ in relalgrun_rows(rel_out, o.input_size))
        o.verdict, o.detail = "–", "not compared (relalgrun alone); the copy and header are right"
    rel_out.unlink(missing_ok=True)  # gigabytes
    print_workload_report(o)
    return o


def run_workload(w, args, tools, sqlite3, duckdb, dirs):
    data_dir, out_dir = dirs
    generator, measurer, relalgrun = tools
    print(f"\n== {w.name}: {w.expression}  [{records_text(w)} records, {w.runs} runs]",
          flush=True)
    input_path = input_file(w, data_dir, generator)
    csvs = csv_files(w, input_path, data_dir)
    rel_out = out_dir / f"{w.name}.relalgrun.txt"
    sql_out = out_dir / f"{w.name}.sqlite3.csv"
    script = sqlite_script(w, csvs, sql_out, data_dir)
    duck_out, duck_time = out_dir / f"{w.name}.duckdb.csv", out_dir / "duckdb-seconds.txt"
    if duckdb:
        job = duckdb_job(w, csvs, duck_out, data_dir, duckdb[1], duck_time)
    o = Outcome(w, input_path.stat().st_size)
    for i in range(w.runs):
        ours = measure(measurer, [str(relalgrun), str(input_path), str(rel_out)], None,
                       args.timeout, out_dir)
        theirs = measure(measurer, [sqlite3, "-batch", "-init", os.devnull, ":memory:"],
                         script, args.timeout, out_dir)
        o.ours.append(ours)
        o.theirs.append(theirs)
        line = (f"  run {i + 1}/{w.runs}    relalgrun {ours.seconds:7.3f} s "
                f"{ours.max_rss_bytes / MB:6.0f} MB   "
                f"sqlite3 {theirs.seconds:7.3f} s {theirs.max_rss_bytes / MB:6.0f} MB")
        duck = None
        if duckdb:
            duck = measure_duckdb(measurer, duckdb[0], job, duck_time, args.timeout, out_dir)
            o.duck.append(duck)
            line += f"   DuckDB {duck.seconds:7.3f} s {duck.max_rss_bytes / MB:6.0f} MB"
        print(line, flush=True)
        if not ours.ok:
            report_failure("relalgrun", ours)
        if not theirs.ok:
            report_failure("sqlite3", theirs)
        if duck is not None and not duck.ok:
            report_failure("DuckDB", duck)
        if not ours.ok or not theirs.ok or (duck is not None and not duck.ok):
            break
    o.load = os.getloadavg()[0]
    if o.ours[-1].ok and o.theirs[-1].ok:
        o.verdict, o.detail, o.result_rows = compare_results(
            w, rel_out, sql_out, input_path, o.input_size)
    else:
        o.verdict, o.detail = "FAILED", "a run failed; see above"
    if o.duck and o.ours[-1].ok and o.duck[-1].ok:
        o.duck_verdict, o.duck_detail, _ = compare_results(
            w, rel_out, duck_out, input_path, o.input_size, "DuckDB")
    elif o.duck:
        o.duck_verdict, o.duck_detail = "FAILED", "a run failed; see above"
    print_workload_report(o)
    return o


# ---------------------------------------------------------------------------------------------

def parse_args(names):
    p = argparse.ArgumentParser(
        description="Benchmark relalgrun against sqlite3 :memory: on generated tables.")
    p.add_argument("--only", help="comma-separated workloads to run, of: " + ", ".join(names))
    p.add_argument("--quick", action="store_true",
                   help="smoke run: 20,000 records (product 100 x 100, scale 200,000), 1 run")
    p.add_argument("--runs", type=int, help="runs of each tool per workload (default 5)")
    p.add_argument("--scale-runs", type=int, help="runs for the scale workload (default 3)")
    p.add_argument("--scale100-runs", type=int,
                   help="runs for the scale100 workload (default 1)")
    p.add_argument("--scale100-records", type=int,
                   help="records of the scale100 workload (default 100,000,000)")
    p.add_argument("--records", type=int, help="records of emp and emp2 (default 1,000,000)")
    p.add_argument("--product-records", type=int,
                   help="records of each product operand (default 1,000)")
    p.add_argument("--scale-records", type=int,
                   help="records of the scale workload (default 10,000,000)")
    p.add_argument("--timeout", type=float, default=1800,
                   help="seconds before one run is killed (default 1800)")
    p.add_argument("--build-dir", default=str(REPO / "build-bench"),
                   help="build, data and output directory (default build-bench)")
    p.add_argument("--relalgrun", help="use this relalgrun executable instead of building one")
    p.add_argument("--commit",
                   help="build relalgrun from this commit instead of the working tree")
    p.add_argument("--markdown", help="also write the final table to this file")
    p.add_argument("--no-duckdb", action="store_true", help="leave DuckDB out")
    args = p.parse_args()
    if args.commit:
        args.commit = command_output(["git", "rev-parse", "--verify", args.commit + "^{commit}"],
                                     REPO) or sys.exit(f"error: no commit {args.commit}")
    quick = dict(runs=1, scale_runs=1, records=20_000, product_records=100,
                 scale_records=200_000, scale100_runs=1, scale100_records=2_000_000)
    full = dict(runs=5, scale_runs=3, records=1_000_000, product_records=1_000,
                scale_records=10_000_000, scale100_runs=1, scale100_records=100_000_000)
    for key, value in (quick if args.quick else full).items():
        if getattr(args, key) is None:
            setattr(args, key, value)
    return args


def main():
    names = ["load", "select", "project", "union", "minus", "product", "scale", "scale100"]
    args = parse_args(names)
    chosen = names[:-1]  # scale100 (gigabytes, relalgrun alone) only when asked for
    if args.only:
        chosen = [n.strip() for n in args.only.split(",") if n.strip()]
        unknown = [n for n in chosen if n not in names]
        if unknown:
            sys.exit(f"error: unknown workload(s) {', '.join(unknown)}; "
                     f"choose from {', '.join(names)}")

    sqlite3 = shutil.which("sqlite3")
    if not sqlite3:
        sys.exit("error: the sqlite3 shell is not installed; the benchmark compares against it.\n"
                 "Install it, for instance on Debian or Ubuntu with:  sudo apt-get install sqlite3")

    machine = machine_info()
    load_before = load_text()
    print(f"Machine: {machine['cores']} cores, {machine['memory']} memory, CPU {machine['cpu']}, "
          f"{machine['kernel']}")
    print(f"Load average (1/5/15 min) at start: {load_before}")

    out_root = Path(args.build_dir).resolve()
    data_dir, out_dir = out_root / "data", out_root / "out"
    data_dir.mkdir(parents=True, exist_ok=True)
    out_dir.mkdir(parents=True, exist_ok=True)
    tools = build_tools(args, out_root)
    relalgrun = tools[2]
    duckdb = setup_duckdb(args, out_root)
    sqlite_version = command_output([sqlite3, "--version"]).split(" ")[0]
    source = f"executable {relalgrun}" if args.relalgrun else source_description(args.commit)
    print(f"relalgrun: {source}")
    print(f"sqlite3: {sqlite3} {sqlite_version}")
    duck_text = f"DuckDB {duckdb_version(duckdb[1])} (2 threads)" if duckdb else "DuckDB not measured"
    print(f"DuckDB: {duck_text}")

    outcomes = []
    every = workloads(args)
    scale = next(w for w in every if w.name == "scale")
    for w in every:
        if w.name not in chosen:
            continue
        if w.alone:
            outcomes.append(run_alone(w, args, tools, (data_dir, out_dir), scale))
        else:
            outcomes.append(run_workload(w, args, tools, sqlite3, duckdb, (data_dir, out_dir)))

    load_after = load_text()
    loads = [o.load for o in outcomes] or [0.0]
    runs_text = f"median of {args.runs} runs each"
    if "scale" in chosen:
        runs_text += f" ({args.scale_runs} for scale)"
    preamble = (f"Machine: {machine['cores']} cores, {machine['memory']} memory, "
                f"{machine['cpu']}; load average {load_before} at start, {load_after} at end, "
                f"1-min load {min(loads):.1f} to {max(loads):.1f} after the workloads. "
                f"relalgrun: {source}; sqlite3 {sqlite_version}; {duck_text}; {runs_text}; "
                f"MB = 10^6 bytes.")
    table = markdown_table(outcomes)
    print("\n" + preamble + "\n\n" + table)
    if args.markdown:
        Path(args.markdown).write_text(preamble + "\n\n" + table + "\n")
    bad = [o for o in outcomes if o.verdict not in ("OK", "–" if o.workload.alone else "OK")
           or o.duck_verdict not in ("OK", "–")]
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
