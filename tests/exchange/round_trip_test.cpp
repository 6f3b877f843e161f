// A list that holds what real lists hold (line breaks inside values, accents,
// Greek and Polish letters, ZIP codes with leading zeros, dates before 1900
// and before 1000, Single values, empty cells) exported through File > Export
// to every destination and read back: text with Python's csv, the web page
// with Python's html.parser, the Excel 97-2000 sheet with xlrd, the Access
// files through the program's own Access import. Excel 5.0 and 95 sheets
// cannot hold the Greek and Polish letters: those exports are refused with
// the first record and column that cannot be stored, and the old file stays.
#include "exchange/export.h"

#include "export_fixture.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/import_sources.h"
#include "exchange/text_import.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"
#include "platform/ui/scripted.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kFieldList = QStringLiteral("[Name], [Note], [Zip], [Born], [Rate] ");

jet::Value date(int y, int m, int d, int h = 0, int n = 0)
{
    return jet::Value(jet::toDateTime(jet::DateParts{y, m, d, h, n, 0}));
}

struct Person {
    jet::Value name, note, zip, born, rate;
};

// Built when first asked for: the date conversion's tables are not there yet
// while globals are constructed.
const std::vector<Person>& people()
{
    static const std::vector<Person> list = {
    {jet::Value(QStringLiteral("Zoë Ångström")), jet::Value(QStringLiteral("line one\r\nline two")),
     jet::Value("02134"), date(1899, 1, 1), jet::Value(0.15)},
    {jet::Value(QStringLiteral("Ελένη Παπαδοπούλου")), jet::Value(QStringLiteral("Łódź, Gdańsk \"Żółć\"")),
     jet::Value("00501"), date(850, 3, 5), jet::Value(1.1)},
    {jet::Value("Ann"), {}, {}, {}, {}},
    {jet::Value(QStringLiteral("José Müller")), jet::Value(QStringLiteral("a\nb")), jet::Value("07030"),
     date(1999, 12, 31, 10, 30), jet::Value(-2.5)},
    };
    return list;
}

/// Runs a Python script of the system's own Python on a file; its standard
/// output is JSON: a list of rows, each a list of cells.
QJsonArray python(const QString& script, const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("command -p python3 -c \"$0\" \"$1\""),
                                        script, file});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "python: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

const QString kCsvScript = QStringLiteral(R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    print(json.dumps(list(csv.reader(f))))
)");

// Cells of every row; a <br> is a line break.
const QString kHtmlScript = QStringLiteral(R"(
import json, sys
from html.parser import HTMLParser
class Rows(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell = [], None
    def handle_starttag(self, tag, attrs):
        if tag == 'tr': self.rows.append([])
        elif tag in ('td', 'th'): self.cell = ''
        elif tag == 'br' and self.cell is not None: self.cell += '\n'
    def handle_endtag(self, tag):
        if tag in ('td', 'th'):
            self.rows[-1].append(self.cell); self.cell = None
    def handle_data(self, data):
        if self.cell is not None: self.cell += data
p = Rows()
with open(sys.argv[1], encoding='utf-8') as f:
    p.feed(f.read())
print(json.dumps(p.rows))
)");

// Text as it is, numbers as their shortest repr, dates as "date:Y-M-D H:M:S",
// empty cells as null.
const QString kXlsScript = QStringLiteral(R"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
rows = []
for r in range(sheet.nrows):
    cells = []
    for c in range(sheet.ncols):
        cell = sheet.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_EMPTY: cells.append(None)
        elif cell.ctype == xlrd.XL_CELL_DATE:
            t = xlrd.xldate_as_tuple(cell.value, book.datemode)
            cells.append('date:%d-%d-%d %d:%02d:%02d' % t)
        elif cell.ctype == xlrd.XL_CELL_NUMBER: cells.append(repr(cell.value))
        else: cells.append(cell.value)
    rows.append(cells)
print(json.dumps(rows))
)");

QStringList texts(const QJsonArray& row)
{
    QStringList out;
    for (const QJsonValue& v : row)
        out << (v.isNull() ? QStringLiteral("<empty>") : v.toString());
    return out;
}

class RoundTrip : public exporttest::ExportTest {
protected:
    RoundTrip()
        : ExportTest(QStringLiteral("[Name] TEXT(255), [Note] LONGTEXT, [Zip] TEXT(10), [Born] DATETIME, [Rate] SINGLE"),
                     kFieldList)
    {
    }

    void SetUp() override
    {
        ExportTest::SetUp();
        if (HasFatalFailure())
            return;
        jet::Connection& c = db.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData ([Name], [Note], [Zip], [Born], [Rate]) VALUES (?,?,?,?,?)"));
        for (const Person& p : people()) {
            int i = 0;
            for (const jet::Value& v : {p.name, p.note, p.zip, p.born, p.rate})
                ins.bind(++i, v);
            ins.step();
            ins.reset();
        }
        c.bump();
    }

    /// File > Export to path as the kind, answered as the user would.
    QString exportTo(int kind, const char* name)
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        ui.answerFile(path, kind);
        ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
        EXPECT_FALSE(main->ExportFile());
        return path;
    }

};

} // namespace

