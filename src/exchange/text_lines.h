// Reading a delimited text file line by line, for the text wizard's sample and
// for both passes of the text import.
//
// A file that starts with a UTF-16 or UTF-32 byte-order mark is read in that
// encoding. Any other file is read as UTF-8 when the whole of it is valid
// UTF-8, else as Windows-1252, so lists saved by older programs keep their
// accented letters. The byte-order mark is dropped, and so are further marks
// right after it (some programs write two, which would end up in the first
// column's name). NUL characters are dropped from every line and counted: no
// list value holds one, and a value holding one breaks later statements on it.
// Lines end at LF, CR LF or a lone CR; the line end is not part of the line.
#pragma once

#include <QString>
#include <QStringView>

#include <QStringDecoder>

#include <optional>

class QIODevice;

namespace exchange {

enum class TextEncoding { Utf8, Windows1252, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

/// Reads the device to its end and tells which encoding the file is read in
/// (a UTF-16 or UTF-32 byte-order mark decides at once). One streaming pass over the bytes (ASCII runs checked eight at a time); the
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
    /// The line end that ended the last line: "\r\n", "\n", "\r", or "" for a
    /// last line without one.
    QStringView lineEnd() const { return lineEnd_; }
    /// Lines handed out so far: the number of the last line read, from 1.
    qint64 linesRead() const { return lines_; }
    /// NUL characters dropped from the lines handed out so far.
    qint64 nulsDropped() const { return nuls_; }
    bool hasError() const { return !error_.isEmpty(); }
    QString errorString() const { return error_; }

private:
    bool fill();
    /// Reads at most room bytes; 0 at the end of the file or on an error.
    qint64 readBlock(char* into, qint64 room);
    void dropNuls(QString& line);
    void decode(const char* bytes, qsizetype size, QString& line);
    bool readWideLine(QString& line);
    bool fillWide();
    void finishLine(QString& line);

    QIODevice& device_;
    TextEncoding encoding_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    qint64 consumed_ = 0;
    bool eof_ = false;
    bool started_ = false;
    QString error_;
    QStringView lineEnd_;
    qint64 lines_ = 0;
    qint64 nuls_ = 0;
    // UTF-16 and UTF-32: the decoded text not yet handed out.
    QStringDecoder wideDecoder_;
    QString wide_;
    qsizetype widePos_ = 0;
    qint64 bytesRead_ = 0;
};

} // namespace exchange
