// qb-bench scale: every job of the program on generated lists of growing
// size, through the functions the windows run, and one table of the times.
//   --rows N (repeatable)  the sizes, by default 100,000, 1,000,000 and 10,000,000
//   --dir DIR              where the generated lists and the working databases
//                          go (default /tmp/qb-scale); made when missing. The
//                          lists are kept there for the next run unless --clean.
//   --clean                deletes the lists and the folder at the end
// Per size, in this order on one working database: the text import of the
// CSV, the workbench's opening (key included), the grid's first screen and a
// jump to its last row, the distinct values of ZIP, a Text Cleaner run with
// every step on Address, the near-duplicate search on LastName, the E-Mail
// Cleaner's run on Email (lists and grid included), the Dupe Remover's search
// and removal on FirstName, LastName and City, and the text export of the
// whole list. The peak resident memory is taken over each job (on stderr)
// and the highest of a size goes in the table.
// The table gives seconds (the screens in ms), and a last line the growth of
// each job from the second size to the third (the rows grow 10 x).
#include "generator.h"
#include "opening.h"
#include "registry.h"

#include "cleaning/distinct_values.h"
#include "cleaning/text_clean_run.h"
#include "common/general.h"
#include "duplicates/dupe_remover.h"
#include "duplicates/near_search.h"
#include "email/column_run.h"
#include "email/domain_lists.h"
#include "exchange/export.h"
#include "exchange/text_import.h"
#include "platform/jet/error.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

const char* const kJobs[] = {"import", "open", "first_ms", "last_ms", "distinct", "textclean",
                             "neardupes", "email",  "dupes",    "export",  "peak_MB"};

using Figures = std::map<std::string, double>;

/// Times job and stores its seconds (or milliseconds) under name; false when it failed.
bool timed(Figures& f, const char* name, const std::function<bool()>& job, double scale = 1.0)
{
    bench::resetPeakResident();
    QElapsedTimer t;
    t.start();
    const bool ok = job();
    f[name] = t.nsecsElapsed() / 1e9 * scale;
    const double peak = bench::peakResidentMb();
    f["peak_MB"] = std::max(f["peak_MB"], peak);
    std::fprintf(stderr, "  %-10s %10.3f   peak %7.1f MB%s\n", name, f[name], peak, ok ? "" : "  FAILED");
    return ok;
}

bool importCsv(jet::Database& db, const QString& csv)
{
    exchange::TextChoices choices;
    choices.firstRowHasNames = true;
    const exchange::TextEncoding encoding = exchange::detectTextEncoding(csv).value_or(exchange::TextEncoding::Utf8);
    const exchange::TextPreview preview = exchange::buildTextPreview(csv, encoding, choices);
    if (!preview.error.isEmpty())
        return false;
    exchange::TextImportRequest request{csv, encoding, choices, preview.names, preview.types};
    exchange::TextImportObserver quiet;
    return exchange::importTextFile(db, request, quiet).outcome == exchange::TextImportResult::Outcome::Done;
}

