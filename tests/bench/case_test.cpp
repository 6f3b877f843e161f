// qb-bench case on a small list: the Case Converter's own run, with the
// shipped lists beside the program or those of --settings, and its dump.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct BenchRun {
    int exitCode = -1;
    QString out, err;
};

BenchRun caseBench(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QB_BENCH_PROGRAM), QStringList{QStringLiteral("case")} + args);
    BenchRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

TEST(BenchCase, RunsTheConverterAndDumpsTheColumn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    write(csv, "Name,City\r\nJONES,X\r\nronald mcdonald,Y\r\n\"o'brien, ann\",Z\r\n,W\r\n");

    const BenchRun proper = caseBench({"--csv", csv, "--column", "Name", "--mode", "proper", "--dump"});
    ASSERT_EQ(proper.exitCode, 0) << proper.err.toStdString();
    EXPECT_EQ(proper.out, QStringLiteral("LumacorPrimK,\"Name\"\r\n1,\"Jones\"\r\n2,\"Ronald McDonald\"\r\n"
                                         "3,\"O'Brien, Ann\"\r\n4,\r\n"));
    EXPECT_TRUE(proper.err.contains(QStringLiteral("case "))) << proper.err.toStdString();

    const BenchRun upper = caseBench({"--csv", csv, "--column", "Name", "--mode", "upper"});
    ASSERT_EQ(upper.exitCode, 0) << upper.err.toStdString();
    EXPECT_TRUE(upper.out.startsWith(QStringLiteral("case "))) << upper.out.toStdString();
    EXPECT_TRUE(upper.out.trimmed().endsWith(QStringLiteral(" s")));

    // Lists of its own: no prefix, and JONES as an exception.
    write(dir.filePath(QStringLiteral("PreFixes.txt")), "\"Zz\"\r\n");
    write(dir.filePath(QStringLiteral("Exceptions.txt")), "\"JONES\"\r\n");
    const BenchRun own = caseBench({"--csv", csv, "--column", "Name", "--mode", "proper", "--settings", dir.path(), "--dump"});
    ASSERT_EQ(own.exitCode, 0) << own.err.toStdString();
    EXPECT_TRUE(own.out.contains(QStringLiteral("1,\"JONES\"\r\n2,\"Ronald Mcdonald\"\r\n")));

    EXPECT_EQ(caseBench({"--csv", csv, "--column", "Name", "--mode", "title"}).exitCode, 2);
    EXPECT_EQ(caseBench({"--csv", csv, "--column", "Nowhere", "--mode", "upper"}).exitCode, 1);
}

} // namespace
