// Writers for the export destinations "TEXT" (comma-delimited text) and
// "HTML EXPORT" (a web page holding one table). Both take the specifier's
// database as the folder and the table name as the file name inside it, and
// refuse to write over a file that is already there: the export dialog asks
// about an existing file and deletes it before it runs the statement.
//
// The file is written through a checked file, so a statement that fails halfway
// (an engine error while rows are read, a full disk) leaves no file at all.
// Rows stream through a 1 MB buffer of UTF-8: memory stays flat however long
// the list, and each value is encoded straight into the buffer.
//
// The text form of the values, the same in both files:
//   text      as it is (in the text file between double quotes, inner quotes doubled)
//   numbers   the engine's number text: 12, 3.5, -0.25, 1.5E+20 (up to 15 digits)
//   dates     date and time, 24-hour clock: 1/5/1990 0:00:00, 12/31/1979 13:30:00;
//             a time of day (a value on 12/30/1899) its time alone: 0:00:00, 13:30:00
//   flags     True / False
//   Null      nothing (in the text file an empty field without quotes, so an
//             empty text "" stays apart from Null)
// The text file has a header line of the column names (quoted like text) and
// ends every line, the last included, with CR LF. It carries no byte-order mark.
#include "platform/drivers/text_html.h"

#include "platform/drivers/external.h"
#include "platform/files/checked_file.h"
#include "platform/jet/error.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace drivers {
namespace {

constexpr int errInvalidPath = 3044;
constexpr int errInvalidName = 3125;
constexpr qsizetype kFlushAt = 1 << 20;

// UTF-8 into a checked file through a buffer. Nothing reaches the destination
// name until commit(); destroying an uncommitted Output discards the file.
class Output {
public:
    explicit Output(const QString& path) : file_(path)
    {
        if (!file_.open())
            fail();
        buf_.reserve(kFlushAt + 64 * 1024);
    }

    void ascii(const char* s, qsizetype n) { buf_.append(s, n); }
    template <qsizetype N>
    void ascii(const char (&s)[N]) { buf_.append(s, N - 1); }
    void ascii(char c) { buf_.append(c); }

    void text(QStringView s)
    {
        const qsizetype old = buf_.size();
        buf_.resize(old + enc_.requiredSpace(s.size()));
        char* end = enc_.appendToBuffer(buf_.data() + old, s);
        buf_.resize(end - buf_.constData());
    }

    /// True once a text held half of a character (a lone UTF-16 surrogate),
    /// which UTF-8 cannot hold: the encoder put a replacement character in
    /// its place.
    bool lostCharacter() const { return enc_.hasError(); }

    /// Called between rows: writes the buffer out once it is full.
    void rowDone()
    {
        if (buf_.size() >= kFlushAt)
            flush();
    }

    void commit()
    {
        flush();
        if (!file_.commit())
            fail();
    }

private:
    void flush()
    {
        if (!buf_.isEmpty() && !file_.write(buf_))
            fail();
        buf_.clear();   // keeps the capacity
    }

    [[noreturn]] void fail() { throw jet::JetError(jet::errNotUpdatable, file_.error()); }

