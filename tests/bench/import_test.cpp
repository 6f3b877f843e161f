// qb-bench import on lists the workbench would refuse or whose names would
// leave their brackets: it ends with the program's own message and exit code
// 1, never with an uncaught exception.
#include "platform/jet/connection.h"
#include "platform/jet/database.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    bool crashed = true;
    QString out, err;
};

Outcome bench(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QB_BENCH_PROGRAM), QStringList{QStringLiteral("import")} + args);
    Outcome r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitCode();
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TEST(BenchImport, RefusesWhatTheProgramRefusesWithItsMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto csv = [&](const char* name, const char* text) {
        const QString p = dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return p;
    };
    auto database = [&](const char* name, const char* columns) {
        const QString p = dir.filePath(QString::fromLatin1(name));
        jet::Database db = jet::Database::open(p, true);
        db.connection().exec(QStringLiteral("CREATE TABLE People (%1)").arg(QString::fromUtf8(columns)));
        db.connection().exec(QStringLiteral("INSERT INTO People (\"Name\") VALUES ('Smith')"));
        return p;
    };
    struct Case {
        QStringList args;
        int exitCode;
        const char* said;   ///< on stderr
    };
    const Case cases[] = {
        {{"--csv", csv("key.csv", "Name,LumacorPrimK\r\nSmith,1\r\n")}, 1,
         "Column Name LumacorPrimK is disallowed. Please change the column name and re-try importing"},
        {{"--mdb", database("key.mdb", "\"Name\" TEXT, \"lumacorprimk\" INTEGER")}, 1, "Column Name lumacorprimk is disallowed."},
        {{"--mdb", database("count.mdb", "\"Name\" TEXT, \"Count\" INTEGER")}, 1, "Column Name Count is disallowed."},
        {{"--mdb", database("crafted.mdb", "\"Name\" TEXT, \"x] AS [y], 1 AS [z\" TEXT")}, 1,
         "The column name 'x] AS [y], 1 AS [z' holds a ']'"},
        {{"--mdb", database("fine.mdb", "\"Name\" TEXT, \"City\" TEXT")}, 0, "import: 1 rows"},
        {{"--csv", csv("fine.csv", "Name,City\r\nSmith,Boston\r\n")}, 0, "import: 1 rows, 2 columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome r = bench(c.args);
        EXPECT_FALSE(r.crashed) << r.err.toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.said))) << r.err.toStdString();
        EXPECT_EQ(r.out.contains(QStringLiteral("key ")), c.exitCode == 0) << r.out.toStdString();
    }
}

} // namespace

namespace {

// A dump is the whole of stdout: CSV rows only, the figures go to stderr.
TEST(BenchImport, DumpsCarryNoFigureLines)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("FirstName,LastName,City\r\nAnn,Lee,Boston\r\nAnn,Lee,Boston\r\nBob,Ray,Ohio\r\n");
    }
    const QRegularExpression figure(QStringLiteral("^[a-z0-9_]+ [0-9.e+-]+ [a-zA-Z]+$"), QRegularExpression::MultilineOption);
    const struct {
        const char* command;
        QStringList args;
    } cases[] = {
        {"import", {QStringLiteral("--csv"), path, QStringLiteral("--dump"), QStringLiteral("10")}},
        {"dupes", {QStringLiteral("--csv"), path, QStringLiteral("--dump")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        QProcess p;
        p.start(QStringLiteral(QB_BENCH_PROGRAM), QStringList{QString::fromLatin1(c.command)} + c.args);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        ASSERT_EQ(p.exitCode(), 0) << err.toStdString();
        EXPECT_FALSE(out.contains(figure)) << out.toStdString();
        EXPECT_TRUE(err.contains(figure)) << err.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("Lee"))) << out.toStdString();
    }
}

} // namespace
