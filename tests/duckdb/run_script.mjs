// Runs an SQL script from standard input in an in-memory DuckDB database and prints the rows of
// its last statement as the sqlite3 shell does in list mode with the separator ",": the values
// of a row joined by commas, one row a line.
import { DuckDBInstance } from '@duckdb/node-api';

const chunks = [];
for await (const chunk of process.stdin) chunks.push(chunk);
const script = Buffer.concat(chunks).toString('utf8');

const instance = await DuckDBInstance.create(':memory:');
const connection = await instance.connect();
const statements = await connection.extractStatements(script);
let reader = null;
for (let k = 0; k < statements.count; k++) {
  const prepared = await statements.prepare(k);
  reader = await prepared.runAndReadAll();
}
let out = '';
if (reader !== null) {
  for (const row of reader.getRows()) out += row.map((value) => String(value)).join(',') + '\n';
}
process.stdout.write(out);