    files::CheckedFile file_;
    QByteArray buf_;
    QStringEncoder enc_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

// The file a specifier and table name stand for, after the checks that keep
// the name inside the folder and an existing file untouched.
QString destinationFile(const Spec& spec, const QString& table)
{
    if (table.isEmpty() || table == QLatin1String(".") || table == QLatin1String("..")
        || table.contains(QLatin1Char('/')) || table.contains(QChar(0)))
        throw jet::JetError(errInvalidName,
                            QStringLiteral("'%1' is not a valid name.  Make sure that it does not include invalid "
                                           "characters or punctuation and that it is not too long.")
                                .arg(table));
    const QFileInfo folder(spec.database);
    if (!folder.isDir())
        throw jet::JetError(errInvalidPath,
                            QStringLiteral("'%1' is not a valid path.  Make sure that the path name is spelled "
                                           "correctly and that you are connected to the server on which the file "
                                           "resides.")
                                .arg(spec.database));
    const QString path = QDir(spec.database).filePath(table);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        throw jet::JetError(jet::errTableExists, QStringLiteral("Table '%1' already exists.").arg(table));
    return path;
}

// Digits by hand: printf and the general number formatting were the larger
// part of an export's time.
char* putInt(char* p, std::int64_t n)
{
    return std::to_chars(p, p + 24, n).ptr;
}

char* put2(char* p, int n)
{
    *p++ = static_cast<char>('0' + n / 10);
    *p++ = static_cast<char>('0' + n % 10);
    return p;
}

void writeDate(Output& out, jet::DateTime d)
{
    const jet::DateParts p = jet::toParts(d);
    char b[96];
    char* e = b;
    // A value on 12/30/1899, the serial's day 0, is a time of day: its time alone.
    if (!(p.year == 1899 && p.month == 12 && p.day == 30)) {
        e = putInt(e, p.month);
        *e++ = '/';
        e = putInt(e, p.day);
        *e++ = '/';
        e = putInt(e, p.year);
        *e++ = ' ';
    }
    e = putInt(e, p.hour);
    *e++ = ':';
    e = put2(e, p.minute);
    *e++ = ':';
    e = put2(e, p.second);
    out.ascii(b, e - b);
}

// The engine's number text (jet::numberText) without its detour through
// QString: whole numbers below 1E+15 as integers, others with 15 significant
// digits and an upper-case exponent. The engine rounds an exact tie at the
// 15th digit upwards where to_chars rounds it to even; a value whose 16th
// digit is a 5 may be such a tie and goes the engine's own way.
void writeDouble(Output& out, double d)
{
    char b[64];
    char* e = nullptr;
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) {
        e = putInt(b, static_cast<std::int64_t>(d));
    } else if (std::fabs(d) >= 1e11 && std::fabs(d) < 1e15) {
        out.text(jet::numberText(d));   // an amount past 15 digits keeps its four decimals
        return;
    } else if (std::isfinite(d)) {
        char sci[48];   // [-]d.ddddddddddddddde+XX: 16 significant digits
        std::to_chars(sci, sci + sizeof sci, d, std::chars_format::scientific, 15);
        const char* digits = sci[0] == '-' ? sci + 1 : sci;
        if (digits[16] == '5') {
            out.text(jet::numberText(d));
            return;
        }
        e = std::to_chars(b, b + sizeof b, d, std::chars_format::general, 15).ptr;
        for (char* c = b; c != e; ++c)
            if (*c == 'e')
                *c = 'E';
    } else {
        out.text(jet::numberText(d));
        return;
    }
    out.ascii(b, e - b);
}

// Every kind except text and Null; those two differ between the formats.
void writePlain(Output& out, const jet::Value& v)
{
    switch (v.kind()) {
    case jet::Kind::Bool:
        if (v.toBool())
            out.ascii("True");
        else
            out.ascii("False");
        break;
    case jet::Kind::Long: {
        char b[24];
        out.ascii(b, putInt(b, v.toLong()) - b);
        break;
    }
    case jet::Kind::Double: writeDouble(out, v.toDouble()); break;
    case jet::Kind::Currency: out.text(jet::currencyText(v.currency())); break;   // every digit
    case jet::Kind::Date: writeDate(out, v.toDate()); break;
    case jet::Kind::Text: out.text(*v.textPtr()); break;
    case jet::Kind::Null: break;
    }
}

void writeQuoted(Output& out, const QString& s)
{
    out.ascii('"');
    if (s.contains(QLatin1Char('"'))) {
        QString doubled = s;
        doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
        out.text(doubled);
    } else {
        out.text(s);
    }
    out.ascii('"');
}

// Markup characters become entities and a line break inside a value becomes
// <br>, so a multi-line note still reads as lines in the browser.
void writeEscaped(Output& out, QStringView s)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        const char* rep = nullptr;
        switch (c) {
        case u'&': rep = "&amp;"; break;
        case u'<': rep = "&lt;"; break;
        case u'>': rep = "&gt;"; break;
        case u'"': rep = "&quot;"; break;
        case u'\'': rep = "&#39;"; break;
        case u'\r':
        case u'\n': rep = "<br>"; break;
        default: continue;
        }
        out.text(s.mid(from, i - from));
        out.ascii(rep, static_cast<qsizetype>(std::strlen(rep)));
        if (c == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n')
            ++i;   // CR LF is one break
        from = i + 1;
    }
    out.text(s.mid(from));
}

