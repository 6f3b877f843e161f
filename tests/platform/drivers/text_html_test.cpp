// The text and web page writers, driven the way the export drives them: a
// SELECT ... INTO on the engine with a "[TEXT;...]" or "[HTML Export;...]"
// destination. The files are compared byte for byte, since whatever reads them
// (the text import, a spreadsheet, a browser) depends on every quote and line end.
#include "platform/drivers/text_html.h"

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/recordset.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

const char* const kSelect = "SELECT [a], [b], [c], [d], [e] INTO ";

class TextHtmlExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        drivers::registerTextDriver();
        drivers::registerHtmlDriver();
        ASSERT_TRUE(work.isValid());
        ASSERT_TRUE(out.isValid());
        db = jet::Database::open(work.filePath(QStringLiteral("work.sys")), true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([a] TEXT (255), [b] DOUBLE, [c] DATETIME, [d] LONG, [e] YESNO)"),
                   jet::dbFailOnError);
    }
    void TearDown() override { db.close(); }

    void insert(const QString& values)
    {
        db.execute(QStringLiteral("INSERT INTO tblData ([a], [b], [c], [d], [e]) VALUES (") + values + QLatin1Char(')'),
                   jet::dbFailOnError);
    }

    /// Quotes, commas, markup characters, letters beyond ASCII, a line break,
    /// Null beside an empty text, whole and fractional numbers, dates with and
    /// without a time of day, and both flags.
    void fillMixed()
    {
        insert(QStringLiteral("\"Say \"\"hi\"\", Ann\", 3.5, #01/05/1990 00:00:00#, 12, True"));
        insert(QStringLiteral("\"José <Müller> & 'Co'\", -0.25, #12/31/1979 13:30:00#, Null, False"));
        insert(QStringLiteral("Null, Null, Null, 0, Null"));
        insert(QStringLiteral("\"\", 1234567.125, #07/04/2021 09:05:07#, -7, True"));
        insert(QStringLiteral("\"first line\r\nsecond ✓\", 1E+20, #02/29/2000 23:59:59#, 2147483647, False"));
    }

    QString into(const char* kind, const QString& name) const
    {
        return QStringLiteral("[%1;Database=%2].[%3]").arg(QLatin1String(kind), out.path(), name);
    }

    QByteArray fileBytes(const QString& name) const
    {
        QFile f(out.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }

    QStringList outFiles() const { return QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    QTemporaryDir work;
    QTemporaryDir out;
    jet::Database db;
};

TEST_F(TextHtmlExport, TextFileHoldsHeaderQuotedTextAndFixedNumberAndDateForms)
{
    fillMixed();
    db.execute(QString::fromLatin1(kSelect) + into("TEXT", QStringLiteral("out.txt")) + QStringLiteral(" FROM tblData "));

    EXPECT_EQ(db.recordsAffected(), 5);
    EXPECT_EQ(fileBytes(QStringLiteral("out.txt")),
              QByteArray("\"a\",\"b\",\"c\",\"d\",\"e\"\r\n"
                         "\"Say \"\"hi\"\", Ann\",3.5,1/5/1990 0:00:00,12,True\r\n"
                         "\"José <Müller> & 'Co'\",-0.25,12/31/1979 13:30:00,,False\r\n"
                         ",,,0,\r\n"
                         "\"\",1234567.125,7/4/2021 9:05:07,-7,True\r\n"
                         "\"first line\r\nsecond ✓\",1E+20,2/29/2000 23:59:59,2147483647,False\r\n"));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("out.txt")});
}

TEST_F(TextHtmlExport, WebPageHoldsOneEscapedTable)
{
    fillMixed();
    db.execute(QString::fromLatin1(kSelect) + into("HTML Export", QStringLiteral("out.html"))
               + QStringLiteral(" FROM tblData "));

    EXPECT_EQ(fileBytes(QStringLiteral("out.html")),
              QByteArray("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>out</title>\r\n"
                         "</head>\r\n<body>\r\n<table border=\"1\">\r\n<thead>\r\n"
                         "<tr><th>a</th><th>b</th><th>c</th><th>d</th><th>e</th></tr>\r\n</thead>\r\n<tbody>\r\n"
                         "<tr><td>Say &quot;hi&quot;, Ann</td><td>3.5</td><td>1/5/1990 0:00:00</td><td>12</td>"
                         "<td>True</td></tr>\r\n"
                         "<tr><td>José &lt;Müller&gt; &amp; &#39;Co&#39;</td><td>-0.25</td><td>12/31/1979 13:30:00</td>"
                         "<td></td><td>False</td></tr>\r\n"
                         "<tr><td></td><td></td><td></td><td>0</td><td></td></tr>\r\n"
                         "<tr><td></td><td>1234567.125</td><td>7/4/2021 9:05:07</td><td>-7</td><td>True</td></tr>\r\n"
                         "<tr><td>first line<br>second ✓</td><td>1E+20</td><td>2/29/2000 23:59:59</td>"
                         "<td>2147483647</td><td>False</td></tr>\r\n"
                         "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n"));
}

