// The text wizard's preview, without its form: the sample of the chosen file,
// the checks of the delimiter settings, the sample split into fields, the
// column names and the guessed column types. The form shows the results and
// the messages; the import repeats readSampleLines and delimiterProblem before
// it starts.
//
// Calling order for one preview:
//   readSampleLines -> delimiterProblem -> splitSample -> columnNames
//   -> guessColumnTypes
// Each step that can fail returns the message the wizard shows ("" when fine).
#pragma once

#include "exchange/column_type.h"
#include "exchange/date_text.h"
#include "exchange/line_split.h"
#include "exchange/text_lines.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace exchange {

/// Non-blank lines the preview samples from the top of the file.
constexpr int kSampleLineCount = 30;
/// Most fields a line of a text file may have.
constexpr int kMaxTextFields = 250;
/// Characters of a header text that make a column name, before forbidden
/// characters are removed.
constexpr int kHeaderNameLength = 25;

struct SampleLines {
    QStringList lines;  ///< up to kSampleLineCount lines, blanks trimmed, none empty
    QString error;      ///< "" on success
    bool badFileName = false; ///< the path was empty or no file: the wizard forgets it
};

/// The first non-blank records of the file (TextRecordReader: lines joined
/// where a quoted value holds a line break, by the qualifier of options), each
/// trimmed of leading and trailing blanks; blank lines are skipped and not
/// counted. Messages: "Bad file name." (empty path or no such file), "File
/// empty or cannot be read." (no non-blank line), the message of a qualifier
/// left open at the end of the file, or the system's text when the file cannot
/// be opened or read.
SampleLines readSampleLines(const QString& path, TextEncoding encoding, const SplitOptions& options = {});

/// The first conflict of the wizard's settings, in the wizard's order, or "".
/// The texts are those of the boxes; a qualifier of "none" never conflicts, and
/// an empty field delimiter is allowed (every line is then one field).
QString delimiterProblem(const QString& fieldDelimiter, const QString& dateDelimiter,
                         const QString& timeDelimiter, const QString& qualifier);

/// The sample as rows of fields; every row padded with "" to the width of the
/// widest line.
struct SampleTable {
    QList<QStringList> rows;
    int width = 0;
    QString error; ///< "" on success
};

/// Splits every sample line. Fails with "Number of fields exceeded the maximum
/// allowed (250)." when any line has more than kMaxTextFields fields.
SampleTable splitSample(const QStringList& lines, const SplitOptions& options);

/// One name per column. With names in the first row: the header text trimmed,
/// cut to 25 characters, freed of control characters, ".", "!", "[", "]" and
/// double quotes, and trimmed again; it becomes "Field" and the column number
/// when it is empty, when it is "Field" and a number other than the column's own,
/// or when an earlier column has the same name in any letter case. Without
/// names: "Field1", "Field2", ...
QStringList columnNames(const SampleTable& sample, bool firstRowHasNames);

/// The narrowest type every sample value of each column fits, starting from
/// Date/Time and lowering (lowerToFit). Empty values are skipped; a column
/// with no value at all is Text, the type that takes whatever the user types
/// into it later. The header row, when there is one, is not looked at.
std::vector<ColumnType> guessColumnTypes(const SampleTable& sample, bool firstRowHasNames,
                                         const DateSettings& dates);

} // namespace exchange
