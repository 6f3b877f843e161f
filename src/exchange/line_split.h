// Splitting one line of a delimited text file into its fields, with a text
// qualifier (a quote character) around fields that hold the delimiter.
//
// The rules, for the wizard's preview and for both passes of the import alike:
// - The delimiter ends a field; a delimiter at the end of a line gives one more,
//   empty, field. An empty line is one empty field.
// - A qualifier opens a quoted text only at the start of a field (blanks before
//   it are kept in the field). Anywhere else it is an ordinary character, so
//   O'Brien stays whole with the apostrophe as qualifier.
// - Inside a quoted text delimiters belong to the field; a doubled qualifier
//   gives one qualifier character; the next single qualifier closes the text and
//   is dropped. What follows a closing qualifier up to the delimiter is kept.
// - An unclosed qualifier takes the rest of the text, delimiters included.
// - Field texts are not trimmed.
// A record of a file may span lines: a line break inside a quoted text belongs
// to the value (TextRecordReader, text_records.h, joins such lines first).
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace exchange {

struct SplitOptions {
    std::optional<QChar> delimiter;  ///< none: every line is one field
    std::optional<QChar> qualifier;  ///< none: quote characters are ordinary

    /// From the wizard's texts: a delimiter of exactly one character is used,
    /// an empty one never matches; a qualifier text other than one character
    /// (the choice "none") never matches.
    static SplitOptions fromTexts(const QString& delimiterText, const QString& qualifierText);
};

/// Reusable splitter for the full import pass: one pass over the characters, no
/// allocation once its buffers have grown to the longest line.
class LineSplitter {
public:
    explicit LineSplitter(SplitOptions options = {}) : options_(options) {}

    /// Splits one line. The views point into the splitter's own buffer and stay
    /// valid until the next call of split().
    const std::vector<QStringView>& split(QStringView line);
    /// The last split ended inside a quoted text: the record goes on with the
    /// next line of the file.
    bool endedQuoted() const { return endedQuoted_; }
    /// After a split that endedQuoted(), or a call of this that returned
    /// true: whether the quoted text is still open at the end of `more`, the
    /// record's next piece. One pass over `more` alone, so a record of many
    /// lines costs no more than its length.
    bool quotedTextGoesOn(QStringView more) const;

private:
    SplitOptions options_;
    QString buffer_;
    std::vector<qsizetype> ends_;
    std::vector<QStringView> fields_;
    bool endedQuoted_ = false;
};

/// The fields of one line as owned strings; for the preview and for tests.
QStringList splitLine(QStringView line, const SplitOptions& options);

} // namespace exchange
