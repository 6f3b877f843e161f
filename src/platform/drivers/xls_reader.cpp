// The Excel import driver: reads .xls workbooks (Excel 5.0/95 and 97-2003)
// through our own reader of their records (xls_biff.h) and hands out a sheet
// as columns and rows of the engine's values.
//
// Call order: open(), then catalogNames() / findSheet(), then readSheet() as
// often as needed, then close() (or let the destructor do it).
//
// Cells: numbers as they are stored; a number whose cell format shows a date
// or time as the engine's date (counted from the workbook's own 1900 or 1904
// epoch, dates before 1900 included); text as it is; a Boolean as 1 or 0; a
// formula as its last result, a formula error as Null (counted).
//
// Column types come from every data row that is read (not from a sample of
// the first rows), so a text far down a column of numbers cannot turn into
// Null: numbers only -> Double, dates only -> Date/Time, anything else -> Text
// (Memo when a value is longer than 255 characters). Costs: the workbook
// stream is held in memory (or mapped) from open(); a read walks the sheet's
// records twice, once for the column types and once making each row from
// its records as it is handed out, and holds only the shared texts. A sheet
// whose cells are not stored row by row is held whole instead.
#include "platform/drivers/xls_reader.h"

#include "platform/drivers/read_boundary.h"
#include "platform/drivers/xls_biff.h"
#include "platform/drivers/xls_check.h"
#include "platform/jet/error.h"

#include <QFile>
#include <QSet>

#include <algorithm>

namespace drivers {
namespace {

enum class CellKind { Null, Number, Date, Text };

// The kind a cell's value takes, before the column's kind is known: a
// Boolean is a number (1 or 0) that reads as the engine's text of a Yes/No.
CellKind kindOf(const XlsCell& c)
{
    switch (c.kind) {
    case XlsCell::Kind::Number:
    case XlsCell::Kind::Boolean:
        return CellKind::Number;
    case XlsCell::Kind::Date:
        return CellKind::Date;
    case XlsCell::Kind::Text:
        return CellKind::Text;
    default:
        return CellKind::Null;
    }
}

// The text a cell stands as in a text column (and as a column name).
QString cellText(const XlsSheetCells& sheet, const XlsCell& c)
{
    switch (c.kind) {
    case XlsCell::Kind::Number:
        return jet::numberText(c.number);
    case XlsCell::Kind::Boolean:
        return jet::Value(c.number != 0).toString();
    case XlsCell::Kind::Date:
        return jet::displayDate(jet::DateTime{c.number});
    case XlsCell::Kind::Text:
        return sheet.textOf(c).toString();
    default:
        return {};
    }
}

// What the cells of one column hold.
struct ColumnTally {
    long long numbers = 0, dates = 0, texts = 0;
    qsizetype longestText = 0;

    // The first pass: only the kind and, for text, the length.
    void add(const XlsSheetCells& sheet, const XlsCell& c) { add(c, sheet.textOf(c).size()); }
    void add(const XlsCell& c, qsizetype textLength)
    {
        switch (kindOf(c)) {
        case CellKind::Number:
            ++numbers;
            break;
        case CellKind::Date:
            ++dates;
            break;
        case CellKind::Text:
            ++texts;
            longestText = std::max(longestText, textLength);
            break;
        default:
            break;
        }
    }
    int kindsSeen() const { return (numbers > 0) + (dates > 0) + (texts > 0); }
};

// The kind a column's values take: the only kind it holds; for a mixed column
// text (IMEX=1) or the kind most cells have (ties go to text, then number).
CellKind columnKind(const ColumnTally& t, bool mixedAsText)
{
    if (t.kindsSeen() == 0)
        return CellKind::Text;
    if (t.kindsSeen() == 1)
        return t.numbers ? CellKind::Number : (t.dates ? CellKind::Date : CellKind::Text);
    if (mixedAsText)
        return CellKind::Text;
    if (t.texts >= t.numbers && t.texts >= t.dates)
        return CellKind::Text;
    return t.numbers >= t.dates ? CellKind::Number : CellKind::Date;
}

// A header cell made into a column name the engine accepts: trimmed, at most
// 64 characters, without control characters, and with the characters that
// cannot stand in a name replaced ("." -> "#", as the catalogue shows it).
QString cleanColumnName(const QString& raw)
{
    QString n;
    n.reserve(raw.size());
    for (QChar c : raw) {
        if (c.unicode() < 0x20)
            continue;
        if (c == u'.')
            n += u'#';
        else if (c == u'!' || c == u'`')
            n += u'_';
        else if (c == u'[')
            n += u'(';
        else if (c == u']')
            n += u')';
        else
            n += c;
    }
    return n.trimmed().left(64).trimmed();
}

QString defaultName(int column)
{
    return QStringLiteral("F%1").arg(column + 1);
}

// Names for every column; empty and repeated names (letter case ignored)
// take the default name of their position.
QStringList columnNames(const XlsSheetCells* header, int count)
{
    QStringList names;
    QSet<QString> taken;
    for (int c = 0; c < count; ++c) {
        const XlsCell* cell = header ? header->at(0, unsigned(c)) : nullptr;
        QString n = cell ? cleanColumnName(cellText(*header, *cell)) : QString();
        if (n.isEmpty() || taken.contains(n.toLower()))
            n = defaultName(c);
        for (int k = 2; taken.contains(n.toLower()); ++k)
            n = defaultName(c) + QStringLiteral("_%1").arg(k);
        taken.insert(n.toLower());
        names << n;
    }
    return names;
}

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name[0].isDigit())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

} // namespace

