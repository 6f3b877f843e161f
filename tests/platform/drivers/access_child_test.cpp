// The reading child as the Access reader needs it: a check that takes longer
// than the quiet limit lives as long as it says it is still at work, and
// whatever the libraries inside write to standard output or error is seen
// (the Access library reports damage only so), while what the parent had
// not yet written out is not.
#include "platform/drivers/read_boundary.h"

#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using jet::Value;

const QString kPath = QStringLiteral("/nowhere/source.mdb");

/// A reader of one row holding `text`.
class OneRow : public drivers::RowReader {
public:
    explicit OneRow(QString text) : text_(std::move(text)) {}
    const jet::ColumnList& columns() const override { return cols_; }
    bool next(std::vector<Value>& row) override
    {
        if (done_)
            return false;
        done_ = true;
        row = {Value(text_)};
        return true;
    }

private:
    jet::ColumnList cols_{{QStringLiteral("A"), jet::dbText, 255, jet::dbVariableField}};
    QString text_;
    bool done_ = false;
};

QStringList rowsOf(drivers::RowReader& r)
{
    QStringList out;
    std::vector<Value> row;
    while (r.next(row))
        out << row.at(0).toString();
    return out;
}

drivers::ReadLimits quietAfter(int seconds)
{
    drivers::ReadLimits l;
    l.quietSeconds = seconds;
    return l;
}

TEST(ReadingChild, ASlowCheckThatSaysItIsStillAtWorkIsNotTakenForALoop)
{
    QElapsedTimer clock;
    clock.start();
    auto reader = drivers::readInChild(
        kPath,
        [] {
            // Twice the quiet limit of work before the first row, as a check
            // walk over a large table on a slow machine: processor time, as
            // a loop would use.
            QElapsedTimer work;
            work.start();
            for (unsigned spin = 0; work.elapsed() < 4500; ++spin)
                if ((spin & 0xFFFF) == 0)
                    drivers::stillReading();
            return std::make_unique<OneRow>(QStringLiteral("done"));
        },
        quietAfter(2));
    EXPECT_EQ(rowsOf(*reader), QStringList{QStringLiteral("done")});
    EXPECT_GE(clock.elapsed(), 4500);
}

TEST(ReadingChild, SeesWhatTheLibrariesWriteAndNotWhatTheParentHadPending)
{
    // Output of the parent's still in stdio's buffer when the child starts.
    std::fputs("the parent's pending line", stdout);
    auto quiet = drivers::readInChild(kPath, [] { return std::make_unique<OneRow>(drivers::readerOutput()); });
    EXPECT_EQ(rowsOf(*quiet), QStringList{QString()});

    for (FILE* stream : {stderr, stdout}) {
        auto reader = drivers::readInChild(kPath, [stream] {
            const QString before = drivers::readerOutput();
            std::fputs("warning: page 7 from map doesn't match\nmore\n", stream);
            return std::make_unique<OneRow>(before + QStringLiteral("|") + drivers::readerOutput());
        });
        EXPECT_EQ(rowsOf(*reader), QStringList{QStringLiteral("|warning: page 7 from map doesn't match")});
    }
    std::fputs("\n", stdout);
    std::fflush(stdout);
    // In the parent nothing is caught.
    EXPECT_EQ(drivers::readerOutput(), QString());
}

} // namespace
