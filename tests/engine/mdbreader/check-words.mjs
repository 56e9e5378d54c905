// Reads table "words" of a word database with the independent reader mdb-reader and checks that it holds
// the words of the word list it was written from, in order: ID 1, 2, ..., Length, Word.
// usage: node check-words.mjs <database> <word list>
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [databasePath, listPath] = process.argv.slice(2);
if (!databasePath || !listPath) {
    console.error("usage: node check-words.mjs <database> <word list>");
    process.exit(2);
}

const expected = readFileSync(listPath, "utf8")
    .replace(/^\uFEFF/, "")
    .split("\n")
    .map((line) => line.replace(/\r$/, ""))
    .filter((line) => line !== "");

const reader = new MDBReader(readFileSync(databasePath));
const tables = reader.getTableNames();
if (!tables.includes("words")) {
    console.error(`no table "words" among: ${tables.join(", ")}`);
    process.exit(1);
}
const table = reader.getTable("words");
const columns = table.getColumnNames();
if (columns.join(",") !== "ID,Length,Word") {
    console.error(`unexpected columns: ${columns.join(",")}`);
    process.exit(1);
}
if (table.rowCount !== expected.length) {
    console.error(`row count ${table.rowCount}, expected ${expected.length}`);
    process.exit(1);
}

const rows = table.getData();
if (rows.length !== expected.length) {
    console.error(`read ${rows.length} rows, expected ${expected.length}`);
    process.exit(1);
}
let mismatches = 0;
rows.forEach((row, i) => {
    const word = expected[i];
    if (row.ID !== i + 1 || row.Length !== word.length || row.Word !== word) {
        if (mismatches < 10)
            console.error(`row ${i + 1}: ${JSON.stringify(row)}, expected ID ${i + 1}, ${JSON.stringify(word)}`);
        ++mismatches;
    }
});
if (mismatches > 0) {
    console.error(`${mismatches} rows differ`);
    process.exit(1);
}
console.log(`${rows.length} rows read by mdb-reader match the word list`);
