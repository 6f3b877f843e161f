// qb-bench neardupes: the near-duplicate search run on one column.
//   neardupes        reading the distinct values, pairing, filling tblSpecSearch1 and tblCounts1 (s)
//   brute_force_10k  comparing every pair of 10,000 of the values one by one (s)
// --distinct N fills a one-column list (Value) with N distinct generated
// values (default 100,000), some repeated, with the generator's misspellings
// among them; --csv FILE --column NAME searches a column of a given list.
// --type missing searches for a missing character; --min/--max set the
// lengths (default 1 to 255). --dump prints the rows of tblSpecSearch1 as CSV
// on stdout; the figures then go to stderr.
#include "benchdb.h"
#include "csvload.h"
#include "generator.h"
#include "registry.h"

#include "duplicates/near_search.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// N distinct values from the generator's names and places; every third row
// repeats its value so the counts are not all 1.
bool fillDistinct(jet::Database& db, qint64 n)
{
    db.execute(QStringLiteral("CREATE TABLE tblData ([Value] TEXT(255))"));
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("BEGIN"));
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData VALUES (?1)"));
    QSet<QString> seen;
    seen.reserve(n);
    qint64 row = 0;
    for (quint64 seed = 1; seen.size() < n && seed < 50; ++seed) {
        bench::GenOptions o;
        o.rows = n;
        o.seed = seed;
        bench::generate(o, [&](const QStringList& r) {
            if (seen.size() >= n)
                return;
            const QString v = r[1] + QLatin1Char(' ') + r[2] + (seed > 1 ? QLatin1Char(' ') + r[5] : QString());
            const QString key = v.toCaseFolded();   // the engine's values ignore case
            const bool fresh = !seen.contains(key);
            if (fresh)
                seen.insert(key);
            if (fresh || ++row % 3 == 0) {
                ins.bind(1, jet::Value(v));
                ins.step();
                ins.reset();
            }
        });
    }
    c.exec(QStringLiteral("COMMIT"));
    db.appendField(QStringLiteral("tblData"),
                   jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    return seen.size() >= n;
}

// The plain way: every value against every other.
qint64 bruteForcePairs(const std::vector<QString>& values, neardup::SearchType type)
{
    qint64 pairs = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const QString& a = values[i];
        for (size_t j = 0; j < values.size(); ++j) {
            const QString& b = values[j];
            if (type == neardup::SearchType::OneCharDifferent) {
                if (j <= i || a.size() != b.size())
                    continue;
                int diff = 0;
                for (qsizetype k = 0; k < a.size() && diff < 2; ++k)
                    diff += a[k] != b[k];
                pairs += diff == 1;
            } else {
                if (a.size() != b.size() + 1)
                    continue;
                qsizetype k = 0;
                while (k < b.size() && a[k] == b[k])
                    ++k;
                pairs += QStringView(a).mid(k + 1) == QStringView(b).mid(k);
            }
        }
    }
    return pairs;
}

