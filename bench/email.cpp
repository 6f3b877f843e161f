// qb-bench email: the E-Mail Cleaner's Refresh and Use All Corrections on a
// list, through the same functions the page's buttons run (everything after
// the questions: the run, the invalid list, the counts list, the data grid's
// re-read), without the widgets.
//   email_validate  validating one column into tblEMails, suggestions included,
//                   and the page's lists and grid refreshed (s)
//   sqlite3_email   the sqlite3 shell making a table of the key and the parts
//                   before and after "@" of the same column (s)
//   email_use_all   Use All Corrections and the validation run after it (s)
//
//   qb-bench email --rows N                 a generated list (about 10% bad addresses)
//   qb-bench email --csv FILE --column NAME a comma-separated list with a header row
//   --settings DIR                          take gTLDs.txt and ccTLDs.txt from DIR
//                                           (default: the generator's domains)
//   --dump                                  print key, address and the tblEMails row
//                                           of each address as CSV on stdout (the
//                                           figure then goes to stderr)
#include "generator.h"
#include "csvload.h"
#include "registry.h"

#include "reference.h"

#include "email/address_check.h"
#include "email/column_run.h"
#include "email/domain_lists.h"
#include "email/email_run.h"
#include "exchange/line_split.h"
#include "exchange/text_lines.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

const jet::FieldDef kKey{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0};

/// Creates tblData with the columns (as LONGTEXT, so no cell is refused) and
/// feeds it rows from fill, one prepared insert in one transaction; then keys it.
template <class Fill>
void makeList(jet::Database& db, const QStringList& columns, Fill&& fill)
{
    QStringList defs, marks;
    for (const QString& c : columns) {
        defs << QStringLiteral("[%1] LONGTEXT").arg(c);
        marks << QStringLiteral("?");
    }
    db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(defs.join(QLatin1String(", "))), jet::dbFailOnError);
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("BEGIN"));
    {
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(marks.join(QLatin1Char(','))));
        fill([&](const auto& row) {
            for (int i = 0; i < columns.size(); ++i) {
                const bool has = i < static_cast<int>(row.size()) && !row[size_t(i)].isEmpty();
                ins.bind(i + 1, has ? jet::Value(row[size_t(i)].toString()) : jet::Value());
            }
            ins.step();
            ins.reset();
        });
    }
    c.exec(QStringLiteral("COMMIT"));
    c.bump();
    db.appendField(QStringLiteral("tblData"), kKey);
}

bool loadGenerated(jet::Database& db, qint64 rows)
{
    bench::GenOptions o;
    o.rows = rows;
    bool ok = false;
    makeList(db, bench::generatorColumns(), [&](const auto& put) {
        ok = bench::generate(o, [&](const QStringList& row) {
            std::vector<QStringView> cells(row.begin(), row.end());
            put(cells);
        });
    });
    return ok;
}


void createEmailTables(jet::Database& db, const email::DomainLists& lists)
{
    db.execute(QStringLiteral(
                   "CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
                   "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), Suggest2 TEXT(255), Suggest3 TEXT(255), "
                   "Suggest4 TEXT(255),  Suggest5 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"),
               jet::dbFailOnError);
    db.execute(QStringLiteral("CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255), CONSTRAINT pk PRIMARY KEY (ccTLD));"),
               jet::dbFailOnError);
    jet::Connection& c = db.connection();
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES (?1, ?2)"));
    for (const email::CountryDomain& d : lists.countries()) {
        if (d.code.size() > 2)
            continue;
        ins.bind(1, jet::Value(d.code));
        ins.bind(2, jet::Value(d.name.left(255)));
        ins.step();
        ins.reset();
    }
    c.bump();
}

std::optional<email::DomainLists> listsFrom(const QString& folder)
{
    auto read = [](const QString& path) -> std::optional<QString> {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(f.readAll());
    };
    const auto generic = read(folder + QStringLiteral("/gTLDs.txt"));
    const auto countries = read(folder + QStringLiteral("/ccTLDs.txt"));
    if (!generic || !countries)
        return std::nullopt;
    return email::DomainLists(email::parseGenericDomains(*generic), email::parseCountryDomains(*countries));
}

email::DomainLists generatorLists()
{
    std::vector<email::CountryDomain> countries;
    for (const auto& [code, name] : bench::generatorCountryDomains())
        countries.push_back({code, name});
    return email::DomainLists(bench::generatorGenericDomains(), countries);
}

QByteArray csvField(const jet::Value& v)
{
    if (v.isNull())
        return QByteArray();
    QString s = v.toString();
    if (s.isEmpty())
        return QByteArray();
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + s.toUtf8() + '"';
}

