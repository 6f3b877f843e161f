// Joining the lines of a record. Most records are one line: that line is split
// in place and nothing is copied. Only a line that ends inside a quoted text is
// copied; the next lines are appended, each looked at once for the end of the
// quoted text, and the whole record is split when it is complete.
#include "exchange/text_records.h"

namespace exchange {

TextRecordReader::TextRecordReader(QIODevice& device, TextEncoding encoding, SplitOptions options)
    : lines_(device, encoding), splitter_(options)
{
}

bool TextRecordReader::next()
{
    for (;;) {
        if (!lines_.readLine(line_)) {
            if (lines_.hasError())
                error_ = lines_.errorString();
            return false;
        }
        record_ = trimSpaces(line_);
        if (record_.isEmpty())
            continue;
        fields_ = &splitter_.split(record_);
        if (!splitter_.endedQuoted())
            return true;

        const qint64 opened = lines_.linesRead();
        joined_ = line_;
        for (;;) {
            const qsizetype from = joined_.size();
            joined_ += lines_.lineEnd();
            if (!lines_.readLine(line_)) {
                error_ = lines_.hasError() ? lines_.errorString() : unclosedQualifierMessage(opened);
                return false;
            }
            joined_ += line_;
            if (!splitter_.quotedTextGoesOn(QStringView(joined_).sliced(from)))
                break;
        }
        record_ = trimSpaces(joined_);
        fields_ = &splitter_.split(record_);
        return true;
    }
}

QString unclosedQualifierMessage(qint64 line)
{
    return QStringLiteral("The text qualifier opened on line %1 is not closed before the end of the file.  "
                          "Choose another Text Qualifier or correct the file.")
        .arg(line);
}

} // namespace exchange
