// The records of a delimited text file: its lines, with the lines that a
// quoted value's line breaks split joined again, each trimmed of leading and
// trailing blanks and split into fields. The wizard's sample and both passes
// of the import read a file through here, so that what the preview shows is
// what the import stores.
#pragma once

#include "exchange/line_split.h"
#include "exchange/text_lines.h"

#include <QString>
#include <QStringView>

#include <vector>

class QIODevice;

namespace exchange {

class TextRecordReader {
public:
    TextRecordReader(QIODevice& device, TextEncoding encoding, SplitOptions options);
    TextRecordReader(const TextRecordReader&) = delete;
    TextRecordReader& operator=(const TextRecordReader&) = delete;

    /// Reads the next record that is not blank. A line that ends inside a
    /// quoted text goes on with the next line; the line break (CR LF, LF or
    /// CR, as in the file) stays in the value. False at the end of the file,
    /// on a read error, or when a quoted text is still open at the end of the
    /// file (hasError() then tells which).
    bool next();
    /// The record's text, trimmed of blanks; valid until the next call.
    QStringView record() const { return record_; }
    /// The record's fields; valid until the next call.
    const std::vector<QStringView>& fields() const { return *fields_; }

    qint64 bytesConsumed() const { return lines_.bytesConsumed(); }
    qint64 nulsDropped() const { return lines_.nulsDropped(); }
    bool hasError() const { return !error_.isEmpty(); }
    QString errorString() const { return error_; }

private:
    TextLineReader lines_;
    LineSplitter splitter_;
    QString line_;
    QString joined_;
    QStringView record_;
    const std::vector<QStringView>* fields_ = nullptr;
    QString error_;
};

/// The message for a text qualifier opened on line `line` and never closed.
QString unclosedQualifierMessage(qint64 line);

} // namespace exchange