XlsWorkbook::XlsWorkbook() = default;

XlsWorkbook::~XlsWorkbook()
{
    close();
}

void XlsWorkbook::close()
{
    book_.reset();
    sheets_.clear();
    formulaErrors_ = 0;
}

bool XlsWorkbook::open(const QString& path, QString* error)
{
    close();
    auto fail = [&](const QString& why) {
        book_.reset();
        sheets_.clear();
        if (error)
            *error = why;
        return false;
    };
    auto damaged = [&](const QString& why) {
        return fail(QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(path, why));
    };
    auto file = std::make_unique<QFile>(path);
    QFile& f = *file;
    if (!f.exists())
        return fail(QStringLiteral("Could not find file '%1'.").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Could not open file '%1': %2.").arg(path, f.errorString()));
    // The file is mapped (no copy of it is made, and the workbook stream is
    // read in place where its sectors follow each other), or else read in
    // parts, saying between them that the reader is at work.
    const qint64 size = f.size();
    QByteArray bytes;
    if (uchar* map = size > 0 && size < qint64(1) << 40 ? f.map(0, size) : nullptr) {
        bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(map), qsizetype(size));
    } else {
        bytes.resize(qsizetype(size));
        qint64 got = 0;
        while (got < size) {
            const qint64 n = f.read(bytes.data() + got, std::min<qint64>(size - got, qint64(4) << 20));
            if (n <= 0)
                break;
            got += n;
            stillReading();
        }
        bytes.truncate(qsizetype(got));
        if (f.error() != QFileDevice::NoError)
            return fail(QStringLiteral("Could not read file '%1': %2.").arg(path, f.errorString()));
        file.reset();
    }
    // The container and the records are checked as a whole before a value
    // is taken from them.
    QByteArray stream;
    if (const QString damage = xlsDamage(bytes, &stream); !damage.isEmpty())
        return damaged(damage);
    if (!file)
        stream.detach();   // a view of the bytes read, which go now
    bytes = QByteArray();
    if (stream.isEmpty())
        return damaged(QStringLiteral("it holds no workbook stream"));

    auto book = std::make_unique<XlsBiff>();
    QString why;
    if (!book->open(std::move(stream), &why))
        return damaged(why);
    if (book->encrypted())
        return fail(QStringLiteral("Could not decrypt file."));
    path_ = path;
    dateMode_ = book->dateMode();
    biffVersion_ = book->version();
    sheets_ = book->sheetNames();
    // The mapping the stream may be read from goes after the records.
    book_ = std::shared_ptr<const XlsBiff>(book.release(), [mapped = file.release()](const XlsBiff* b) {
        delete b;
        delete mapped;
    });
    return true;
}

