// Bounded fuzz runs with a fixed seed: a few thousand damaged inputs through
// the text line reader and splitter, the dialect translator, and the .xls and
// .mdb readers. Each input must end, with a result or with the reader's own
// error, within 10 seconds; a crash, a hang or a sanitizer report fails the
// run. A failure names its case number: the same seed gives the same cases.
#include "fuzz_inputs.h"

#include "exchange/line_split.h"
#include "exchange/text_lines.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/drivers/xls_reader.h"
#include "platform/jet/error.h"
#include "platform/jet/translator.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

/// Ends the test program when one case runs longer than its limit: a hang
/// must fail the run in seconds, not at the test driver's timeout.
class Watchdog {
public:
    explicit Watchdog(const char* what) : what_(what), thread_([this] { watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void begin(int index)
    {
        std::lock_guard<std::mutex> lock(m_);
        index_ = index;
        started_ = Clock::now();
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(m_);
        while (!cv_.wait_for(lock, std::chrono::milliseconds(200), [this] { return done_; })) {
            if (index_ >= 0 && Clock::now() - started_ > std::chrono::seconds(10)) {
                std::fprintf(stderr, "%s: case %d ran for more than 10 s\n", what_, index_);
                std::abort();
            }
        }
    }
    const char* what_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    int index_ = -1;
    Clock::time_point started_;
    std::thread thread_;
};

QString writeCase(const QTemporaryDir& dir, const char* suffix, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("case") + QLatin1String(suffix));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
}

TEST(Fuzz, TextLinesAndTheirSplitting)
{
    const QByteArray seed = QByteArray("\xEF\xBB\xBF") + "Name,City,\"Note, long\",Amount\r\n"
                            "\"Smith, Ann\",Z\xC3\xBCrich,\"said \"\"hi\"\"\",10.5\r\n"
                            "O'Brien,'Cork;x',\"open quote,3\n"
                            "\tLee\t,Paris,\xE2\x82\xAC 5,\"\"\r\r\n"
                            ",,,\n\"\",\"a\"\"\",b\"c\",-7\r\n";
    const exchange::SplitOptions options[] = {
        exchange::SplitOptions::fromTexts(QStringLiteral(","), QStringLiteral("\"")),
        exchange::SplitOptions::fromTexts(QStringLiteral(";"), QStringLiteral("'")),
        exchange::SplitOptions::fromTexts(QStringLiteral("\t"), QStringLiteral("{none}")),
        exchange::SplitOptions::fromTexts(QString(), QStringLiteral("\"")),
    };
    std::mt19937 rng(fuzz::kSeed);
    Watchdog dog("text");
    for (int i = 0; i < 3000; ++i) {
        dog.begin(i);
        QByteArray bytes = fuzz::mutate(seed, rng);
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        const exchange::TextEncoding encoding = exchange::detectTextEncoding(buffer);
        ASSERT_TRUE(buffer.seek(0));
        exchange::TextLineReader reader(buffer, encoding);
        QString line;
        qsizetype lines = 0;
        while (reader.readLine(line)) {
            ASSERT_LE(++lines, bytes.size() + 1) << "case " << i;
            const QStringList fields = exchange::splitLine(line, options[i % std::size(options)]);
            ASSERT_FALSE(fields.isEmpty()) << "case " << i;
            qsizetype kept = 0;
            for (const QString& f : fields)
                kept += f.size();
            ASSERT_LE(kept, line.size()) << "case " << i;
        }
        EXPECT_LE(reader.bytesConsumed(), bytes.size()) << "case " << i;
    }
}

TEST(Fuzz, DialectTranslator)
{
    const char* statements[] = {
        "SELECT [First Name], [a/b] FROM tblData WHERE [x]=\"say \"\"hi\"\"\" AND [d]>#01/05/2020 13:04:05#",
        "SELECT TOP 10 [a] & \"-\" & [b] AS c, LEN([a]), MID([a],2,1) FROM t ORDER BY [a] DESC, 2",
        "UPDATE tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK SET D.[Email]=E.Suggest1 "
        "WHERE E.IsValid=FALSE AND TRIM(E.Suggest1)<>'';",
        "SELECT [Age]\\2 + 7/2 * -[n] MOD 3, IIF(ISNULL([n]),'',[n]) FROM t WHERE [a] IN (SELECT TOP 1 [b] FROM u)",
        "SELECT [a], [b] INTO [TEXT;Database=/tmp/out].[list.txt] FROM tblData WHERE [a] LIKE \"x*\"",
        "SELECT CLng(T.[id]) AS [id], [Name] INTO tblData FROM [/data/x.mdb].[People] AS T;",
        "CREATE TABLE tblDupes_Min (LumacorPrimK LONG, [Name] TEXT(50), CONSTRAINT pk PRIMARY KEY (LumacorPrimK));",
        "DELETE * FROM tblData WHERE LumacorPrimK IN (SELECT LumacorPrimK FROM tblDupes_Del);",
        "ALTER TABLE tblData ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK)",
        "INSERT INTO t ([a], [b]) VALUES (\"x\", #12/31/1999#)",
    };
    const char alphabet[] = "[]\"'#()&\\/*,;.=<>!-+^ \t\nAZaz09$_";
    std::mt19937 rng(fuzz::kSeed);
    Watchdog dog("translator");
    for (int i = 0; i < 4000; ++i) {
        dog.begin(i);
        QString sql = QString::fromUtf8(statements[i % std::size(statements)]);
        const int edits = 1 + int(rng() % 5);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(rng() % std::uint32_t(sql.size() + 1));
            const QChar c = QLatin1Char(alphabet[rng() % (sizeof alphabet - 1)]);
            switch (rng() % 3) {
            case 0: sql.insert(at, c); break;
            case 1: sql.remove(at, 1 + qsizetype(rng() % 6)); break;
            default:
                if (at < sql.size())
                    sql[at] = c;
                break;
            }
        }
        try {
            jet::translate(sql);
            jet::translateExpression(sql);
        } catch (const jet::JetError&) {
        }
    }
}