TEST_F(TextHtmlExport, MarkupInColumnNamesAndTitleIsEscaped)
{
    db.execute(QStringLiteral("CREATE TABLE tblOdd ([<b>&co] TEXT (50))"), jet::dbFailOnError);
    db.execute(QStringLiteral("INSERT INTO tblOdd VALUES (\"x\")"), jet::dbFailOnError);
    db.execute(QStringLiteral("SELECT [<b>&co] INTO ") + into("HTML Export", QStringLiteral("a<b>.v1.html"))
               + QStringLiteral(" FROM tblOdd "));

    const QByteArray page = fileBytes(QStringLiteral("a<b>.v1.html"));
    EXPECT_TRUE(page.contains("<title>a&lt;b&gt;.v1</title>")) << page.constData();
    EXPECT_TRUE(page.contains("<tr><th>&lt;b&gt;&amp;co</th></tr>")) << page.constData();
}

// A number in the file is the engine's own text for it, also where fast
// formatting and the engine's could part: exact ties at the 15th digit,
// 16 and 17 digit values, the switch to an exponent, tiny and huge values.
TEST_F(TextHtmlExport, NumbersAreWrittenAsTheEngineWritesThem)
{
    const char* literals[] = {
        "0.1", "7.242706298828125", "-0.779800415039062", "0.333333333333333314829616256247",
        "123456789012345.6", "999999999999999", "1E+15", "1.5E+15", "9007199254740993", "1E+21",
        "0.0001", "0.00001", "0.000123456789012345678", "-2.5E-310", "1.7976931348623157E+308", "-0.0",
    };
    db.execute(QStringLiteral("CREATE TABLE tblNum ([n] DOUBLE)"), jet::dbFailOnError);
    for (const char* l : literals)
        db.execute(QStringLiteral("INSERT INTO tblNum VALUES (%1)").arg(QLatin1String(l)), jet::dbFailOnError);
    db.execute(QStringLiteral("SELECT [n] INTO ") + into("TEXT", QStringLiteral("n.txt")) + QStringLiteral(" FROM tblNum "));

    QByteArray expected = "\"n\"\r\n";
    auto rs = db.openRecordset(QStringLiteral("SELECT [n] FROM tblNum"), jet::dbOpenSnapshot);
    for (; !rs->eof(); rs->moveNext())
        expected += jet::numberText(rs->value(0).toDouble()).toLatin1() + "\r\n";
    EXPECT_EQ(fileBytes(QStringLiteral("n.txt")), expected);
}

// The filter reaches the file: only the rows that pass it, in both formats,
// and a filter that passes nothing still gives a well-formed file.
TEST_F(TextHtmlExport, FilteredExportWritesOnlyThePassingRows)
{
    fillMixed();
    struct Case {
        const char* kind;
        const char* file;
        const char* where;
        qint64 rows;
        QByteArray body;   // what follows the header
    };
    const Case cases[] = {
        {"TEXT", "f1.txt", "[d] > 0", 2,
         "\"Say \"\"hi\"\", Ann\",3.5,1/5/1990 0:00:00,12,True\r\n"
         "\"first line\r\nsecond ✓\",1E+20,2/29/2000 23:59:59,2147483647,False\r\n"},
        {"TEXT", "f2.txt", "[a] Is Null", 1, ",,,0,\r\n"},
        {"TEXT", "f3.txt", "[d] > 1E+12", 0, ""},
        {"HTML Export", "f4.html", "[a] Like \"*Ann*\"", 1,
         "<tr><td>Say &quot;hi&quot;, Ann</td><td>3.5</td><td>1/5/1990 0:00:00</td><td>12</td><td>True</td></tr>\r\n"},
        {"HTML Export", "f5.html", "[e] = True And [d] < 0", 1,
         "<tr><td></td><td>1234567.125</td><td>7/4/2021 9:05:07</td><td>-7</td><td>True</td></tr>\r\n"},
        {"HTML Export", "f6.html", "[d] > 1E+12", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString name = QString::fromLatin1(c.file);
        db.execute(QString::fromLatin1(kSelect) + into(c.kind, name) + QStringLiteral(" FROM tblData WHERE ")
                   + QString::fromUtf8(c.where) + QLatin1Char(';'));
        EXPECT_EQ(db.recordsAffected(), c.rows);
        const QByteArray bytes = fileBytes(name);
        if (QByteArray(c.kind) == "TEXT") {
            EXPECT_EQ(bytes, "\"a\",\"b\",\"c\",\"d\",\"e\"\r\n" + c.body);
        } else {
            const QByteArray head = "<th>e</th></tr>\r\n</thead>\r\n<tbody>\r\n";
            const qsizetype at = bytes.indexOf(head);
            ASSERT_GE(at, 0) << bytes.constData();
            EXPECT_EQ(bytes.mid(at + head.size()), c.body + "</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n");
        }
    }
}

// Both writers refuse what they must not write, each with its own error, and
// leave the folder as it was: no file over an existing one, none outside the
// folder, none at all when the folder is missing.
TEST_F(TextHtmlExport, RefusalsLeaveTheFolderAlone)
{
    fillMixed();
    {
        QFile keep(out.filePath(QStringLiteral("keep.txt")));
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
        keep.write("old");
    }
    struct Case {
        const char* kind;
        QString folder;
        const char* name;
        int error;
    };
    const QString missing = out.filePath(QStringLiteral("no such folder"));
    const Case cases[] = {
        {"TEXT", out.path(), "keep.txt", jet::errTableExists},
        {"HTML Export", out.path(), "keep.txt", jet::errTableExists},
        {"TEXT", missing, "new.txt", 3044},
        {"HTML Export", missing, "new.html", 3044},
        {"TEXT", out.path(), "../escape.txt", 3125},
        {"HTML Export", out.path(), "..", 3125},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.name);
        const QString sql = QString::fromLatin1(kSelect)
                            + QStringLiteral("[%1;Database=%2].[%3]").arg(QLatin1String(c.kind), c.folder, QLatin1String(c.name))
                            + QStringLiteral(" FROM tblData ");
        try {
            db.execute(sql);
            ADD_FAILURE() << "no error";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.number(), c.error) << e.description().toStdString();
        }
    }
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("keep.txt")});
    EXPECT_EQ(fileBytes(QStringLiteral("keep.txt")), QByteArray("old"));
    EXPECT_FALSE(QFile::exists(QFileInfo(out.path()).dir().filePath(QStringLiteral("escape.txt"))));
}