QStringList XlsWorkbook::catalogNames() const
{
    QStringList out;
    out.reserve(sheets_.size());
    for (const QString& s : sheets_) {
        QString n = s;
        n.replace(u'.', u'#');
        if (isPlainName(n)) {
            out << n + u'$';
        } else {
            n.replace(QStringLiteral("'"), QStringLiteral("''"));
            out << u'\'' + n + QStringLiteral("$'");
        }
    }
    return out;
}

int XlsWorkbook::findSheet(const QString& reference) const
{
    QString n = reference.trimmed();
    if (n.size() >= 2 && n.startsWith(u'\'') && n.endsWith(u'\'')) {
        n = n.mid(1, n.size() - 2);
        n.replace(QStringLiteral("''"), QStringLiteral("'"));
    }
    if (n.endsWith(u'$'))
        n.chop(1);
    QString dotted = n;
    dotted.replace(u'#', u'.');
    // An exact name first, so that sheets differing only in case stay apart.
    for (const QString& candidate : {n, dotted})
        for (qsizetype i = 0; i < sheets_.size(); ++i)
            if (sheets_[i] == candidate)
                return static_cast<int>(i);
    for (const QString& candidate : {n, dotted})
        for (qsizetype i = 0; i < sheets_.size(); ++i)
            if (sheets_[i].compare(candidate, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
    return -1;
}

struct XlsSheetRows::State {
    XlsSheetCells sheet;   ///< every cell; when streamed, only the texts of the row at hand
    /// Streamed: the rows are read from the records as they are handed out.
    bool streamed = false;
    std::shared_ptr<const XlsBiff> book;
    XlsSheetWalk walk;
    std::vector<XlsCell> line;   ///< the row at hand
    QString path;
    jet::ColumnList columns;
    std::vector<CellKind> kinds;
    std::vector<QString> texts;   ///< nextView's texts made from other kinds, by column
    std::vector<CellView> view;   ///< next()'s row as nextView gives it
    unsigned row = 0, endRow = 0, ncols = 0;
    long long formulaErrors = 0;
};

XlsSheetRows::XlsSheetRows() = default;
XlsSheetRows::~XlsSheetRows() = default;
XlsSheetRows::XlsSheetRows(XlsSheetRows&&) noexcept = default;
XlsSheetRows& XlsSheetRows::operator=(XlsSheetRows&&) noexcept = default;

const jet::ColumnList& XlsSheetRows::columns() const
{
    static const jet::ColumnList none;
    return s_ ? s_->columns : none;
}

long long XlsSheetRows::formulaErrors() const
{
    return s_ ? s_->formulaErrors : 0;
}

namespace {

// The cells of row r of a sheet being read, or nullptr when it has none.
const std::vector<XlsCell>* lineAt(XlsSheetRows::State& st, unsigned r)
{
    if (!st.streamed)
        return r < st.sheet.cells.size() ? &st.sheet.cells[r] : nullptr;
    std::fill(st.line.begin(), st.line.end(), XlsCell());
    st.sheet.own.clear();
    QString why;
    const bool ok = st.book->walkSheet(st.walk, r, [&](unsigned row, unsigned col, const XlsCell& cell, QStringView text) {
        if (row != r || col >= st.line.size())
            return;
        XlsCell& c = st.line[col];
        c = cell;
        if (cell.ownText)
            c.text = st.sheet.own.add(text);
    }, &why);
    if (!ok)   // the first walk took these very records
        throw jet::JetError(jet::errExternal, QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(st.path, why));
    return &st.line;
}

} // namespace

bool XlsSheetRows::nextView(std::vector<CellView>& row)
{
    if (!s_ || s_->row >= s_->endRow)
        return false;
    State& st = *s_;
    const unsigned r = st.row++;
    const std::size_t width = st.kinds.size();
    row.assign(width, CellView());
    if (const std::vector<XlsCell>* cells = lineAt(st, r)) {
        const auto& line = *cells;
        const unsigned n = std::min<unsigned>(st.ncols, unsigned(line.size()));
        for (unsigned c = 0; c < n; ++c) {
            const XlsCell& cell = line[c];
            const CellKind kind = kindOf(cell);
            if (kind == CellKind::Null)
                continue;
            CellView& v = row[c];
            const CellKind column = st.kinds[c];
            if (kind == column) {
                switch (kind) {
                case CellKind::Number:
                    v.kind = CellView::Kind::Double;
                    v.d = cell.number;
                    break;
                case CellKind::Date:
                    v.kind = CellView::Kind::Date;
                    v.d = cell.number;
                    break;
                default: {
                    const QStringView t = st.sheet.textOf(cell);
                    v.kind = CellView::Kind::Utf16;
                    v.p = t.utf16();
                    v.n = t.size();
                    break;
                }
                }
            } else if (column == CellKind::Text) {
                // A number, date or flag in a text column: its text, kept
                // until the next row.
                if (st.texts.size() < width)
                    st.texts.resize(width);
                st.texts[c] = cellText(st.sheet, cell);
                v.kind = CellView::Kind::Utf16;
                v.p = st.texts[c].utf16();
                v.n = st.texts[c].size();
            }
        }
    }
    if ((r & 1023) == 0)
        stillReading();
    return true;
}

bool XlsSheetRows::next(std::vector<jet::Value>& row)
{
    if (!s_ || !nextView(s_->view))
        return false;
    row.resize(s_->view.size());
    for (std::size_t c = 0; c < row.size(); ++c)
        row[c] = s_->view[c].value();
    return true;
}

namespace {

// What the first walk learns of a sheet whose cells come row by row, each
// once: enough to decide its columns without keeping its cells.
struct SheetShape {
    bool inOrder = true;
    unsigned rowsSeen = 0;      ///< past the last row a cell is in
    unsigned usedColumns = 0;   ///< up to the last that holds a value
    std::vector<ColumnTally> tally = std::vector<ColumnTally>(256);
    long long formulaErrors = 0;
    XlsSheetCells head;         ///< row 0's cells (the names, with HDR)
};

} // namespace

bool XlsWorkbook::openSheet(int index, const XlsReadOptions& options, XlsSheetRows& rows, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    auto damagedSheet = [&](const QString& why) {
        return fail(QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(path_, why));
    };
    rows = XlsSheetRows();
    formulaErrors_ = 0;
    if (!book_)
        return fail(QStringLiteral("The workbook is not open."));
    if (index < 0 || index >= sheets_.size())
        return fail(QStringLiteral("Could not find the sheet number %1.").arg(index + 1));

    auto st = std::make_unique<XlsSheetRows::State>();
    XlsSheetCells& sheet = st->sheet;
    QString why;

    // The first walk: the kinds of the columns, and whether the cells come
    // in order, so that the second walk can make each row from its records.
    const unsigned wantedFirst = options.firstRowHasNames ? 1 : 0;
    SheetShape shape;
    shape.head.shared = book_->sharedTexts();
    shape.head.cells.resize(1);
    XlsSheetWalk walk;
    unsigned lastRow = 0, lastCol = 0;
    bool any = false;
    if (!book_->startSheet(index, walk, &why))
        return damagedSheet(why);
    const bool walked = book_->walkSheet(walk, ~0u, [&](unsigned row, unsigned col, const XlsCell& cell, QStringView text) {
        if (!shape.inOrder)
            return;
        if (any && (row < lastRow || (row == lastRow && col <= lastCol))) {
            shape.inOrder = false;
            return;
        }
        any = true;
        lastRow = row;
        lastCol = col;
        shape.rowsSeen = row + 1;
        if (cell.kind == XlsCell::Kind::Empty)
            return;
        shape.usedColumns = std::max(shape.usedColumns, col + 1);
        if (row == 0) {
            auto& line = shape.head.cells[0];
            line.resize(col + 1);
            line[col] = cell;
            if (cell.ownText)
                line[col].text = shape.head.own.add(text);
        }
        if (row < wantedFirst || (options.maxRows >= 0 && row - wantedFirst >= static_cast<unsigned long long>(options.maxRows)))
            return;
        if (cell.kind == XlsCell::Kind::FormulaError)
            ++shape.formulaErrors;
        else
            shape.tally[col].add(cell, cell.ownText ? text.size() : shape.head.textOf(cell).size());
    }, &why);
    if (!walked)
        return damagedSheet(why);
    const bool streamed = shape.inOrder && !walk.areaAfterCells;

    if (!streamed && !book_->readSheet(index, sheet, &why))
        return damagedSheet(why);
    const unsigned nrows = streamed ? (walk.haveArea ? walk.areaRows : shape.rowsSeen) : sheet.rows;
    const unsigned ncols = streamed ? shape.usedColumns : sheet.columns;

    const unsigned firstData = options.firstRowHasNames && nrows > 0 ? 1 : 0;
    unsigned endRow = nrows;
    if (options.maxRows >= 0 && static_cast<unsigned long long>(options.maxRows) < nrows - firstData)
        endRow = firstData + static_cast<unsigned>(options.maxRows);

    // A sheet without cells still reads as one empty column, as it would
    // through the engine's catalogue.
    const int count = std::max<int>(int(ncols), 1);

    std::vector<ColumnTally> tally(static_cast<std::size_t>(count));
    long long formulaErrors = 0;
    if (streamed) {
        std::copy_n(shape.tally.begin(), std::min<std::size_t>(tally.size(), shape.tally.size()), tally.begin());
        formulaErrors = shape.formulaErrors;
    } else {
        const unsigned lastLine = std::min<unsigned>(endRow, unsigned(sheet.cells.size()));
        for (unsigned r = firstData; r < lastLine; ++r) {
            const auto& line = sheet.cells[r];
            const unsigned n = std::min<unsigned>(ncols, unsigned(line.size()));
            for (unsigned c = 0; c < n; ++c) {
                const XlsCell& cell = line[c];
                if (cell.kind == XlsCell::Kind::Empty)
                    continue;
                if (cell.kind == XlsCell::Kind::FormulaError)
                    ++formulaErrors;
                else
                    tally[c].add(sheet, cell);
            }
            if ((r & 1023) == 0)
                stillReading();
        }
    }
    formulaErrors_ = formulaErrors;
    st->formulaErrors = formulaErrors;

    const XlsSheetCells* header = firstData == 1 ? (streamed ? &shape.head : &sheet) : nullptr;
    const QStringList names = columnNames(header, count);
    st->kinds.resize(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        st->kinds[i] = columnKind(tally[i], options.mixedAsText);
        jet::ColumnInfo col;
        col.name = names[c];
        switch (st->kinds[i]) {
        case CellKind::Number:
            col.type = jet::dbDouble;
            col.size = 8;
            break;
        case CellKind::Date:
            col.type = jet::dbDate;
            col.size = 8;
            break;
        default: {
            // Numbers and dates read as text are short; only real text can
            // need a memo.
            const bool memo = tally[i].longestText > 255;
            col.type = memo ? jet::dbMemo : jet::dbText;
            col.size = memo ? 0 : 255;
            break;
        }
        }
        st->columns.push_back(col);
    }
    if (streamed) {
        st->streamed = true;
        st->book = book_;
        st->path = path_;
        st->line.resize(ncols);
        sheet.shared = shape.head.shared;
        if (!book_->startSheet(index, st->walk, &why))
            return damagedSheet(why);
    }
    st->row = firstData;
    st->endRow = endRow;
    st->ncols = ncols;
    rows.s_ = std::move(st);
    return true;
}

bool XlsWorkbook::readSheet(int index, const XlsReadOptions& options, jet::ColumnList& columns,
                            const XlsRowSink& sink, QString* error)
{
    XlsSheetRows rows;
    if (!openSheet(index, options, rows, error))
        return false;
    columns = rows.columns();
    std::vector<jet::Value> row;
    while (rows.next(row))
        if (sink && !sink(row))
            break;
    return true;
}

bool XlsWorkbook::readSheet(int index, const XlsReadOptions& options, XlsTable& table, QString* error)
{
    table.rows.clear();
    table.formulaErrors = 0;
    const bool ok = readSheet(
        index, options, table.columns,
        [&](std::vector<jet::Value>& row) {
            table.rows.push_back(std::move(row));
            return true;
        },
        error);
    table.formulaErrors = formulaErrors_;
    return ok;
}

bool XlsWorkbook::readSheet(const QString& reference, const XlsReadOptions& options, XlsTable& table,
                            QString* error)
{
    const int index = findSheet(reference);
    if (index < 0) {
        if (error)
            *error = QStringLiteral("Could not find the object '%1'. Make sure the object exists and that you "
                                    "spell its name correctly.")
                         .arg(reference);
        return false;
    }
    return readSheet(index, options, table, error);
}

} // namespace drivers