TEST(Fuzz, ExcelWorkbooks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<QByteArray> seeds = fuzz::xlsSeeds(dir.path());
    ASSERT_EQ(seeds.size(), 3u);
    std::mt19937 rng(fuzz::kSeed);
    Watchdog dog("xls");
    int opened = 0;
    for (int i = 0; i < 1500; ++i) {
        dog.begin(i);
        const QString path = writeCase(dir, ".xls", fuzz::mutate(seeds[size_t(i) % seeds.size()], rng));
        drivers::XlsWorkbook book;
        QString error;
        if (!book.open(path, &error)) {
            EXPECT_FALSE(error.isEmpty()) << "case " << i;
            continue;
        }
        ++opened;
        for (int s = 0; s < book.sheetNames().size(); ++s) {
            drivers::XlsTable table;
            book.readSheet(s, drivers::XlsReadOptions{}, table, &error);
        }
    }
    EXPECT_GT(opened, 100);   // the damages are small: many files still open
}

TEST(Fuzz, AccessDatabases)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<QByteArray> seeds = fuzz::mdbSeeds(dir.path());
    ASSERT_EQ(seeds.size(), 2u);
    std::mt19937 rng(fuzz::kSeed);
    Watchdog dog("mdb");
    // Under the sanitizers every text value the library converts is a large
    // block of its own, mapped and unmapped: fewer cases keep the run in
    // minutes there.
#ifdef QB_SANITIZED
    constexpr int kCases = 300;
#else
    constexpr int kCases = 1000;
#endif
    int read = 0;
    for (int i = 0; i < kCases; ++i) {
        dog.begin(i);
        const QString path = writeCase(dir, ".mdb", fuzz::mutate(seeds[size_t(i) % seeds.size()], rng));
        try {
            // The reader's own code, in this process, where the sanitizers see
            // it (the import reads through a child process that hides a crash).
            for (const QString& t : drivers::mdbTablesInProcess(path)) {
                auto reader = drivers::readMdbTableInProcess(path, t);
                std::vector<jet::Value> row;
                while (reader->next(row))
                    ASSERT_EQ(row.size(), reader->columns().size()) << "case " << i;
            }
            ++read;
        } catch (const jet::JetError& e) {
            EXPECT_FALSE(e.description().isEmpty()) << "case " << i;
        }
    }
    EXPECT_GT(read, kCases / 10);
}

} // namespace