// A list long enough to pass through the write buffer several times, with
// two-byte letters so that encoding meets the buffer's edge: the file must be
// whole. Then the same list with one row the statement cannot convert, near
// the end: the error surfaces and neither the file nor a temporary is left.
TEST_F(TextHtmlExport, LongListIsWholeAndAFailureLeavesNoFile)
{
    const int rows = 1200;
    const QString longText = QString(1000, QChar(u'é'));
    QByteArray expected = "\"a\",\"d\"\r\n";
    db.execute(QStringLiteral("CREATE TABLE tblLong ([a] MEMO, [d] LONG)"), jet::dbFailOnError);
    jet::Workspace::beginTrans();
    for (int i = 0; i < rows; ++i) {
        const QString a = QString::number(i) + longText;
        db.execute(QStringLiteral("INSERT INTO tblLong VALUES (\"%1\", %2)")
                       .arg(a, i == rows - 3 ? QStringLiteral("Null") : QString::number(i)),
                   jet::dbFailOnError);
        expected += "\"" + a.toUtf8() + "\"," + (i == rows - 3 ? QByteArray() : QByteArray::number(i)) + "\r\n";
    }
    jet::Workspace::commitTrans();
    ASSERT_GT(expected.size(), 2 << 20);

    db.execute(QStringLiteral("SELECT [a], [d] INTO ") + into("TEXT", QStringLiteral("long.txt"))
               + QStringLiteral(" FROM tblLong "));
    EXPECT_EQ(db.recordsAffected(), qint64{rows});
    const QByteArray bytes = fileBytes(QStringLiteral("long.txt"));
    EXPECT_EQ(bytes.size(), expected.size());
    EXPECT_TRUE(bytes == expected);

    for (const char* kind : {"TEXT", "HTML Export"}) {
        SCOPED_TRACE(kind);
        // CLng of Null is an error, raised only when the statement reaches that row.
        const QString sql = QStringLiteral("SELECT [a], CLng([d]) AS n INTO ") + into(kind, QStringLiteral("broken"))
                            + QStringLiteral(" FROM tblLong ");
        EXPECT_THROW(db.execute(sql), jet::JetError);
        EXPECT_EQ(outFiles(), QStringList{QStringLiteral("long.txt")});
    }
}

} // namespace

// Half of a character (a lone UTF-16 surrogate, as a UTF-16 text file can
// bring in) has no form in UTF-8: the export is refused, naming the record
// and the column, and leaves no file, rather than writing a replacement
// character in its place.
TEST_F(TextHtmlExport, HalfACharacterIsRefusedNamingItsPlace)
{
    fillMixed();
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT [a] FROM tblData WHERE [d] = -7"));
        ASSERT_FALSE(rs->eof());
        rs->edit();
        rs->setValue(0, jet::Value(QStringLiteral("\uFFFEswap then half ") + QChar(0xD83D)));
        rs->update();
    }
    for (const char* kind : {"TEXT", "HTML Export"}) {
        SCOPED_TRACE(kind);
        try {
            db.execute(QString::fromLatin1(kSelect) + into(kind, QStringLiteral("out.txt"))
                           + QStringLiteral(" FROM tblData ORDER BY [d]"),
                       jet::dbFailOnError);
            ADD_FAILURE() << "exported";
        } catch (const jet::JetError& e) {
            // ORDER BY [d]: Null first, then -7.
            EXPECT_EQ(e.description(), QStringLiteral("The text in record 2, column [a] holds half of a character (a "
                                                      "lone UTF-16 surrogate), which a UTF-8 file cannot store."));
        }
        EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(u' ').toStdString();
    }
}
