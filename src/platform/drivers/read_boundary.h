// Reading files that others wrote in a child process of our own, so that no
// reader of a damaged file can hang, exhaust the memory or end the program.
//
// The Access library behind the Access driver believes what a file claims:
// on some damages it loops for ever while its memory grows, or reads outside
// its buffers. Our own workbook reader checks every record against what holds
// it, yet a damaged workbook can still claim more than it has, and a fault
// of ours must not cost the user the program. Every read of an Access
// database or a workbook therefore runs in a forked child that streams its
// result (the columns, then the rows in batches with their text already in
// the engine's own form, or the reader's own error) back through a pipe. The
// parent ends the child and refuses the file, saying why, when
// - the child sends nothing while it works for kQuietSeconds of processor
//   time (a reader that loops; a machine too busy to run it does not
//   count), or for four times that (at least 8 s) of the clock's (a reader
//   stuck in a call that never returns),
// - its memory grows past the limit (RLIMIT_AS in the child, and the
//   parent's look at its resident size, which also holds where the address
//   space limit cannot be used, as under the sanitizers),
// - it sends more rows than the file could hold, or
// - it ends without its closing message (a crash).
// The child runs nothing but the reader and ends with _exit: no handler,
// destructor or buffered output of the program runs twice. Its standard
// output and error go to a buffer of its own (readerOutput()), because the
// Access library reports the damage it meets only as text there and reads
// on; a sanitizer's report still reaches the real standard error.
//
// Cost: one fork per table read or listed; rows cross the pipe in batches of
// about 256 KB, so a large table costs one copy of its values more, not one
// round trip per row.
#pragma once

#include "platform/drivers/external.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace drivers {

/// How long a reader may go without sending anything before it is taken as
/// looping.
constexpr int kQuietSeconds = 8;

struct ReadLimits {
    /// Most bytes the child's memory may grow by; 0: 1 GB plus 16 times the file's size.
    qint64 memoryBytes = 0;
    /// Most rows the table may have; negative for no limit.
    qint64 maxRows = -1;
    /// Seconds of processor time the child may work without sending
    /// anything; a reader at work says so (stillReading) at least four times
    /// as often.
    double quietSeconds = kQuietSeconds;
};

/// Runs open() in a child process and hands out the rows of the reader it
/// returns. The columns are known when this returns. Errors the reader throws
/// (jet::JetError) come back as they are; the ends above throw
/// jet::JetError "'path' is damaged and cannot be read: <why>.".
std::unique_ptr<RowReader> readInChild(const QString& path, const std::function<std::unique_ptr<RowReader>()>& open,
                                       const ReadLimits& limits = {});

/// Runs list() in a child process and returns its names, with the same ends.
QStringList listInChild(const QString& path, const std::function<QStringList()>& list, const ReadLimits& limits = {});

/// Tells the parent, from a long read or check inside a child, that the
/// reader is still at work (sent at most once a second, or four times in the
/// quiet limit when that is shorter); does nothing in the parent. Cheap
/// enough to call every few thousand records or cells.
void stillReading();

/// In a child: the first line the reader's libraries wrote to standard output
/// or error since the child started, "" when nothing (and always in the
/// parent). Costs one system call when nothing was written.
QString readerOutput();

/// The reason "'path' is damaged and cannot be read: why." as a jet::JetError.
[[noreturn]] void throwDamaged(const QString& path, const QString& why);

} // namespace drivers