int runNearDupes(const QStringList& args)
{
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    QString column = bench::option(args, QStringLiteral("--column"), QStringLiteral("Value"));
    const bool dumping = bench::flag(args, QStringLiteral("--dump"));   // the figures then go to stderr
    QElapsedTimer t;
    t.start();
    try {
        if (!csv.isEmpty()) {
            QString error;
            if (!bench::loadCsv(db, csv, &error)) {
                std::fprintf(stderr, "neardupes: %s\n", qPrintable(error));
                return 1;
            }
        } else if (!fillDistinct(db, bench::option(args, QStringLiteral("--distinct"), QStringLiteral("100000")).toLongLong())) {
            std::fprintf(stderr, "neardupes: the generator gave fewer distinct values than asked\n");
        }
        std::fprintf(stderr, "load %.3f s\n", t.nsecsElapsed() / 1e9);
        db.execute(QStringLiteral("CREATE TABLE tblSpecSearch1 (Column1 TEXT(255), Count1 TEXT(15), Convert1 TEXT(1), "
                                  "Column2 TEXT(255), Count2 TEXT(15), Convert2 TEXT(1), DummyField TEXT(1), "
                                  "CONSTRAINT pk PRIMARY KEY (Column1, Column2));"));
        db.execute(QStringLiteral("CREATE TABLE tblCounts1 (Column1 TEXT(255), Count1 INT, CONSTRAINT pk PRIMARY KEY (Column1));"));

        neardup::NearSearchRequest req;
        req.column = column;
        req.type = bench::option(args, QStringLiteral("--type")) == QLatin1String("missing") ? neardup::SearchType::OneCharMissing
                                                                                           : neardup::SearchType::OneCharDifferent;
        req.minLength = bench::option(args, QStringLiteral("--min"), QStringLiteral("1")).toInt();
        req.maxLength = bench::option(args, QStringLiteral("--max"), QStringLiteral("255")).toInt();
        t.restart();
        const neardup::NearSearchRecord r = neardup::runNearSearch(db, req);
        bench::figure("neardupes", t.nsecsElapsed() / 1e9, "s", dumping);
        if (!r.ok) {
            std::fprintf(stderr, "neardupes: %s\n", qPrintable(r.error));
            return 1;
        }
        jet::Connection& c = db.connection();
        {
            jet::Stmt n(&c, QStringLiteral("SELECT count(DISTINCT \"%1\") FROM tblData").arg(r.column));
            n.step();
            std::fprintf(stderr, "%lld distinct values, %lld pairs, %lld too long\n", static_cast<long long>(n.int64(0)),
                         static_cast<long long>(r.pairs), static_cast<long long>(r.tooLong));
        }

        // The same 10,000 values both ways.
        std::vector<QString> sample;
        std::vector<neardup::ValueCount> counted;
        {
            jet::Stmt s(&c, QStringLiteral("SELECT DISTINCT jet_cstr(\"%1\") COLLATE JETCI FROM tblData WHERE \"%1\" IS NOT NULL "
                                           "AND length(\"%1\") <= 255 LIMIT 10000")
                                .arg(r.column));
            while (s.step()) {
                const QString v = s.value(0, jet::dbText).toString();
                sample.push_back(v.toCaseFolded());
                counted.push_back(neardup::ValueCount{v, 1, true});
            }
        }
        t.restart();
        const qint64 brute = bruteForcePairs(sample, req.type);
        bench::figure("brute_force_10k", t.nsecsElapsed() / 1e9, "s", dumping);
        neardup::SearchOptions o;
        o.type = req.type;
        o.minLength = req.minLength;
        o.maxLength = req.maxLength;
        const qint64 hashed = qint64(neardup::findNearPairs(counted, o).pairs.size());
        std::fprintf(stderr, "10k sample: %lld pairs by brute force, %lld by the search%s\n", static_cast<long long>(brute),
                     static_cast<long long>(hashed), brute == hashed ? "" : "  MISMATCH");

        if (dumping) {
            bench::out("Column1,Count1,Column2,Count2\r\n");
            jet::Stmt s(&c, QStringLiteral("SELECT Column1, Count1, Column2, Count2 FROM tblSpecSearch1 ORDER BY 1, 3"));
            auto cell = [](QString v) {
                v.replace(QLatin1Char('"'), QLatin1String("\"\""));
                return QLatin1Char('"') + v + QLatin1Char('"');
            };
            while (s.step())
                bench::outLine(cell(s.value(0, jet::dbText).toString()) + QLatin1Char(',') + s.value(1, jet::dbText).toString()
                               + QLatin1Char(',') + cell(s.value(2, jet::dbText).toString()) + QLatin1Char(',')
                               + s.value(3, jet::dbText).toString());
        }
        return brute == hashed || req.maxLength < 255 ? 0 : 1;
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "neardupes: %s\n", qPrintable(e.description()));
        return 1;
    }
}

bench::Registrar reg("neardupes",
                     "--distinct N | --csv FILE --column NAME [--type missing] [--min L --max L] [--dump]: near-duplicate search",
                     runNearDupes);

} // namespace
