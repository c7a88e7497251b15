#!/usr/bin/env node
// Reads an Access database with the npm package mdb-reader, a second reader beside mdbtools, so the
// tests can check the files they generate.
//
//   node read-mdb.mjs FILE                 JSON: {tables, systemTables, data: {name: {columns, rows}}}
//   node read-mdb.mjs FILE TABLE [--tsv]   JSON of one table, or TSV with a header line
//
// Rows are arrays in column order; NULL is null, dates are ISO texts in UTC without a zone
// ("1965-03-14T08:05:09.000"), as Access keeps wall-clock times. In TSV, NULL is \N.
// mdb-reader is ESM, which ignores NODE_PATH, so it is looked up here: next to or above this script,
// in every NODE_PATH folder, then in the project's build/node.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));

async function loadReader() {
    const folders = [
        here,
        ...(process.env.NODE_PATH ?? "").split(path.delimiter).filter(Boolean),
        path.join(here, "..", "..", "build", "node", "node_modules"),
    ];
    for (const folder of folders) {
        try {
            const entry = createRequire(path.join(folder, "noop.js")).resolve("mdb-reader");
            return (await import(pathToFileURL(entry).href)).default;
        } catch {
            // not in this folder
        }
    }
    throw new Error("mdb-reader is not installed (tools/setup.sh puts it into build/node)");
}

function cell(value) {
    if (value instanceof Date)
        return value.toISOString().replace(/Z$/, "");
    return value;
}

function readTable(reader, name) {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.size }));
    const rows = table.getData().map((row) => columns.map((c) => cell(row[c.name])));
    return { columns, rows };
}

function tsvField(value) {
    if (value === null)
        return "\\N";
    return String(value).replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n").replace(/\r/g, "\\r");
}

async function main(args) {
    const tsv = args.includes("--tsv");
    const [file, tableName] = args.filter((a) => a !== "--tsv");
    if (!file) {
        process.stderr.write("usage: read-mdb.mjs FILE [TABLE] [--tsv]\n");
        return 2;
    }
    const MDBReader = await loadReader();
    const reader = new MDBReader(readFileSync(file));
    if (tableName === undefined) {
        const tables = reader.getTableNames();
        const data = {};
        for (const name of tables)
            data[name] = readTable(reader, name);
        const systemTables = reader.getTableNames({ normalTables: false, systemTables: true });
        process.stdout.write(JSON.stringify({ tables, systemTables, data }) + "\n");
        return 0;
    }
    const table = readTable(reader, tableName);
    if (!tsv) {
        process.stdout.write(JSON.stringify(table) + "\n");
        return 0;
    }
    const lines = [table.columns.map((c) => c.name).join("\t")];
    for (const row of table.rows)
        lines.push(row.map(tsvField).join("\t"));
    process.stdout.write(lines.join("\n") + "\n");
    return 0;
}

// exitCode, not exit(): a pipe takes large output asynchronously, and exit() would cut it off.
main(process.argv.slice(2)).then(
    (code) => { process.exitCode = code; },
    (e) => {
        process.stderr.write(`read-mdb: ${e.message}\n`);
        process.exitCode = 1;
    });
