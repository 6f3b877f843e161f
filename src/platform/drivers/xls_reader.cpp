// The Excel import driver: reads .xls workbooks through FreeXL and hands out a
// sheet as columns and rows of the engine's values.
//
// Call order: open(), then catalogNames() / findSheet(), then readSheet() as
// often as needed, then close() (or let the destructor do it).
//
// Cells: FreeXL gives numbers as int or double, text as UTF-8 and date, time
// and date-time cells as text ("YYYY-MM-DD", "HH:MM:SS", "YYYY-MM-DD
// HH:MM:SS"), counted from the workbook's own 1900 or 1904 epoch; those texts
// are turned back into the engine's day serial here (see parseCellDate for
// the library's calendar, which needs undoing after February 2100).
//
// Column types come from every data row that is read (not from a sample of
// the first rows), so a text far down a column of numbers cannot turn into
// Null: numbers only -> Double, dates only -> Date/Time, anything else -> Text
// (Memo when a value is longer than 255 characters). Costs: the library holds
// all cells in memory from open(); a read walks the sheet twice.
#include "platform/drivers/xls_reader.h"

#include "platform/drivers/xls_check.h"
#include "platform/drivers/xls_serials.h"

#include <freexl.h>

#include <QFile>
#include <QSet>
#include <optional>

namespace drivers {
namespace {

enum class CellKind { Null, Number, Date, Text };

struct Cell {
    CellKind kind = CellKind::Null;
    jet::Value value;
};

// FreeXL (1.0.6) turns a date cell's serial into year, month and day by a
// calendar in which every fourth year is a leap year. That matches Excel up to
// 28 February 2100 (including Excel's 29 February 1900) and drifts a day per
// skipped leap year after it, so the text is counted back into the serial by
// the same calendar and the serial then converted properly.
bool freexlLeap(int year)
{
    return year % 4 == 0;
}

int freexlMonthDays(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && freexlLeap(year) ? 29 : days[month - 1];
}

// Days from 1 January of `base` (a leap year of that calendar) to the date.
long long freexlDaysSince(int base, int year, int month, int day)
{
    const long long years = year - base;
    long long days = 365 * years + (years + 3) / 4;
    for (int m = 1; m < month; ++m)
        days += freexlMonthDays(year, m);
    return days + day - 1;
}

// "YYYY-MM-DD", "HH:MM:SS" or both, as FreeXL writes them, to the engine's
// serial. dateMode is 1900 or 1904.
std::optional<jet::DateTime> parseCellDate(const char* text, unsigned char type, int dateMode)
{
    const QString s = QString::fromLatin1(text);
    bool ok = true;
    auto num = [&](qsizetype at, qsizetype len) {
        bool good = false;
        const int v = s.mid(at, len).toInt(&good);
        ok = ok && good;
        return v;
    };
    auto timeOfDay = [&](qsizetype at) -> std::optional<double> {
        const int h = num(at, 2), m = num(at + 3, 2), sec = num(at + 6, 2);
        if (!ok || h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59)
            return std::nullopt;
        return (h * 3600 + m * 60 + sec) / 86400.0;
    };
    if (type == FREEXL_CELL_TIME) {
        if (s.size() != 8)
            return std::nullopt;
        const auto t = timeOfDay(0);
        return t ? std::optional(jet::DateTime{*t}) : std::nullopt;
    }
    const bool withTime = type == FREEXL_CELL_DATETIME;
    if (s.size() != (withTime ? 19 : 10))
        return std::nullopt;
    const int year = num(0, 4), month = num(5, 2), day = num(8, 2);
    if (!ok || month < 1 || month > 12 || day < 1 || day > freexlMonthDays(year, month))
        return std::nullopt;
    double fraction = 0;
    if (withTime) {
        const auto t = timeOfDay(11);
        if (!t)
            return std::nullopt;
        fraction = *t;
    }
    double serial = 0;
    if (dateMode == 1904) {
        if (year < 1904)
            return std::nullopt;
        serial = static_cast<double>(freexlDaysSince(1904, year, month, day)) + 1462; // 1904-01-01
    } else {
        if (year < 1900)
            return std::nullopt;
        const long long excel = freexlDaysSince(1900, year, month, day) + 1; // 1900-01-01 is 1
        // Below Excel's 29 February 1900 the engine counts one more; that
        // day itself, which never was, becomes 1 March.
        serial = static_cast<double>(excel < 60 ? excel + 1 : std::max(excel, 61LL));
    }
    return jet::DateTime{serial + fraction};
}

// Cells whose stored number is below 1, for the dates FreeXL's text gets wrong:
// read from the file when the first date cell asks, so a sheet without dates
// costs nothing more. A workbook of the 1904 day count has none to mend.
class SmallNumbers {
public:
    SmallNumbers(const QString& path, int sheet, int dateMode) : path_(path), sheet_(sheet), used_(dateMode == 1900) {}

