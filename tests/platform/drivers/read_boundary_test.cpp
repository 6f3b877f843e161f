// The child-process boundary around the readers of untrusted files: whatever
// the reader inside does (loop, eat memory, crash, throw, hand out rows
// without end), the caller gets the rows it sent or a refusal with the
// reason, in seconds, and no child is left behind.
#include "platform/drivers/read_boundary.h"

#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <list>
#include <thread>

#include <sys/wait.h>

namespace {

using jet::Value;

const QString kPath = QStringLiteral("/nowhere/source.mdb");

/// A reader whose rows come from a function (false: no more).
class FnReader : public drivers::RowReader {
public:
    explicit FnReader(std::function<bool(std::vector<Value>&)> f) : f_(std::move(f))
    {
        cols_ = {{QStringLiteral("A"), jet::dbText, 50, jet::dbVariableField}, {QStringLiteral("B"), jet::dbDouble, 8, 0}};
    }
    const jet::ColumnList& columns() const override { return cols_; }
    bool next(std::vector<Value>& row) override { return f_(row); }

private:
    jet::ColumnList cols_;
    std::function<bool(std::vector<Value>&)> f_;
};

bool noChildLeft()
{
    errno = 0;
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

/// The value of row r, column c: every kind, Null and empty text included.
Value valueAt(int r, int c)
{
    switch ((r + c) % 7) {
    case 0: return {};
    case 1: return Value(r % 2 == 0);
    case 2: return Value(static_cast<long long>(r) * 1'000'003 - 5'000'000'000LL);
    case 3: return Value(r / 7.0);
    case 4: return Value(jet::DateTime{-657434.25 + r});
    case 5: return Value(QString());
    default: {
        // Text crosses in the engine's own form, half a surrogate pair and a
        // leading mark included: character for character.
        static const QString lone = QString(QChar(0xD83D)) + QStringLiteral("x") + QChar(0xDC00);
        static const QString texts[] = {QStringLiteral("Zeile %1 \U0001F389 "), QStringLiteral("\uFEFFmark first"),
                                        QStringLiteral("\uFFFEits swap first"), QStringLiteral("Müller € \u0800\uFFFF"),
                                        lone, QStringLiteral("\uFEFF") + lone};
        return Value(texts[r % 6].repeated(r % 5 + 1));
    }
    }
}

TEST(ReadBoundary, RowsComeBackValueForValueAndAnEarlyStopEndsTheChild)
{
    constexpr int kRows = 100'000;
    const QString big = QStringLiteral("x").repeated(3'000'000);
    int sent = 0;
    auto reader = drivers::readInChild(kPath, [&] {
        return std::make_unique<FnReader>([&](std::vector<Value>& row) {
            if (sent > kRows)
                return false;
            row.clear();
            for (int c = 0; c < 3; ++c)
                row.push_back(valueAt(sent, c));
            if (sent == kRows)
                row[0] = Value(big);   // one value of megabytes
            ++sent;
            return true;
        });
    });
    ASSERT_EQ(reader->columns().size(), 2u);
    EXPECT_EQ(reader->columns()[1].name, QStringLiteral("B"));
    EXPECT_EQ(reader->columns()[1].type, jet::dbDouble);
    std::vector<Value> row;
    int r = 0;
    for (; reader->next(row); ++r) {
        ASSERT_EQ(row.size(), 3u);
        if (r == kRows) {
            EXPECT_EQ(row[0], Value(big));
            continue;
        }
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(row[size_t(c)], valueAt(r, c)) << r << "," << c;
    }
    EXPECT_EQ(r, kRows + 1);
    EXPECT_FALSE(reader->next(row));
    reader.reset();
    EXPECT_TRUE(noChildLeft());

    // A caller that wants only the first rows (a preview) ends the child.
    auto endless = drivers::readInChild(kPath, [] {
        return std::make_unique<FnReader>([](std::vector<Value>& row) {
            row = {Value("a"), Value(1.0)};
            return true;
        });
    });
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(endless->next(row));
    endless.reset();
    EXPECT_TRUE(noChildLeft());
}

struct Case {
    const char* name;
    drivers::ReadLimits limits;
    std::function<bool(std::vector<Value>&)> next;   ///< runs in the child
    int rowsFirst;                                   ///< rows that come through before the end; -1: any
    int number;
    const char* reason;   ///< the whole description, or the reason after "is damaged and cannot be read: "
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ReaderGoneWrong : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderGoneWrong, EndsInSecondsWithTheReason)
{
    const Case& c = GetParam();
    QElapsedTimer clock;
    clock.start();
    int rows = 0;
    try {
        auto reader = drivers::readInChild(kPath, [&] { return std::make_unique<FnReader>(c.next); }, c.limits);
        std::vector<Value> row;
        while (reader->next(row))
            ++rows;
        ADD_FAILURE() << "the reader ended as if all was well";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), c.number);
        const QString want = c.number == jet::errExternal
            ? QStringLiteral("'%1' is damaged and cannot be read: %2.").arg(kPath, QString::fromUtf8(c.reason))
            : QString::fromUtf8(c.reason);
        EXPECT_EQ(e.description(), want);
    }
    if (c.rowsFirst >= 0) {
        EXPECT_EQ(rows, c.rowsFirst);
    }
    EXPECT_LT(clock.elapsed(), 12000);
    EXPECT_TRUE(noChildLeft());
}

drivers::ReadLimits quietAfter(int seconds)
{
    drivers::ReadLimits l;
    l.quietSeconds = seconds;
    return l;
}

drivers::ReadLimits memoryOf(qint64 bytes)
{
    drivers::ReadLimits l;
    l.memoryBytes = bytes;
    return l;
}

drivers::ReadLimits rowsOf(qint64 n)
{
    drivers::ReadLimits l;
    l.maxRows = n;
    return l;
}

/// Hands out `first` rows, then does `then`.
std::function<bool(std::vector<Value>&)> after(int first, std::function<void()> then)
{
    auto count = std::make_shared<int>(0);
    return [=](std::vector<Value>& row) {
        if ((*count)++ < first) {
            row = {Value("r"), Value(1.5)};
            return true;
        }
        then();
        return false;
    };
}

const Case kCases[] = {
    {"LoopsWithoutAWord", quietAfter(2), after(0, [] {
         for (volatile bool on = true; on;) {
         }
     }),
     0, jet::errExternal, "its reader did not finish (it sent nothing for 2 seconds)"},
    {"LoopsAfterSomeRows", quietAfter(2), after(3000, [] {
         for (volatile bool on = true; on;) {
         }
     }),
     -1, jet::errExternal, "its reader did not finish (it sent nothing for 2 seconds)"},
    // Stuck in a call that never returns: no processor time, so the clock ends it.
    {"WaitsWithoutAWord", quietAfter(2), after(0, [] {
         for (;;)
             ::pause();
     }),
     0, jet::errExternal, "its reader did not finish (it sent nothing for 2 seconds)"},
    {"MemoryGrowsWithoutEnd", memoryOf(256 << 20), after(0, [] {
         std::list<std::vector<char>> hoard;
         for (;;) {
             hoard.emplace_back(16 << 20);
             std::memset(hoard.back().data(), 1, hoard.back().size());
             std::this_thread::sleep_for(std::chrono::milliseconds(5));
         }
     }),
     0, jet::errExternal, "reading it needed more memory than the file can explain"},
    {"Crashes", {}, after(10, [] { std::raise(SIGABRT); }), -1, jet::errExternal, "its reader failed (signal 6)"},
    {"ThrowsItsOwnError", {}, after(5, [] { throw jet::JetError(jet::errNoTable, QStringLiteral("No such sheet.")); }),
     -1, jet::errNoTable, "No such sheet."},
    {"HandsOutRowsWithoutEnd", rowsOf(500), [](std::vector<Value>& row) {
         row = {Value("again"), Value(2.0)};
         return true;
     },
     500, jet::errExternal, "it claims more rows than the file can hold"},
};

INSTANTIATE_TEST_SUITE_P(Ends, ReaderGoneWrong, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A child that gets no processor for longer than the quiet limit (a busy
// machine; here it sleeps) is not taken for a reader that loops.
TEST(ReadBoundary, AReaderLeftWaitingByTheMachineIsNotTakenForALoop)
{
    QElapsedTimer clock;
    clock.start();
    auto reader = drivers::readInChild(kPath, [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        return std::make_unique<FnReader>(after(3, [] {}));
    }, quietAfter(1));
    std::vector<Value> row;
    int rows = 0;
    while (reader->next(row))
        ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_GE(clock.elapsed(), 3000);
}

TEST(ReadBoundary, ListsComeBackAndTheirErrorsToo)
{
    EXPECT_EQ(drivers::listInChild(kPath, [] { return QStringList{QStringLiteral("Sheet1$"), QStringLiteral("Größe$")}; }),
              (QStringList{QStringLiteral("Sheet1$"), QStringLiteral("Größe$")}));
    try {
        drivers::listInChild(kPath, []() -> QStringList {
            throw jet::JetError(jet::errExternal, QStringLiteral("External table is not in the expected format."));
        });
        ADD_FAILURE() << "no error";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("External table is not in the expected format."));
    }
    EXPECT_TRUE(noChildLeft());
}

} // namespace
