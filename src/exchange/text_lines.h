// Reading a delimited text file line by line, for the text wizard's sample and
// for both passes of the text import.
//
// A file is read as UTF-8 when the whole of it is valid UTF-8, else as
// Windows-1252, so lists saved by older programs keep their accented letters.
// A leading UTF-8 byte-order mark is dropped. Lines end at LF, CR LF or a lone
// CR; the line end is not part of the line.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class QIODevice;

namespace exchange {

enum class TextEncoding { Utf8, Windows1252 };

/// Reads the device to its end and tells which encoding the file is read in.
/// One streaming pass over the bytes (ASCII runs checked eight at a time); the
/// wizard runs it once per chosen file, not per preview.
TextEncoding detectTextEncoding(QIODevice& device);
/// Same for a file; nullopt when the file cannot be opened.
std::optional<TextEncoding> detectTextEncoding(const QString& path);

/// The text with leading and trailing blanks (U+0020 only) removed; tabs stay,
/// since a tab may be the field delimiter.
QStringView trimSpaces(QStringView text);

/// Streams the lines of an open device in large blocks; memory stays flat in the
/// file's size. Not copyable: it owns its read buffer.
class TextLineReader {
public:
    TextLineReader(QIODevice& device, TextEncoding encoding);
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    /// Puts the next line into `line`, reusing its storage; false at the end of
    /// the file or on a read error (see hasError()).
    bool readLine(QString& line);
    /// Bytes consumed so far, line ends and byte-order mark included: the
    /// import's progress measure.
    qint64 bytesConsumed() const { return consumed_; }
    bool hasError() const { return !error_.isEmpty(); }
    QString errorString() const { return error_; }

private:
    bool fill();
    void decode(const char* bytes, qsizetype size, QString& line) const;

    QIODevice& device_;
    TextEncoding encoding_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    qint64 consumed_ = 0;
    bool eof_ = false;
    bool started_ = false;
    QString error_;
};

} // namespace exchange
