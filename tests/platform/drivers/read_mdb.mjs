// Reads every table of each .mdb file named with the npm package mdb-reader
// and prints one JSON report: for each file its AccessVersion property and,
// per table, its row count (and the rows of the tables that are not system
// tables). A file it cannot read is reported with the reader's error.
// Arguments "--table=NAME" read only the tables named.
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";

const args = process.argv.slice(2);
const only = args.filter((a) => a.startsWith("--table=")).map((a) => a.slice(8));
const out = [];
for (const path of args.filter((a) => !a.startsWith("--table="))) {
    try {
        const reader = new MDBReader(readFileSync(path));
        const tables = {};
        const names = reader.getTableNames({ normalTables: true, systemTables: true })
            .filter((name) => only.length === 0 || only.includes(name));
        const user = new Set(reader.getTableNames({ normalTables: true, systemTables: false }));
        let version = null;
        for (const name of names) {
            const table = reader.getTable(name);
            const data = table.getData();
            tables[name] = { rows: table.rowCount, read: data.length };
            if (user.has(name))
                tables[name].data = data;
            if (name === "MSysObjects") {
                const db = data.find((row) => row.Name === "MSysDb");
                if (db && db.LvProp) {
                    const text = db.LvProp.toString(db.LvProp.subarray(0, 3).toString("latin1") === "KKD" ? "latin1" : "utf16le");
                    version = text.slice(-5);
                }
            }
            if (data.length !== table.rowCount)
                throw new Error(`${name}: ${data.length} rows read of ${table.rowCount}`);
        }
        out.push({ version, tables });
    } catch (e) {
        out.push({ error: `${path}: ${e.stack}` });
    }
}
process.stdout.write(JSON.stringify(out));
