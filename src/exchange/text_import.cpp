// The text import without its window: the preview's steps in one call, the
// preview's work table, and the two streaming passes that load tblData.
//
// Cost: each pass reads the file once in large blocks (TextLineReader) and
// splits each line in place (LineSplitter); only one line's fields are held at
// a time, so memory stays flat in the file's size. The load binds every record
// to one prepared INSERT inside one savepoint, which is what makes a million
// rows take seconds instead of minutes, and what lets a failure or a cancel
// put the working database back as it was.
#include "exchange/text_import.h"

#include "exchange/text_records.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QFile>

#include <sqlite3.h>

#include <exception>

namespace exchange {
namespace {

const QString kDataTable = QStringLiteral("tblData");
const QString kSavepoint = QStringLiteral("qb_text_import");

/// Ends the import early; caught once, in importTextFile.
struct Stop {
    TextImportResult::Outcome outcome;
    QString message;
};

[[noreturn]] void fail(const QString& message) { throw Stop{TextImportResult::Outcome::Failed, message}; }
[[noreturn]] void cancel() { throw Stop{TextImportResult::Outcome::Cancelled, QString()}; }

QString placeholders(qsizetype n)
{
    QString marks;
    marks.reserve(n * 2);
    for (qsizetype i = 0; i < n; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    return marks;
}

/// One pass over the file's records (TextRecordReader), the header left out.
/// `each` gets the fields of a record; the observer hears of the progress every
/// kProgressLineStep records and at the end. Returns the bytes the pass read;
/// nuls gets the NUL characters the pass dropped.
template <typename Each>
qint64 readPass(QFile& file, const TextImportRequest& request, qint64 before, qint64 total,
                TextImportObserver& observer, qint64* nuls, Each each)
{
    if (!file.seek(0))
        fail(file.errorString());
    TextRecordReader reader(file, request.encoding, request.choices.splitOptions());
    bool headerPending = request.choices.firstRowHasNames;
    int sinceReport = 0;
    while (reader.next()) {
        if (headerPending) {
            headerPending = false;
            continue;
        }
        each(reader.fields());
        if (++sinceReport == kProgressLineStep) {
            sinceReport = 0;
            if (!observer.progress(before + reader.bytesConsumed(), total))
                cancel();
        }
    }
    if (reader.hasError())
        fail(reader.errorString() + QStringLiteral("\r\rImport cannot continue."));
    if (!observer.progress(before + reader.bytesConsumed(), total))
        cancel();
    *nuls = reader.nulsDropped();
    return reader.bytesConsumed();
}

/// Binds what a column of the type stores for the text, as storedValue would
/// give it, but without building a Value: text is bound straight from the
/// splitter's buffer, which stays put until the next line is split, after the
/// row has been stepped. False when the column gets Null.
bool bindStored(jet::Stmt& ins, int index, ColumnType type, QStringView text, const DateSettings& dates)
{
    sqlite3_stmt* s = ins.get();
    if (type == ColumnType::Text || type == ColumnType::Memo) {
        qsizetype len = text.size();
        if (type == ColumnType::Text && len > kTextColumnLength) {
            len = kTextColumnLength;
            // Never leave half of a surrogate pair at the cut.
            if (text[len - 1].isHighSurrogate())
                --len;
        }
        if (len == 0) {
            sqlite3_bind_null(s, index);
            return false;
        }
        sqlite3_bind_text16(s, index, text.utf16(), int(len * 2), SQLITE_STATIC);
        return true;
    }
    const jet::Value v = storedValue(type, text, dates);
    ins.bind(index, v);
    return !v.isNull();
}

QString tooManyColumns()
{
    return QStringLiteral("Number of columns exceeded 250.\r\rImport cannot continue.");
}

QString columnsChanged()
{
    return QStringLiteral("Number of columns do not match examination results.\r\rImport cannot continue.");
}

} // namespace

TextPreview buildTextPreview(const QString& path, TextEncoding encoding, const TextChoices& choices)
{
    TextPreview p;
    const SampleLines lines = readSampleLines(path, encoding, choices.splitOptions());
    if (!lines.error.isEmpty()) {
        p.error = lines.error;
        p.badFileName = lines.badFileName;
        return p;
    }
    p.error = delimiterProblem(choices.fieldDelimiter, choices.dateDelimiter, choices.timeDelimiter,
                               choices.qualifier);
    if (!p.error.isEmpty())
        return p;
    p.sample = splitSample(lines.lines, choices.splitOptions());
    if (!p.sample.error.isEmpty()) {
        p.error = p.sample.error;
        return p;
    }
    p.names = columnNames(p.sample, choices.firstRowHasNames);
    p.types = guessColumnTypes(p.sample, choices.firstRowHasNames, choices.dateSettings());
    return p;
}

QString writeSampleTable(jet::Database& db, const TextPreview& preview, bool firstRowHasNames)
{
    const QString table = QString::fromLatin1(kSampleTable);
    try {
        if (general::DropTable(db, table))
            return QStringLiteral("Could not delete existing data.");
        const std::vector<ColumnType> memo(static_cast<size_t>(preview.names.size()), ColumnType::Memo);
        db.execute(createTableStatement(table, preview.names, memo), jet::dbFailOnError);
        jet::Connection& c = db.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, placeholders(preview.names.size())));
        const qsizetype first = firstRowHasNames ? 1 : 0;
        for (qsizetype r = first; r < preview.sample.rows.size(); ++r) {
            const QStringList& row = preview.sample.rows[r];
            for (qsizetype k = 0; k < preview.names.size(); ++k) {
                const QString v = row.value(k);
                ins.bind(int(k) + 1, v.isEmpty() ? jet::Value() : jet::Value(v));
            }
            ins.step();
            ins.reset();
        }
        c.bump();
        return QString();
    } catch (const jet::JetError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

TextImportResult importTextFile(jet::Database& db, const TextImportRequest& request,
                                TextImportObserver& observer)
{
    TextImportResult result;
    result.names = request.names;
    result.types = request.types;
    result.types.resize(static_cast<size_t>(result.names.size()), ColumnType::Text);
    QStringList& names = result.names;
    std::vector<ColumnType>& types = result.types;
    const DateSettings dates = request.choices.dateSettings();

    jet::Connection* conn = nullptr;
    bool inSavepoint = false;
    try {
        QFile file(request.path);
        if (!file.open(QIODevice::ReadOnly))
            fail(file.errorString());
        const qint64 total = 2 * file.size();

        // Examination: the final column count and types.
        // A column that the sample did not show and that no record fills is
        // Text, as an empty sample column is.
        observer.stage(TextImportStage::Examining);
        const size_t shown = static_cast<size_t>(names.size());
        std::vector<bool> filled;
        qint64 nuls = 0;
        const qint64 firstPass = readPass(file, request, 0, total, observer, &nuls,
                                          [&](const std::vector<QStringView>& fields) {
            if (fields.size() > static_cast<size_t>(kMaxTextFields))
                fail(tooManyColumns());
            while (fields.size() > static_cast<size_t>(names.size())) {
                names << QStringLiteral("Field") + QString::number(names.size() + 1);
                types.push_back(ColumnType::DateTime);
                filled.resize(types.size());
            }
            for (size_t i = 0; i < fields.size(); ++i) {
                if (i >= shown && !fields[i].isEmpty())
                    filled[i] = true;
                if (types[i] != ColumnType::Memo)
                    types[i] = lowerToFit(types[i], fields[i], dates);
            }
        });
        if (names.isEmpty())
            fail(QStringLiteral("File empty or cannot be read."));
        for (size_t i = shown; i < types.size(); ++i)
            if (!filled[i])
                types[i] = ColumnType::Text;

        // The table, in a savepoint that also holds every record.
        conn = &db.connection();
        conn->beginSavepoint(kSavepoint);
        inSavepoint = true;
        if (general::DropTable(db, kDataTable))
            fail(QStringLiteral("Could not delete existing data."));
        db.execute(createTableStatement(kDataTable, names, types), jet::dbFailOnError);
        if (!general::TableExists(db, kDataTable))
            fail(QStringLiteral("Cannot access table tblData."));

        // Loading.
        observer.stage(TextImportStage::Importing);
        {
            jet::Stmt ins(conn, QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(placeholders(names.size())));
            const size_t count = static_cast<size_t>(names.size());
            readPass(file, request, firstPass, total, observer, &result.nulsDropped,
                     [&](const std::vector<QStringView>& fields) {
                if (fields.size() > count)
                    fail(columnsChanged());
                bool hasData = false;
                for (size_t i = 0; i < count; ++i) {
                    if (i < fields.size())
                        hasData = bindStored(ins, int(i) + 1, types[i], fields[i], dates) || hasData;
                    else
                        ins.bind(int(i) + 1, jet::Value());
                }
                if (hasData) {
                    ins.step();
                    ++result.rows;
                }
                ins.reset();
            });
        }
        conn->releaseSavepoint(kSavepoint);
        inSavepoint = false;
        conn->bump();
        result.outcome = TextImportResult::Outcome::Done;
        return result;
    } catch (const Stop& s) {
        result.outcome = s.outcome;
        result.error = s.message;
    } catch (const jet::JetError& e) {
        result.error = e.description();
    } catch (const std::exception& e) {
        result.error = QString::fromUtf8(e.what());
    }
    if (inSavepoint) {
        const QString undo = conn->rollbackSavepoint(kSavepoint);
        if (!undo.isEmpty() && result.outcome == TextImportResult::Outcome::Failed)
            result.error += QStringLiteral("\r\r") + undo;
        conn->bump();
    }
    result.rows = 0;
    result.nulsDropped = 0;
    return result;
}

} // namespace exchange
