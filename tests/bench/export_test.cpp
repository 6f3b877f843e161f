// qb-bench export as a user runs it: the figures on stdout, and with --out the
// file left there, whole, as other readers see it.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

Outcome run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    Outcome r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TEST(BenchExport, EveryDestinationLeavesAReadableFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Rows of each file as Python reads them (the header row included).
    const QString csvRows = QStringLiteral("import csv,sys; print(len(list(csv.reader(open(sys.argv[1], newline='', "
                                           "encoding='utf-8')))))");
    const QString xlsRows = QStringLiteral("import xlrd,sys; print(xlrd.open_workbook(sys.argv[1]).sheet_by_index(0).nrows)");
    const QString htmlRows = QStringLiteral("import sys; print(open(sys.argv[1], encoding='utf-8').read().count('<tr>'))");
    struct Case {
        const char* to;
        const char* file;
        QString count;   ///< "" for the Access files, read by the program's import elsewhere
    };
    const Case cases[] = {
        {"txt", "l.txt", csvRows}, {"html", "l.html", htmlRows}, {"excel8", "l8.xls", xlsRows},
        {"excel5", "l5.xls", xlsRows}, {"excel95", "l95.xls", xlsRows}, {"access", "l.mdb", QString()},
        {"access97", "l97.mdb", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const QString file = dir.filePath(QString::fromLatin1(c.file));
        const Outcome r = run(QStringLiteral(QB_BENCH_PROGRAM),
                          {QStringLiteral("export"), QStringLiteral("--rows"), QStringLiteral("300"), QStringLiteral("--to"),
                           QString::fromLatin1(c.to), QStringLiteral("--out"), file});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // Every figure on a line of its own; the text export of the same
        // list beside every other kind, each with its process's peak memory.
        QStringList figures = {QStringLiteral("export [0-9.]+ s"), QStringLiteral("peak_rss [1-9][0-9.]* MB")};
        if (QLatin1String(c.to) != QLatin1String("txt"))
            figures << QStringLiteral("txt_export [0-9.]+ s") << QStringLiteral("txt_peak_rss [1-9][0-9.]* MB")
                    << QStringLiteral("ratio_to_txt [0-9.]+ x");
        for (const QString& f : figures)
            EXPECT_TRUE(r.out.contains(QRegularExpression(QLatin1Char('^') + f + QLatin1Char('$'),
                                                          QRegularExpression::MultilineOption)))
                << f.toStdString() << " in\n" << r.out.toStdString();
        ASSERT_TRUE(QFile::exists(file));
        if (c.count.isEmpty())
            continue;
        const Outcome py = run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("command -p python3 -c \"$0\" \"$1\""),
                                                       c.count, file});
        ASSERT_EQ(py.exitCode, 0) << py.err.toStdString();
        EXPECT_EQ(py.out.trimmed(), QStringLiteral("301"));
    }

    // An Excel 5.0 sheet holds 16,383 rows below its header: more are refused.
    const Outcome big = run(QStringLiteral(QB_BENCH_PROGRAM), {QStringLiteral("export"), QStringLiteral("--rows"),
                                                           QStringLiteral("16384"), QStringLiteral("--to"),
                                                           QStringLiteral("excel5")});
    EXPECT_EQ(big.exitCode, 1);
    EXPECT_TRUE(big.err.contains(QStringLiteral("File too large, cannot export in Excel Format"))) << big.err.toStdString();
}

} // namespace

namespace {

// A list given with --csv is typed as the program's import types it and goes
// out as it stands: text longer than 255 characters leaves as a memo, and a
// letter Access 97 cannot hold refuses the export with the program's message
// instead of becoming "?".
TEST(BenchExport, AGivenListGoesOutAsItStands)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto csv = [&](const char* name, const QByteArray& text) {
        const QString p = dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return p;
    };
    const QString longText = csv("long.csv", "Name,Notes,Born,Amount\r\nAnn," + QByteArray(400, 'x')
                                                 + ",1/2/1990,12.5\r\nBob,short,3/4/1985,7\r\n");
    const QString polish = csv("polish.csv", "Name,City\r\nAnn,\xC5\x81\xC3\xB3\x64\xC5\xBA\r\n");

    const QString txt = dir.filePath(QStringLiteral("long.txt"));
    Outcome r = run(QStringLiteral(QB_BENCH_PROGRAM), {QStringLiteral("export"), QStringLiteral("--csv"), longText,
                                                       QStringLiteral("--to"), QStringLiteral("txt"),
                                                       QStringLiteral("--out"), txt});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // Typed: the date and the number go out as such, not as quoted text.
    EXPECT_EQ(f.readAll(), "\"Name\",\"Notes\",\"Born\",\"Amount\"\r\n\"Ann\",\"" + QByteArray(400, 'x')
                               + "\",1/2/1990 0:00:00,12.5\r\n\"Bob\",\"short\",3/4/1985 0:00:00,7\r\n");

    r = run(QStringLiteral(QB_BENCH_PROGRAM), {QStringLiteral("export"), QStringLiteral("--csv"), longText,
                                               QStringLiteral("--to"), QStringLiteral("access")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    r = run(QStringLiteral(QB_BENCH_PROGRAM), {QStringLiteral("export"), QStringLiteral("--csv"), polish,
                                               QStringLiteral("--to"), QStringLiteral("access97")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.contains(QStringLiteral("fitted to Windows-1252"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Unable to Export."))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("City"))) << r.err.toStdString();
}

} // namespace