TEST_F(RoundTrip, TextAndWebPageReadBackWithPythonsParsers)
{
    // The exports write dates with their time and numbers as the engine shows them.
    const std::vector<QStringList> want = {
        {"Name", "Note", "Zip", "Born", "Rate"},
        {QStringLiteral("Zoë Ångström"), "line one\r\nline two", "02134", "1/1/1899 0:00:00", "0.15"},
        {QStringLiteral("Ελένη Παπαδοπούλου"), QStringLiteral("Łódź, Gdańsk \"Żółć\""), "00501", "3/5/850 0:00:00",
         "1.1"},
        {"Ann", "", "", "", ""},
        {QStringLiteral("José Müller"), "a\nb", "07030", "12/31/1999 10:30:00", "-2.5"},
    };
    const QJsonArray csv = python(kCsvScript, exportTo(exchange::ExportText, "list.txt"));
    ASSERT_EQ(csv.size(), qsizetype(want.size()));
    for (qsizetype r = 0; r < csv.size(); ++r)
        EXPECT_EQ(texts(csv[r].toArray()), want[size_t(r)]) << "text row " << r;

    // The same list imported again: as many records as exported, each value as it was.
    const QString again = dir.filePath(QStringLiteral("list.txt"));
    exchange::TextChoices choices;
    choices.firstRowHasNames = true;
    const exchange::TextPreview preview = exchange::buildTextPreview(again, exchange::TextEncoding::Utf8, choices);
    ASSERT_EQ(preview.error.toStdString(), "");
    jet::Database back = jet::Database::open(dir.filePath(QStringLiteral("back.sys")), true);
    exchange::TextImportObserver quiet;
    const exchange::TextImportResult r = exchange::importTextFile(
        back, {again, exchange::TextEncoding::Utf8, choices, preview.names, preview.types}, quiet);
    ASSERT_EQ(r.outcome, exchange::TextImportResult::Outcome::Done) << r.error.toStdString();
    EXPECT_EQ(r.rows, qint64(people().size()));
    auto rs = back.openRecordset(QStringLiteral("SELECT [Name], [Note], [Zip], [Born], [Rate] FROM tblData"),
                                 jet::dbOpenSnapshot);
    for (const Person& p : people()) {
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->value(0), p.name);
        EXPECT_EQ(rs->value(1), p.note);
        EXPECT_EQ(rs->value(2), p.zip);
        EXPECT_EQ(rs->value(3), p.born) << p.name.toString().toStdString();
        EXPECT_EQ(rs->value(4), p.rate);
        rs->moveNext();
    }

    const QJsonArray html = python(kHtmlScript, exportTo(exchange::ExportWebPage, "list.html"));
    ASSERT_EQ(html.size(), qsizetype(want.size()));
    for (qsizetype r = 0; r < html.size(); ++r) {
        QStringList row = want[size_t(r)];
        row.replaceInStrings(QStringLiteral("\r\n"), QStringLiteral("\n"));   // a page's break is <br>
        EXPECT_EQ(texts(html[r].toArray()), row) << "web page row " << r;
    }
}