bool runSize(qint64 rows, const QString& folder, Figures& f)
{
    const QString csv = folder + QStringLiteral("/list-%1.csv").arg(rows);
    if (!QFileInfo::exists(csv)) {
        bench::GenOptions o;
        o.rows = rows;
        QString error;
        std::fprintf(stderr, "writing %s\n", qPrintable(csv));
        if (!bench::writeCsv(o, csv, &error)) {
            std::fprintf(stderr, "scale: %s\n", qPrintable(error));
            return false;
        }
    }
    const QString work = folder + QStringLiteral("/work-%1").arg(rows);
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    general::setProgramFolder(work);
    const QString settings = work + QStringLiteral("/Settings");
    bench::writeSettings(settings);
    const QString path = work + QStringLiteral("/sysfls.sys");
    std::fprintf(stderr, "%lld rows\n", static_cast<long long>(rows));
    bool ok = true;
    try {
        jet::Database db = jet::Database::open(path, true);
        ok = timed(f, "import", [&] { return importCsv(db, csv); });
        bench::OpenedList list;
        QString error;
        ok = ok && timed(f, "open", [&] { return bench::openList(db, path, settings, list, &error); });
        if (!ok)
            return false;
        timed(f, "first_ms", [&] { return bench::readScreen(*list.model, 0) > 0; }, 1000.0);
        timed(f, "last_ms", [&] { return bench::readScreen(*list.model, list.model->rowCount() - bench::kScreenRows) > 0; },
              1000.0);
        timed(f, "distinct", [&] {
            return cleaning::distinctValues(db, QStringLiteral("ZIP"), cleaning::DistinctFilter{}).ok();
        });
        timed(f, "textclean", [&] {
            cleaning::TextCleanRequest r;
            r.column = QStringLiteral("Address");
            r.steps = cleaning::CleanSteps{true, true, true, true, true, true, true, true, true, true};
            return cleaning::runTextClean(db, r).ok();
        });
        timed(f, "neardupes", [&] {
            neardup::NearSearchRequest r;
            r.column = QStringLiteral("LastName");
            r.minLength = 1;
            r.maxLength = 255;
            return neardup::runNearSearch(db, r).ok;
        });
        timed(f, "email", [&] {
            workbench::DataControl invalid;
            invalid.setDatabaseName(path);
            email::CountsModel counts;
            counts.setHeaders({QStringLiteral("Domain"), QStringLiteral("Tld"), QStringLiteral("Country"), QStringLiteral("Count")});
            email::ResultViews views{&invalid, &counts, [&] { list.model->refreshRows(); }};
            email::CountsChoice choice;
            for (int i : {3, 4, 5, 6})
                choice.ticked[size_t(i)] = true;
            email::InvalidSort sort{4, false};
            return email::validateAndShow(db, QStringLiteral("Email"), email::settingsDomainLists(),
                                          email::settingsSpecialChars(), choice, email::CountsSort{}, sort, views)
                .ok;
        });
        timed(f, "dupes", [&] {
            const auto cols = dupes::comparedColumns(db, dupes::Scope::Selected,
                                                     {QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("City")});
            const dupes::SearchResult s = dupes::searchDuplicates(db, dupes::Scope::Selected, cols);
            if (s.ok)
                list.model->refreshRows();
            return s.ok && dupes::removeDuplicates(db, s).ok;
        });
        const QString out = work + QStringLiteral("/export.txt");
        timed(f, "export", [&] {
            exchange::writeExport(exchange::ExportText, out, path, list.fieldList, QString());
            return QFileInfo(out).size() > 0;
        });
        QFile::remove(out);
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "scale: %s\n", qPrintable(e.description()));
        ok = false;
    }
    general::setProgramFolder(QString());
    QDir(work).removeRecursively();
    return ok;
}

int runScale(const QStringList& args)
{
    std::vector<qint64> sizes;
    for (const QString& s : bench::options(args, QStringLiteral("--rows")))
        sizes.push_back(s.toLongLong());
    if (sizes.empty())
        sizes = {100000, 1000000, 10000000};
    const QString folder = QFileInfo(bench::option(args, QStringLiteral("--dir"), QStringLiteral("/tmp/qb-scale"))).absoluteFilePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "scale: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    std::vector<Figures> all;
    bool ok = true;
    for (qint64 n : sizes) {
        all.emplace_back();
        ok = runSize(n, folder, all.back()) && ok;
    }

    std::printf("%10s", "rows");
    for (const char* j : kJobs)
        std::printf(" %10s", j);
    std::printf("\n");
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::printf("%10lld", static_cast<long long>(sizes[i]));
        for (const char* j : kJobs)
            std::printf(" %10.3f", all[i].count(j) ? all[i][j] : -1.0);
        std::printf("\n");
    }
    if (sizes.size() >= 3) {
        std::printf("%10s", "growth");
        for (const char* j : kJobs) {
            const double a = all[1][j], b = all[2][j];
            std::printf(" %10.2f", a > 0 ? b / a : 0.0);
        }
        std::printf("   (%lld to %lld rows)\n", static_cast<long long>(sizes[1]), static_cast<long long>(sizes[2]));
    }
    std::fflush(stdout);
    if (bench::flag(args, QStringLiteral("--clean")))
        QDir(folder).removeRecursively();
    return ok ? 0 : 1;
}

bench::Registrar reg("scale", "[--rows N ...] [--dir DIR] [--clean]: every job on growing lists, one table", runScale);

} // namespace
