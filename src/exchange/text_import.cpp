// The text import without its window: the preview's steps in one call, the
// preview's work table, and the two streaming passes that load tblData.
//
// Cost: each pass reads the file once in large blocks (TextLineReader) and
// splits each line in place (LineSplitter); only one line's fields are held at
// a time, so memory stays flat in the file's size. The loading pass reads and
// converts on a thread of its own while the engine inserts what is ready
// through one INSERT ... SELECT, inside one savepoint, which is what makes a
// million rows take seconds, and what lets a failure or a cancel put the
// working database back as it was.
#include "exchange/text_import.h"

#include "exchange/text_records.h"

#include "common/batch_queue.h"
#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/engine_text.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/rowfeed.h"

#include <QFile>

#include <sqlite3.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>

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
/// `each` gets the fields of a record; `every(bytesRead, atEnd)` is called
/// every kProgressLineStep records and once at the end, and stops the pass by
/// returning false (then readRecords returns false). A read error fails the
/// import. nuls gets the NUL characters the pass dropped.
template <typename Each, typename Every>
bool readRecords(QFile& file, const TextImportRequest& request, qint64* nuls, Each each, Every every)
{
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
            if (!every(reader.bytesConsumed(), false))
                return false;
        }
    }
    if (reader.hasError())
        fail(reader.errorString() + QStringLiteral("\r\rImport cannot continue."));
    *nuls = reader.nulsDropped();
    return every(reader.bytesConsumed(), true);
}

/// The examining pass: readRecords with the observer hearing of the progress.
/// Returns the bytes the pass read.
template <typename Each>
qint64 readPass(QFile& file, const TextImportRequest& request, qint64 before, qint64 total,
                TextImportObserver& observer, qint64* nuls, Each each)
{
    if (!file.seek(0))
        fail(file.errorString());
    qint64 read = 0;
    readRecords(file, request, nuls, each, [&](qint64 consumed, bool) {
        read = consumed;
        if (!observer.progress(before + consumed, total))
            cancel();
        return true;
    });
    return read;
}

QString tooManyColumns();
QString columnsChanged();

/// A slice of the loading pass: its records' values as tblData stores them
/// made by the reading thread.
struct RecordBatch {
    struct Cell {
        enum Kind : quint8 { Null, Int, Real, Utf8 };
        Kind kind = Null;
        quint32 begin = 0;   ///< text: its bytes in `bytes`
        quint32 size = 0;
        qint64 i = 0;
        double d = 0;
    };
    std::vector<Cell> cells;   ///< columns per row, row after row
    std::string bytes;
    qsizetype rows = 0;        ///< rows to insert (records holding a value)
    qint64 bytesConsumed = 0;  ///< of the file, after the batch's last record
};

/// Stores what a column of the type keeps for the text (storedValue's value;
/// Text and Memo as the field's own characters, cut to the column's length);
/// false when the column gets Null.
bool storeCell(RecordBatch& b, ColumnType type, QStringView text, const DateSettings& dates)
{
    RecordBatch::Cell c;
    auto keepText = [&](const char* data, size_t n, RecordBatch::Cell::Kind kind) {
        c.kind = kind;
        c.begin = quint32(b.bytes.size());
        c.size = quint32(n);
        b.bytes.append(data, n);
    };
    if (type == ColumnType::Text || type == ColumnType::Memo) {
        qsizetype len = text.size();
        if (type == ColumnType::Text && len > kTextColumnLength) {
            len = kTextColumnLength;
            if (text[len - 1].isHighSurrogate())
                --len;
        }
        if (len > 0) {
            // Into the engine's form here, off its thread, half a surrogate
            // pair included (see utf8OfText).
            const QByteArray u = jet::utf8OfText(text.first(len));
            keepText(u.constData(), size_t(u.size()), RecordBatch::Cell::Utf8);
        }
        b.cells.push_back(c);
        return len > 0;
    }
    const jet::Value v = storedValue(type, text, dates);
    switch (v.kind()) {
    case jet::Kind::Null: break;
    case jet::Kind::Bool: c.kind = RecordBatch::Cell::Int; c.i = v.toBool() ? -1 : 0; break;
    case jet::Kind::Long: c.kind = RecordBatch::Cell::Int; c.i = v.toLong(); break;
    case jet::Kind::Double: c.kind = RecordBatch::Cell::Real; c.d = v.toDouble(); break;
    case jet::Kind::Currency: c.kind = RecordBatch::Cell::Int; c.i = v.currency().units; break;   // the stored count
    case jet::Kind::Date: {
        const QByteArray u = jet::storedDate(v.toDate()).toUtf8();
        keepText(u.constData(), size_t(u.size()), RecordBatch::Cell::Utf8);
        break;
    }
    case jet::Kind::Text: {
        const QByteArray u = jet::utf8OfText(*v.textPtr());
        keepText(u.constData(), size_t(u.size()), RecordBatch::Cell::Utf8);
        break;
    }
    }
    b.cells.push_back(c);
    return c.kind != RecordBatch::Cell::Null;
}

