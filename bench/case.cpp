// qb-bench case: the Case Converter's run over one column of a list.
//   case  the whole run: selection, conversion, write-back, commit (s)
//
//   qb-bench case --csv FILE --column NAME --mode upper|lower|proper
//   --settings DIR   take PreFixes.txt and Exceptions.txt from DIR (default:
//                    the Settings folder beside the program, as shipped)
//   --dump           print the key and the column afterwards as CSV on stdout
//                    (the figure then goes to stderr)
#include "csvload.h"
#include "registry.h"

#include "cleaning/case_run.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/types.h"
#include "workbench/opening.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <optional>

namespace {

std::optional<cleaning::CaseMode> modeOf(const QString& name)
{
    if (name == QLatin1String("upper"))
        return cleaning::CaseMode::Upper;
    if (name == QLatin1String("lower"))
        return cleaning::CaseMode::Lower;
    if (name == QLatin1String("proper"))
        return cleaning::CaseMode::Proper;
    return std::nullopt;
}

/// The list file's entries as the workbench loads them into its arrays.
QStringList listOf(const QString& path)
{
    std::array<QString, 1001> entries;
    workbench::loadList(path, entries);
    QStringList out;
    for (size_t i = 1; i < entries.size(); ++i)
        out << entries[i];
    return out;
}

QByteArray csvField(const jet::Value& v)
{
    if (v.isNull())
        return QByteArray();
    QString s = v.toString();
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + s.toUtf8() + '"';
}

void dump(jet::Database& db, const QString& column)
{
    jet::Connection& c = db.connection();
    jet::Stmt s(&c, QStringLiteral("SELECT LumacorPrimK, %1 FROM tblData ORDER BY LumacorPrimK").arg(jet::quoteName(column)));
    const QByteArray header = "LumacorPrimK," + csvField(jet::Value(column)) + "\r\n";
    std::fwrite(header.constData(), 1, size_t(header.size()), stdout);
    QByteArray line;
    while (s.step()) {
        line = QByteArray::number(s.int64(0)) + ',' + csvField(s.value(1, jet::dbText)) + "\r\n";
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
}

int runCaseBench(const QStringList& args)
{
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    const QString column = bench::option(args, QStringLiteral("--column"));
    const auto mode = modeOf(bench::option(args, QStringLiteral("--mode")));
    if (csv.isEmpty() || column.isEmpty() || !mode) {
        std::fprintf(stderr, "usage: qb-bench case --csv FILE --column NAME --mode upper|lower|proper "
                             "[--settings DIR] [--dump]\n");
        return 2;
    }
    const bool dumpRows = bench::flag(args, QStringLiteral("--dump"));
    const QString settings = bench::option(args, QStringLiteral("--settings"),
                                           QCoreApplication::applicationDirPath() + QStringLiteral("/Settings"));

    cleaning::CaseRequest request;
    request.column = column;
    request.mode = *mode;
    if (request.mode == cleaning::CaseMode::Proper) {
        const QString prefixes = settings + QStringLiteral("/PreFixes.txt");
        const QString exceptions = settings + QStringLiteral("/Exceptions.txt");
        if (!QFileInfo::exists(prefixes) || !QFileInfo::exists(exceptions)) {
            std::fprintf(stderr, "case: no PreFixes.txt and Exceptions.txt in %s\n", qPrintable(settings));
            return 1;
        }
        request.prefixes = listOf(prefixes);
        request.exceptions = listOf(exceptions);
    }

    QTemporaryDir dir;
    try {
        jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
        QElapsedTimer t;
        t.start();
        QString error;
        if (!bench::loadCsv(db, csv, &error)) {
            std::fprintf(stderr, "case: could not load the list: %s\n", qPrintable(error));
            return 1;
        }
        std::fprintf(stderr, "list loaded in %.2f s\n", t.elapsed() / 1000.0);

        t.restart();
        const cleaning::CaseResult r = cleaning::runCaseConversion(db, request);
        const double seconds = t.nsecsElapsed() / 1e9;
        if (!r.ok()) {
            std::fprintf(stderr, "case: %s\n", qPrintable(r.message));
            return 1;
        }
        bench::figure("case", seconds, "s", dumpRows);
        if (request.mode == cleaning::CaseMode::Proper)
            std::fprintf(stderr, "%s: %lld rows selected, %lld changed\n", qPrintable(column),
                         static_cast<long long>(r.selected), static_cast<long long>(r.changed));
        if (dumpRows)
            dump(db, column);
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "case: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}

bench::Registrar reg("case", "--csv FILE --column NAME --mode upper|lower|proper [--settings DIR] [--dump]: "
                             "a Case Converter run",
                     runCaseBench);

} // namespace