TEST_F(RoundTrip, ExcelSheetsHoldTheirCharactersOrRefuse)
{
    const QJsonArray rows = python(kXlsScript, exportTo(exchange::ExportExcel2000, "list.xls"));
    const std::vector<QStringList> want = {
        {"Name", "Note", "Zip", "Born", "Rate"},
        // A date before 1900 has no sheet serial: it is written as its text.
        {QStringLiteral("Zoë Ångström"), "line one\r\nline two", "02134", "1/1/1899", "0.15"},
        {QStringLiteral("Ελένη Παπαδοπούλου"), QStringLiteral("Łódź, Gdańsk \"Żółć\""), "00501", "3/5/850", "1.1"},
        {"Ann", "<empty>", "<empty>", "<empty>", "<empty>"},
        {QStringLiteral("José Müller"), "a\nb", "07030", "date:1999-12-31 10:30:00", "-2.5"},
    };
    ASSERT_EQ(rows.size(), qsizetype(want.size()));
    for (qsizetype r = 0; r < rows.size(); ++r)
        EXPECT_EQ(texts(rows[r].toArray()), want[size_t(r)]) << "row " << r;

    // Excel 5.0 and 95 hold Windows-1252 only: refused at the first Greek
    // letter, the file there before left as it was.
    for (const int kind : {exchange::ExportExcel5, exchange::ExportExcel95}) {
        SCOPED_TRACE(kind);
        const QString path = dir.filePath(QStringLiteral("old.xls"));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("old file");
        }
        ui.answerFile(path, kind);
        ui.answerMessage(ui::vbYes, path + QStringLiteral(" already exists.  Overwrite it?"));
        ui.answerMessage(ui::vbOK,
                         QStringLiteral("The text in record 2, column [Name] holds the character 'Ε' (U+0395), which "
                                        "an Excel 5.0 or 95 worksheet cannot store (it holds the characters of "
                                        "Windows-1252 only).  Export to Excel 97-2000 instead: it holds every "
                                        "character.  Unable to Export."));
        EXPECT_TRUE(main->ExportFile());
        EXPECT_EQ(ui.shown().back().style, ui::vbCritical);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("old file"));
    }

    // A list of Windows-1252 letters only goes to Excel 5.0 whole.
    db.execute(QStringLiteral("DELETE FROM tblData WHERE [Name] LIKE \"Ελ*\""));
    // Its sheet takes the file's name, with "_" for the letters it cannot hold.
    const QString five = exportTo(exchange::ExportExcel5, "Łódź.xls");
    const QJsonArray cells = python(kXlsScript, five);
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(texts(cells[1].toArray()), want[1]);
    EXPECT_EQ(texts(cells[3].toArray()), want[4]);
    const QJsonArray sheet = python(QStringLiteral("import json, sys, xlrd\n"
                                                   "print(json.dumps([xlrd.open_workbook(sys.argv[1]).sheet_names()]))"),
                                    five);
    EXPECT_EQ(texts(sheet.at(0).toArray()), QStringList{QStringLiteral("_ód_.xls")});
}

TEST_F(RoundTrip, AccessFilesReadBackThroughTheAccessImport)
{
    // Every row but the refused ones comes back as it was, type for type.
    const auto readBack = [&](const QString& path, const std::vector<size_t>& rows) {
        jet::Database back = jet::Database::open(path + QStringLiteral(".sys"), true);
        back.execute(exchange::accessImportStatement(path, QStringLiteral("data")), jet::dbFailOnError);
        auto rs = back.openRecordset(QStringLiteral("SELECT [Name], [Note], [Zip], [Born], [Rate] FROM tblData"),
                                     jet::dbOpenSnapshot);
        for (const size_t i : rows) {
            const Person& p = people()[i];
            ASSERT_FALSE(rs->eof());
            EXPECT_EQ(rs->value(0), p.name);
            EXPECT_EQ(rs->value(1), p.note);
            EXPECT_EQ(rs->value(2), p.zip);
            EXPECT_EQ(rs->value(3), p.born) << p.name.toString().toStdString();
            EXPECT_EQ(rs->value(4), p.rate) << p.name.toString().toStdString();
            rs->moveNext();
        }
        EXPECT_TRUE(rs->eof());
    };
    readBack(exportTo(exchange::ExportAccess2000, "list2000.mdb"), {0, 1, 2, 3});

    // Access 97 keeps text in Windows-1252: the Greek name is refused by row
    // and column, and without it the rest goes through.
    ui.answerFile(dir.filePath(QStringLiteral("list97.mdb")), exchange::ExportAccess97);
    ui.answerMessage(ui::vbOK);
    EXPECT_TRUE(main->ExportFile());
    const QString refusal = ui.shown().back().text;
    EXPECT_TRUE(refusal.contains(QStringLiteral("U+0395")) && refusal.contains(QStringLiteral("Name"))
                && refusal.contains(QLatin1Char('2')) && refusal.endsWith(QStringLiteral("Unable to Export.")))
        << refusal.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("list97.mdb"))));
    db.execute(QStringLiteral("DELETE FROM tblData WHERE [Zip] = \"00501\""));
    readBack(exportTo(exchange::ExportAccess97, "list97.mdb"), {0, 2, 3});
}
