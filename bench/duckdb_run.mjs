// Runs one benchmark query in DuckDB through the npm package @duckdb/node-api:
//   node duckdb_run.mjs <job.json>
// job.json: {"threads": 2, "packageDir": "/path/with/node_modules", "tables": {"emp":
//            "/path/emp.csv", ...}, "query": "SELECT ...", "output": "/path/out.csv",
//            "timeFile": "/path/seconds.txt"}
// Opens an in-memory database with the given number of threads, reads each CSV file into a table
// with the benchmark's column types, copies the query's result to the output file as CSV without
// a header, and writes to timeFile the seconds from opening the database to the end of the copy (node's own
// start-up and the loading of the package are left out).
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { performance } from 'node:perf_hooks';

const job = JSON.parse(readFileSync(process.argv[2], 'utf8'));
// The package is installed beside the job (the benchmark's build folder), not with the project.
const require = createRequire(job.packageDir + '/');
const { DuckDBInstance } = require('@duckdb/node-api');

const quote = (text) => "'" + text.replaceAll("'", "''") + "'";
const columns = "{'name': 'VARCHAR', 'age': 'INTEGER', 'dept': 'VARCHAR'}";

const started = performance.now();
const instance = await DuckDBInstance.create(':memory:', { threads: String(job.threads) });
const connection = await instance.connect();
for (const [table, path] of Object.entries(job.tables)) {
  await connection.run(
    `CREATE TABLE ${table} AS SELECT * FROM read_csv(${quote(path)}, header = false, ` +
      `columns = ${columns}, delim = ',', quote = '', escape = '', auto_detect = false)`);
}
await connection.run(
  `COPY (${job.query.replace(/;\s*$/, '')}) TO ${quote(job.output)} ` +
    `(FORMAT csv, HEADER false, QUOTE '', ESCAPE '')`);
const seconds = (performance.now() - started) / 1000;
connection.closeSync();
writeFileSync(job.timeFile, `${seconds}\n`);