    const double* find(quint64 key) const
    {
        if (!used_)
            return nullptr;
        if (!numbers_)
            numbers_ = xlsSmallNumbers(path_, sheet_);
        const auto it = numbers_->constFind(key);
        return it == numbers_->constEnd() ? nullptr : &*it;
    }

private:
    QString path_;
    int sheet_;
    bool used_;
    mutable std::optional<QHash<quint64, double>> numbers_;
};

// A date cell whose stored number lies before 1900 (or that FreeXL could not
// show) is read from the number itself: its date, or Null when the engine
// holds no such date. nullopt: FreeXL's text is right.
std::optional<jet::Value> earlyDate(const SmallNumbers& small, unsigned row, unsigned short col, bool parsed)
{
    const double* it = small.find(xlsCellKey(row, col));
    if (!it || (parsed && *it >= 0))
        return std::nullopt;
    const std::optional<double> serial = xlsSerialBefore1900(*it);
    return serial ? jet::Value(jet::DateTime{*serial}) : jet::Value();
}

Cell readCell(const void* h, unsigned row, unsigned short col, int dateMode, const SmallNumbers& small)
{
    FreeXL_CellValue v;
    if (freexl_get_cell_value(h, row, col, &v) != FREEXL_OK)
        return {};
    switch (v.type) {
    case FREEXL_CELL_INT:
        return {CellKind::Number, jet::Value(static_cast<double>(v.value.int_value))};
    case FREEXL_CELL_DOUBLE:
        return {CellKind::Number, jet::Value(v.value.double_value)};
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return {CellKind::Text, jet::Value(QString::fromUtf8(v.value.text_value))};
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: {
        const auto d = parseCellDate(v.value.text_value, v.type, dateMode);
        if (const auto early = earlyDate(small, row, col, d.has_value()))
            return early->isNull() ? Cell{} : Cell{CellKind::Date, *early};
        if (d)
            return {CellKind::Date, jet::Value(*d)};
        return {CellKind::Text, jet::Value(QString::fromUtf8(v.value.text_value))};
    }
    default:
        return {};
    }
}

// UTF-16 length of UTF-8 text, without building the string.
qsizetype utf16Length(const char* s)
{
    qsizetype n = 0;
    for (auto p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if ((*p & 0xC0) != 0x80)
            ++n; // a lead or single byte starts a character
        if (*p >= 0xF0)
            ++n; // beyond the basic plane: a surrogate pair
    }
    return n;
}

// The text a number or date stands as in a text column.
QString cellText(const Cell& c)
{
    switch (c.kind) {
    case CellKind::Number:
        return jet::numberText(c.value.toDouble());
    case CellKind::Date:
        return jet::displayDate(c.value.toDate());
    case CellKind::Text:
        return *c.value.textPtr();
    case CellKind::Null:
        break;
    }
    return {};
}

// What the cells of one column hold.
struct ColumnTally {
    long long numbers = 0, dates = 0, texts = 0;
    qsizetype longestText = 0;