void dump(jet::Database& db, const QString& column)
{
    jet::Connection& c = db.connection();
    jet::Stmt s(&c, QStringLiteral("SELECT D.LumacorPrimK, D.%1, E.IsValid, E.Account, E.SubDomain, E.Domain, E.Country, "
                                   "E.Suggest1 FROM tblData D JOIN tblEMails E ON D.LumacorPrimK = E.LumacorPrimK "
                                   "ORDER BY D.LumacorPrimK")
                        .arg(jet::quoteName(column)));
    std::fputs("LumacorPrimK,EMail,IsValid,Account,SubDomain,Domain,Country,Suggest1\r\n", stdout);
    const int types[] = {jet::dbLong, jet::dbMemo, jet::dbBoolean, jet::dbText, jet::dbText, jet::dbText, jet::dbText, jet::dbText};
    QByteArray line;
    while (s.step()) {
        line.clear();
        for (int i = 0; i < 8; ++i) {
            if (i)
                line += ',';
            line += i == 0 ? QByteArray::number(s.int64(0)) : csvField(s.value(i, types[i]));
        }
        line += "\r\n";
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
}

int runEmail(const QStringList& args)
{
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    const QString column = bench::option(args, QStringLiteral("--column"), QStringLiteral("Email"));
    const QString settings = bench::option(args, QStringLiteral("--settings"));
    const bool dumpRows = bench::flag(args, QStringLiteral("--dump"));
    bool rowsOk = false;
    const qint64 rows = bench::option(args, QStringLiteral("--rows"), QStringLiteral("1000000")).toLongLong(&rowsOk);
    if (csv.isEmpty() && (!rowsOk || rows < 0)) {
        std::fprintf(stderr, "usage: qb-bench email [--rows N | --csv FILE --column NAME] [--settings DIR] [--dump]\n");
        return 2;
    }

    email::DomainLists lists = generatorLists();
    if (!settings.isEmpty()) {
        const auto read = listsFrom(settings);
        if (!read) {
            std::fprintf(stderr, "email: cannot read gTLDs.txt and ccTLDs.txt in %s\n", qPrintable(settings));
            return 1;
        }
        lists = *read;
    }

    QTemporaryDir dir;
    try {
        jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
        QElapsedTimer t;
        t.start();
        QString error;
        if (csv.isEmpty() ? !loadGenerated(db, rows) : !bench::loadCsv(db, csv, &error)) {
            std::fprintf(stderr, "email: could not load the list: %s\n", qPrintable(error));
            return 1;
        }
        createEmailTables(db, lists);
        std::fprintf(stderr, "list loaded in %.2f s\n", t.elapsed() / 1000.0);

        const QString specials = email::defaultSpecialChars();
        // The page's lists and the data grid as the workbench binds them.
        workbench::DataControl grid;
        grid.setDatabaseName(db.name());
        grid.setRecordSource(workbench::wholeListSource(workbench::buildFieldList(workbench::listColumns(db))));
        grid.Refresh();
        workbench::GridModel gridModel(&grid);
        workbench::DataControl invalidList;
        invalidList.setDatabaseName(db.name());
        email::CountsModel counts;
        counts.setHeaders({QStringLiteral("Domain"), QStringLiteral("Tld"), QStringLiteral("Country"), QStringLiteral("Count")});
        email::ResultViews views{&invalidList, &counts, [&] { gridModel.refreshRows(); }};
        email::CountsChoice choice;
        for (int i : {3, 4, 5, 6})
            choice.ticked[size_t(i)] = true;
        auto refresh = [&] {
            email::InvalidSort sort{4, false};
            return email::validateAndShow(db, column, lists, specials, choice, email::CountsSort{}, sort, views);
        };

        t.restart();
        const email::RunResult r = refresh();
        const double seconds = t.nsecsElapsed() / 1e9;
        if (!r.ok) {
            std::fprintf(stderr, "email: the run failed: %s\n", qPrintable(r.error));
            return 1;
        }
        bench::figure("email_validate", seconds, "s", dumpRows);
        std::fprintf(stderr, "invalid list %ld rows, counts list %d rows\n",
                     invalidList.Recordset() ? invalidList.Recordset()->recordCount() : 0L, counts.rowCount());
        if (!dumpRows) {
            QString col = r.run.column;
            col.replace(QLatin1Char('"'), QLatin1String("\"\""));
            const QString q = QLatin1Char('"') + col + QLatin1Char('"');
            bench::printReference(
                "sqlite3_email",
                bench::shellReference(db, QStringLiteral("CREATE TABLE e AS SELECT LumacorPrimK, "
                                                         "substr(%1, 1, instr(%1, '@') - 1) AS account, "
                                                         "substr(%1, instr(%1, '@') + 1) AS domain FROM tblData;")
                                              .arg(q)),
                "email_validate", seconds);
        }
        qint64 suggested = 0;
        {
            jet::Stmt s(&db.connection(), QStringLiteral("SELECT COUNT(*) FROM tblEMails WHERE Suggest1 IS NOT NULL"));
            if (s.step())
                suggested = s.int64(0);
        }
        std::fprintf(stderr, "addresses %lld, invalid %lld, with a suggestion %lld, trimmed %lld, too long %lld\n",
                     static_cast<long long>(r.run.rows), static_cast<long long>(r.run.invalid),
                     static_cast<long long>(suggested), static_cast<long long>(r.run.trimmed),
                     static_cast<long long>(r.run.oversized));
        if (dumpRows) {
            dump(db, r.run.column);
            return 0;
        }
        t.restart();
        const email::ChangeResult use = email::changeAllInvalid(db, r.run, column, true, views);
        const email::RunResult again = use.ok ? refresh() : email::RunResult{};
        if (!use.ok || !again.ok) {
            std::fprintf(stderr, "email: Use All Corrections failed: %s\n", qPrintable(use.ok ? again.error : use.reason));
            return 1;
        }
        bench::figure("email_use_all", t.nsecsElapsed() / 1e9, "s");
        std::fprintf(stderr, "corrected %lld, invalid after %lld\n", static_cast<long long>(use.rows),
                     static_cast<long long>(again.run.invalid));
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "email: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}

bench::Registrar reg("email", "--rows N | --csv FILE --column NAME [--settings DIR] [--dump]: validation run (email_validate)",
                     runEmail);

} // namespace