/// The loading pass: a thread reads and converts the records into batches
/// while the engine inserts the batches already made, through one
/// INSERT ... SELECT over this feed. A few batches wait at most, so memory
/// stays flat in the file's size.
class LoadingPass : public jet::RowFeed {
public:
    LoadingPass(const TextImportRequest& request, const std::vector<ColumnType>& types, const DateSettings& dates,
                qint64 before, qint64 total, TextImportObserver& observer)
        : types_(types), observer_(observer), before_(before), total_(total)
    {
        reader_ = std::thread([this, request, dates] { read(request, dates); });
    }
    ~LoadingPass() override
    {
        waiting_.stop();
        reader_.join();
    }
    LoadingPass(const LoadingPass&) = delete;
    LoadingPass& operator=(const LoadingPass&) = delete;

    int columnCount() const override { return int(types_.size()); }

    bool next() override
    {
        if (current_ && ++at_ < current_->rows)
            return true;
        for (;;) {
            if (current_ && !observer_.progress(before_ + current_->bytesConsumed, total_))
                cancel();
            std::optional<std::unique_ptr<RecordBatch>> next = waiting_.take();
            current_ = next ? std::move(*next) : nullptr;
            if (!current_) {
                if (failure_)
                    std::rethrow_exception(failure_);
                if (!observer_.progress(before_ + consumed_, total_))
                    cancel();
                return false;
            }
            rows += current_->rows;
            at_ = 0;
            if (current_->rows > 0)
                return true;
        }
    }

    void result(sqlite3_context* ctx, int i) const override
    {
        const RecordBatch& b = *current_;
        const RecordBatch::Cell& c = b.cells[size_t(at_) * types_.size() + size_t(i)];
        switch (c.kind) {
        case RecordBatch::Cell::Null: sqlite3_result_null(ctx); break;
        case RecordBatch::Cell::Int: sqlite3_result_int64(ctx, c.i); break;
        case RecordBatch::Cell::Real: sqlite3_result_double(ctx, c.d); break;
        // Without a copy: the only statement over this feed is the import's
        // INSERT ... SELECT, which writes each row before it reads the next.
        case RecordBatch::Cell::Utf8: sqlite3_result_text(ctx, b.bytes.data() + c.begin, int(c.size), SQLITE_STATIC); break;
        }
    }

    qint64 rows = 0;
    qint64 nulsDropped = 0;
    qint64 consumed() const { return consumed_; }

private:
    static constexpr size_t kWaiting = 8;

    // The reading thread.
    void read(const TextImportRequest& request, const DateSettings& dates)
    {
        try {
            QFile file(request.path);
            if (!file.open(QIODevice::ReadOnly))
                fail(file.errorString());
            const size_t count = types_.size();
            auto batch = std::make_unique<RecordBatch>();
            qint64 nuls = 0;
            qint64 read = 0;
            const bool whole = readRecords(
                file, request, &nuls,
                [&](const std::vector<QStringView>& fields) {
                    if (fields.size() > count)
                        fail(columnsChanged());
                    const size_t start = batch->cells.size();
                    const size_t bytes = batch->bytes.size();
                    bool hasData = false;
                    for (size_t i = 0; i < count; ++i) {
                        if (i < fields.size())
                            hasData = storeCell(*batch, types_[i], fields[i], dates) || hasData;
                        else
                            batch->cells.emplace_back();
                    }
                    if (hasData) {
                        ++batch->rows;
                    } else {
                        batch->cells.resize(start);
                        batch->bytes.resize(bytes);
                    }
                },
                [&](qint64 consumed, bool atEnd) {
                    read = consumed;
                    batch->bytesConsumed = consumed;
                    if (atEnd && batch->rows == 0)
                        return true;
                    if (!waiting_.put(std::move(batch)))
                        return false;
                    batch = std::make_unique<RecordBatch>();
                    return true;
                });
            if (whole) {
                nulsDropped = nuls;
                consumed_ = read;
            }
        } catch (...) {
            failure_ = std::current_exception();
        }
        // What was set above is read by the engine's thread once the queue
        // says it is finished.
        waiting_.finish();
    }

    const std::vector<ColumnType>& types_;
    TextImportObserver& observer_;
    const qint64 before_;
    const qint64 total_;
    std::unique_ptr<RecordBatch> current_;
    qsizetype at_ = 0;

    common::BatchQueue<std::unique_ptr<RecordBatch>> waiting_{kWaiting};
    std::exception_ptr failure_;
    qint64 consumed_ = 0;
    std::thread reader_;
};

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
            LoadingPass pass(request, types, dates, firstPass, total, observer);
            const jet::ScopedFeed feed(*conn, "qb_import_rows", pass);
            QStringList columns;
            for (qsizetype i = 0; i < names.size(); ++i)
                columns << QStringLiteral("c%1").arg(i);
            jet::Stmt ins(conn, QStringLiteral("INSERT INTO tblData SELECT %1 FROM qb_import_rows")
                                    .arg(columns.join(QLatin1String(", "))));
            jet::runFeed(ins, pass);
            result.rows = pass.rows;
            result.nulsDropped = pass.nulsDropped;
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
