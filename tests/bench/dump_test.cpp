// The benchmark program's dumps: the whole of standard output is the dump
// (the figures go to standard error), and a value holding U+0000 comes out
// whole, not cut at it.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out, err;
};

Outcome bench(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QB_BENCH_PROGRAM), args);
    Outcome r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

const QRegularExpression kFigure(QStringLiteral("^[a-z0-9_]+ [0-9.e+-]+ [a-zA-Z]+$"), QRegularExpression::MultilineOption);

TEST(BenchDump, FiguresGoToStandardErrorWhileTheDumpHoldsStandardOutput)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Name,City\r\nAnn Lee,Boston\r\nAnn Lee,Bostn\r\nBob Ray,Ohio\r\n");
    }
    const struct {
        QStringList args;
        const char* dumped;   ///< a line of the dump
    } cases[] = {
        {{"distinct", "--csv", csv, "--column", "City", "--dump"}, "\t1\tBostn\n"},
        {{"distinct", "--rows", "500", "--column", "City", "--dump"}, "\t"},
        {{"neardupes", "--csv", csv, "--column", "City", "--type", "missing", "--dump"}, "\"Bostn\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome r = bench(c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(QString::fromUtf8(r.out).contains(kFigure)) << r.out.toStdString();
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(kFigure)) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(c.dumped)) << r.out.toStdString();
    }
}

TEST(BenchDump, AValueHoldingUPlus0000ComesOutWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("list.sys"));
    const QString row = QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES ('An' & Chr(0) & 'n', 'Bos' & Chr(0) & 'ton')");
    const Outcome made = bench({"sql", "--db", db, "--create", "--exec",
                                "CREATE TABLE tblData ([Name] TEXT(50), [City] TEXT(50), "
                                "[LumacorPrimK] COUNTER CONSTRAINT pk PRIMARY KEY)",
                                "--exec", row, "--exec", row});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    const QByteArray ann("\"An\0n\"", 6);
    const QByteArray boston("\"Bos\0ton\"", 9);
    const Outcome selected = bench({"sql", "--db", db, "--exec", "SELECT [Name], [City] FROM tblData"});
    ASSERT_EQ(selected.exitCode, 0) << selected.err.toStdString();
    EXPECT_EQ(selected.out, "Name,City\r\n" + ann + ',' + boston + "\r\n" + ann + ',' + boston + "\r\n");

    const Outcome dupes = bench({"dupes", "--from", db, "--column", "Name", "--column", "City", "--dump"});
    ASSERT_EQ(dupes.exitCode, 0) << dupes.err.toStdString();
    EXPECT_EQ(dupes.out, "Count,Name,City,Keys\r\n2," + ann + ',' + boston + ",1 2\r\n");
}

} // namespace