    // The first pass: only the kind and, for text, the length.
    void add(const void* h, unsigned row, unsigned short col, int dateMode, const SmallNumbers& small)
    {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(h, row, col, &v) != FREEXL_OK)
            return;
        switch (v.type) {
        case FREEXL_CELL_INT:
        case FREEXL_CELL_DOUBLE:
            ++numbers;
            break;
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME: {
            const bool parsed = parseCellDate(v.value.text_value, v.type, dateMode).has_value();
            const auto early = earlyDate(small, row, col, parsed);
            if (early && early->isNull())
                break;   // a date the engine cannot hold: an empty cell
            if (parsed || early) {
                ++dates;
                break;
            }
        }
            [[fallthrough]];
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            ++texts;
            longestText = std::max(longestText, utf16Length(v.value.text_value));
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

jet::Value convertCell(const Cell& c, CellKind columnKind)
{
    if (c.kind == CellKind::Null)
        return {};
    if (c.kind == columnKind)
        return c.value;
    if (columnKind == CellKind::Text)
        return cellText(c);
    return {}; // a minority kind in a column typed by majority
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
QStringList columnNames(const std::vector<Cell>* header, int count)
{
    QStringList names;
    QSet<QString> taken;
    for (int c = 0; c < count; ++c) {
        QString n = header ? cleanColumnName(cellText((*header)[static_cast<std::size_t>(c)])) : QString();
        if (n.isEmpty() || taken.contains(n.toLower()))
            n = defaultName(c);
        for (int k = 2; taken.contains(n.toLower()); ++k)
            n = defaultName(c) + QStringLiteral("_%1").arg(k);
        taken.insert(n.toLower());
        names << n;
    }
    return names;
}

QString openErrorText(int rc, const QString& path)
{
    switch (rc) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("Could not find file '%1'.").arg(path);
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("Not enough memory to read '%1'.").arg(path);
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("The text of '%1' is in a character set that cannot be read.").arg(path);
    default:
        return QStringLiteral("External table is not in the expected format.");
    }
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

XlsWorkbook::~XlsWorkbook()
{
    close();
}

void XlsWorkbook::close()
{
    if (handle_)
        freexl_close(handle_);
    handle_ = nullptr;
    sheets_.clear();
}

bool XlsWorkbook::open(const QString& path, QString* error)
{
    close();
    auto fail = [&](const QString& why) {
        if (handle_)
            freexl_close(handle_);
        handle_ = nullptr;
        if (error)
            *error = why;
        return false;
    };
    if (!QFile::exists(path))
        return fail(openErrorText(FREEXL_FILE_NOT_FOUND, path));
    // The library reads past its buffers on some damaged files: look first.
    if (const QString damage = xlsFileDamage(path); !damage.isEmpty())
        return fail(QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(path, damage));

    const void* h = nullptr;
    path_ = path;
    const int rc = freexl_open(QFile::encodeName(path).constData(), &h);
    handle_ = h; // FreeXL wants its handle closed even when opening failed
    if (rc != FREEXL_OK || !h)
        return fail(openErrorText(rc, path));

    unsigned int info = 0;
    if (freexl_get_info(h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return fail(QStringLiteral("Could not decrypt file."));
    // A damaged file can open "successfully" with no sheet at all.
    unsigned int count = 0;
    if (freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0)
        return fail(openErrorText(FREEXL_INVALID_CFBF_HEADER, path));
    if (freexl_get_info(h, FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK)
        dateMode_ = info == FREEXL_BIFF_DATEMODE_1904 ? 1904 : 1900;
    if (freexl_get_info(h, FREEXL_BIFF_VERSION, &info) == FREEXL_OK)
        biffVersion_ = static_cast<int>(info);

    for (unsigned int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
            return fail(openErrorText(FREEXL_INVALID_CFBF_HEADER, path));
        sheets_ << QString::fromUtf8(name);
    }
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

bool XlsWorkbook::readSheet(int index, const XlsReadOptions& options, jet::ColumnList& columns,
                            const XlsRowSink& sink, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!handle_)
        return fail(QStringLiteral("The workbook is not open."));
    if (index < 0 || index >= sheets_.size()
        || freexl_select_active_worksheet(handle_, static_cast<unsigned short>(index)) != FREEXL_OK)
        return fail(QStringLiteral("Could not find the sheet number %1.").arg(index + 1));

    unsigned int nrows = 0;
    unsigned short ncols = 0;
    if (freexl_worksheet_dimensions(handle_, &nrows, &ncols) != FREEXL_OK)
        return fail(QStringLiteral("External table is not in the expected format."));

    const unsigned firstData = options.firstRowHasNames && nrows > 0 ? 1 : 0;
    unsigned endRow = nrows;
    if (options.maxRows >= 0 && static_cast<unsigned long long>(options.maxRows) < nrows - firstData)
        endRow = firstData + static_cast<unsigned>(options.maxRows);

    // Dates before 1900 are stored as numbers below 1.
    const SmallNumbers small(path_, index, dateMode_);

    // A sheet without cells still reads as one empty column, as it would
    // through the engine's catalogue.
    const int count = std::max<int>(ncols, 1);

    std::vector<Cell> header;
    if (firstData == 1) {
        header.reserve(ncols);
        for (unsigned short c = 0; c < ncols; ++c)
            header.push_back(readCell(handle_, 0, c, dateMode_, small));
        header.resize(static_cast<std::size_t>(count));
    }

    std::vector<ColumnTally> tally(static_cast<std::size_t>(count));
    for (unsigned r = firstData; r < endRow; ++r)
        for (unsigned short c = 0; c < ncols; ++c)
            tally[c].add(handle_, r, c, dateMode_, small);

    const QStringList names = columnNames(firstData == 1 ? &header : nullptr, count);
    std::vector<CellKind> kinds(static_cast<std::size_t>(count));
    columns.clear();
    for (int c = 0; c < count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        kinds[i] = columnKind(tally[i], options.mixedAsText);
        jet::ColumnInfo col;
        col.name = names[c];
        switch (kinds[i]) {
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
        columns.push_back(col);
    }

    std::vector<jet::Value> row;
    for (unsigned r = firstData; r < endRow; ++r) {
        row.assign(static_cast<std::size_t>(count), jet::Value());
        for (unsigned short c = 0; c < ncols; ++c)
            row[c] = convertCell(readCell(handle_, r, c, dateMode_, small), kinds[c]);
        if (sink && !sink(row))
            break;
    }
    return true;
}

bool XlsWorkbook::readSheet(int index, const XlsReadOptions& options, XlsTable& table, QString* error)
{
    table.rows.clear();
    return readSheet(
        index, options, table.columns,
        [&](std::vector<jet::Value>& row) {
            table.rows.push_back(std::move(row));
            return true;
        },
        error);
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
