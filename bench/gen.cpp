// qb-bench gen: writes a generated contact list as CSV and times the write;
// with --contacts DIR it writes the list as a contact-manager database there
// instead (multi-user with --user NAME --password TEXT).
// The figure is the whole run, generation and file output together; the
// counts of what was planted go to stderr so that stdout stays figures only.
#include "generator.h"
#include "registry.h"

#include <QElapsedTimer>
#include <cstdio>

namespace {

bool parseRate(const QStringList& args, const char* name, double* rate)
{
    const QString text = bench::option(args, QLatin1String(name));
    if (text.isEmpty())
        return true;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok) {
        std::fprintf(stderr, "gen: %s needs a number, not \"%s\"\n", name, qPrintable(text));
        return false;
    }
    *rate = v;
    return true;
}

int runGen(const QStringList& args)
{
    bench::GenOptions o;
    bool ok = false;
    const QString rows = bench::option(args, QStringLiteral("--rows"));
    o.rows = rows.toLongLong(&ok);
    const QString out = bench::option(args, QStringLiteral("--out"));
    const QString contactsDir = bench::option(args, QStringLiteral("--contacts"));
    if (!ok || (out.isEmpty() && contactsDir.isEmpty())) {
        std::fprintf(stderr, "usage: qb-bench gen --rows N (--out FILE | --contacts DIR [--user NAME --password TEXT]) "
                             "[--seed S] [--dup-rate R] [--typo-rate R] [--bad-email-rate R]\n");
        return 2;
    }
    const QString seed = bench::option(args, QStringLiteral("--seed"));
    if (!seed.isEmpty()) {
        o.seed = seed.toULongLong(&ok);
        if (!ok) {
            std::fprintf(stderr, "gen: --seed needs a whole number, not \"%s\"\n", qPrintable(seed));
            return 2;
        }
    }
    if (!parseRate(args, "--dup-rate", &o.dupRate) || !parseRate(args, "--typo-rate", &o.typoRate)
        || !parseRate(args, "--bad-email-rate", &o.badEmailRate))
        return 2;

    QString error;
    bench::GenStats st;
    QElapsedTimer timer;
    timer.start();
    if (!contactsDir.isEmpty()) {
        QList<QPair<QString, QString>> users;
        const QString user = bench::option(args, QStringLiteral("--user"));
        if (!user.isEmpty())
            users.append({user, bench::option(args, QStringLiteral("--password"))});
        const QString path = bench::writeContacts(o, contactsDir, &error, &st, users);
        if (path.isEmpty()) {
            std::fprintf(stderr, "gen: %s\n", qPrintable(error));
            return 1;
        }
        std::fprintf(stderr, "gen: contact table %s\n", qPrintable(path));
    } else if (!bench::writeCsv(o, out, &error, &st)) {
        std::fprintf(stderr, "gen: %s\n", qPrintable(error));
        return 1;
    }
    bench::figure("gen_write", static_cast<double>(timer.nsecsElapsed()) / 1e9, "s");
    std::fprintf(stderr, "gen: %lld rows, %lld exact duplicates, %lld misspelt copies, %lld bad e-mails, "
                         "%lld empty e-mails\n",
                 static_cast<long long>(st.rows), static_cast<long long>(st.duplicates),
                 static_cast<long long>(st.misspellings), static_cast<long long>(st.badEmails),
                 static_cast<long long>(st.emptyEmails));
    return 0;
}

const bench::Registrar reg("gen",
                           "--rows N (--out FILE | --contacts DIR) [--seed S]: write a generated contact list as CSV "
                           "or as a contact-manager database",
                           runGen);

} // namespace