void writeEscapedValue(Output& out, const jet::Value& v)
{
    if (const QString* t = v.textPtr())
        writeEscaped(out, *t);
    else
        writePlain(out, v);   // digits, dates and flags hold no markup characters
}

class WriteOnlyDriver : public Driver {
public:
    explicit WriteOnlyDriver(const char* kind) : kind_(QString::fromLatin1(kind)) {}
    std::unique_ptr<RowReader> read(const Spec&, const QString& table) override
    {
        throw jet::JetError(jet::errExternal, QStringLiteral("The %1 driver only writes files; it cannot read '%2'.")
                                                  .arg(kind_, table));
    }

private:
    QString kind_;
};

// A file of UTF-8 cannot hold half of a character: the value is refused,
// never written with a replacement character in its place.
void refuseIfLost(const Output& out, const QString& where)
{
    if (out.lostCharacter())
        throw jet::JetError(jet::errExternal,
                            QStringLiteral("%1 holds half of a character (a lone UTF-16 surrogate), which a UTF-8 "
                                           "file cannot store.")
                                .arg(where));
}

QString cellPlace(qint64 record, const jet::ColumnInfo& column)
{
    return QStringLiteral("The text in record %1, column [%2]").arg(record).arg(column.name);
}

QString namePlace(const jet::ColumnInfo& column)
{
    return QStringLiteral("The column name [%1]").arg(column.name);
}

class TextDriver : public WriteOnlyDriver {
public:
    TextDriver() : WriteOnlyDriver("TEXT") {}
    void write(const Spec& spec, const QString& table, const jet::ColumnList& columns, const RowSource& rows) override
    {
        Output out(destinationFile(spec, table));
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                out.ascii(',');
            writeQuoted(out, columns[i].name);
            refuseIfLost(out, namePlace(columns[i]));
        }
        out.ascii("\r\n");
        std::vector<jet::Value> row;
        qint64 record = 0;
        while (rows(row)) {
            ++record;
            for (size_t i = 0; i < columns.size(); ++i) {
                if (i)
                    out.ascii(',');
                if (i >= row.size())
                    continue;
                if (const QString* t = row[i].textPtr()) {
                    writeQuoted(out, *t);
                    refuseIfLost(out, cellPlace(record, columns[i]));
                } else {
                    writePlain(out, row[i]);
                }
            }
            out.ascii("\r\n");
            out.rowDone();
        }
        out.commit();
    }
};

class HtmlDriver : public WriteOnlyDriver {
public:
    HtmlDriver() : WriteOnlyDriver("HTML EXPORT") {}
    void write(const Spec& spec, const QString& table, const jet::ColumnList& columns, const RowSource& rows) override
    {
        Output out(destinationFile(spec, table));
        // The page's title is the file name without its extension.
        const qsizetype dot = table.lastIndexOf(QLatin1Char('.'));
        const QString title = dot > 0 ? table.left(dot) : table;
        out.ascii("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>");
        writeEscaped(out, title);
        out.ascii("</title>\r\n</head>\r\n<body>\r\n<table border=\"1\">\r\n<thead>\r\n<tr>");
        refuseIfLost(out, QStringLiteral("The file name '%1'").arg(table));
        for (const jet::ColumnInfo& c : columns) {
            out.ascii("<th>");
            writeEscaped(out, c.name);
            refuseIfLost(out, namePlace(c));
            out.ascii("</th>");
        }
        out.ascii("</tr>\r\n</thead>\r\n<tbody>\r\n");
        std::vector<jet::Value> row;
        qint64 record = 0;
        while (rows(row)) {
            ++record;
            out.ascii("<tr>");
            for (size_t i = 0; i < columns.size(); ++i) {
                out.ascii("<td>");
                if (i < row.size()) {
                    writeEscapedValue(out, row[i]);
                    refuseIfLost(out, cellPlace(record, columns[i]));
                }
                out.ascii("</td>");
            }
            out.ascii("</tr>\r\n");
            out.rowDone();
        }
        out.ascii("</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n");
        out.commit();
    }
};

} // namespace

void registerTextDriver() { registerDriver(QStringLiteral("TEXT"), std::make_shared<TextDriver>()); }

void registerHtmlDriver() { registerDriver(QStringLiteral("HTML EXPORT"), std::make_shared<HtmlDriver>()); }

} // namespace drivers
