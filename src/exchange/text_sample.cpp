// The text wizard's sample, split, naming and type guess as plain functions.
// All of it works on at most kSampleLineCount lines, so cost is never an issue
// here; the shared pieces (splitter, type tests) are the ones the full import
// runs per line.
#include "exchange/text_sample.h"

#include "exchange/text_records.h"

#include <QFile>
#include <QFileInfo>

namespace exchange {
namespace {

QString fieldName(int k) { return QStringLiteral("Field") + QString::number(k); }

// A header text made into a column name, before the checks against the
// column's number and the earlier names.
QString cleanHeader(QStringView header)
{
    const QStringView trimmed = trimSpaces(header);
    QStringView t = trimmed.first(std::min<qsizetype>(trimmed.size(), kHeaderNameLength));
    // A cut must not leave half of a surrogate pair behind.
    if (!t.isEmpty() && t.back().isHighSurrogate())
        t.chop(1);
    QString name;
    name.reserve(t.size());
    for (QChar c : t) {
        if (c.unicode() < 32 || c == u'.' || c == u'!' || c == u'[' || c == u']' || c == u'"')
            continue;
        name.append(c);
    }
    // Removing a control character may uncover blanks at either end, and the
    // engine refuses a name that begins with a blank.
    return trimSpaces(name).toString();
}

// "Field" followed by a number other than k would take the default name of
// another column.
bool claimsOtherFieldNumber(const QString& name, int k)
{
    if (!name.startsWith(QLatin1String("Field"), Qt::CaseInsensitive))
        return false;
    const auto number = parseNumber(QStringView(name).sliced(5));
    return number && *number != static_cast<double>(k);
}

} // namespace

SampleLines readSampleLines(const QString& path, TextEncoding encoding, const SplitOptions& options)
{
    SampleLines out;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        out.error = QStringLiteral("Bad file name.");
        out.badFileName = true;
        return out;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = file.errorString();
        return out;
    }
    TextRecordReader reader(file, encoding, options);
    while (out.lines.size() < kSampleLineCount && reader.next())
        out.lines.append(reader.record().toString());
    if (reader.hasError()) {
        out.error = reader.errorString();
        out.lines.clear();
    } else if (out.lines.isEmpty()) {
        out.error = QStringLiteral("File empty or cannot be read.");
    }
    return out;
}

QString delimiterProblem(const QString& fieldDelimiter, const QString& dateDelimiter,
                         const QString& timeDelimiter, const QString& qualifier)
{
    if (fieldDelimiter.size() > 1)
        return QStringLiteral("Field Delimiter not recognised.");
    if (fieldDelimiter == dateDelimiter)
        return QStringLiteral("Field Delimiter and Date Delimiter must be different.");
    if (fieldDelimiter == timeDelimiter)
        return QStringLiteral("Field Delimiter and Time Delimiter must be different.");
    if (fieldDelimiter == qualifier)
        return QStringLiteral("Field Delimiter and Text Qualifier must be different.");
    if (dateDelimiter == timeDelimiter)
        return QStringLiteral("Date Delimiter and Time Delimiter must be different.");
    if (dateDelimiter == qualifier)
        return QStringLiteral("Date Delimiter and Text Qualifier must be different.");
    if (timeDelimiter == qualifier)
        return QStringLiteral("Time Delimiter and Text Qualifier must be different.");
    return QString();
}

SampleTable splitSample(const QStringList& lines, const SplitOptions& options)
{
    SampleTable table;
    table.width = 1;
    LineSplitter splitter(options);
    table.rows.reserve(lines.size());
    for (const QString& line : lines) {
        const std::vector<QStringView>& fields = splitter.split(line);
        if (fields.size() > static_cast<size_t>(kMaxTextFields)) {
            table.rows.clear();
            table.error = QStringLiteral("Number of fields exceeded the maximum allowed (250).");
            return table;
        }
        QStringList row;
        row.reserve(static_cast<qsizetype>(fields.size()));
        for (QStringView f : fields)
            row.append(f.toString());
        table.width = std::max(table.width, static_cast<int>(row.size()));
        table.rows.append(std::move(row));
    }
    for (QStringList& row : table.rows)
        while (row.size() < table.width)
            row.append(QString());
    return table;
}

QStringList columnNames(const SampleTable& sample, bool firstRowHasNames)
{
    QStringList names;
    names.reserve(sample.width);
    const bool haveHeader = firstRowHasNames && !sample.rows.isEmpty();
    for (int k = 1; k <= sample.width; ++k) {
        if (!haveHeader) {
            names.append(fieldName(k));
            continue;
        }
        QString name = cleanHeader(sample.rows.front().value(k - 1));
        if (claimsOtherFieldNumber(name, k) || name.isEmpty()
            || names.contains(name, Qt::CaseInsensitive))
            name = fieldName(k);
        names.append(name);
    }
    return names;
}

std::vector<ColumnType> guessColumnTypes(const SampleTable& sample, bool firstRowHasNames,
                                         const DateSettings& dates)
{
    std::vector<ColumnType> types(static_cast<size_t>(sample.width), ColumnType::DateTime);
    const qsizetype firstRow = firstRowHasNames ? 1 : 0;
    for (int k = 0; k < sample.width; ++k) {
        ColumnType& type = types[static_cast<size_t>(k)];
        bool empty = true;
        for (qsizetype r = firstRow; r < sample.rows.size() && type != ColumnType::Memo; ++r) {
            const QString& value = sample.rows[r].at(k);
            empty = empty && value.isEmpty();
            type = lowerToFit(type, value, dates);
        }
        if (empty)
            type = ColumnType::Text;
    }
    return types;
}

} // namespace exchange
