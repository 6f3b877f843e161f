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
#include "platform/drivers/xls_reader.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"
#include "platform/ui/scripted.h"
#include "support/outside_need.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

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

namespace {

/// Runs a program; true when it ended with exit code 0.
bool runs(const QString& program, const QStringList& args, int msecs = 300000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(msecs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << ": " << p.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool xlrdInstalled()
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("command -p python3 -c 'import xlrd'")});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

/// One generated record and the texts two other readers show for it: xlrd
/// (as kXlsScript writes its cells) and Gnumeric's CSV (text and numbers as
/// shown, dates as year/month/day whatever their format).
struct Generated {
    std::vector<jet::Value> values;
    QStringList xlrd, gnumeric;
};

QString twoDigits(int n) { return QString::number(n).rightJustified(2, u'0'); }

/// Record i of a long list: distinct names (some wide, when wide), notes of
/// uneven length up to a few hundred characters, ZIP codes shared by many
/// rows, dates with and without a time and before 1900, numbers, and Nulls.
Generated generated(int i, bool wide)
{
    Generated g;
    QString name = QStringLiteral("Name %1").arg(i);
    if (i % 5 == 0)
        name += QStringLiteral(" Zoë Ångström");
    if (wide && i % 7 == 0)
        name += QStringLiteral(" Ελένη Łódź");
    g.values.push_back(jet::Value(name));
    g.xlrd << name;
    g.gnumeric << name;

    if (i % 3 == 0) {
        g.values.push_back(jet::Value());
        g.xlrd << QStringLiteral("<empty>");
        g.gnumeric << QString();
    } else {
        const QString note = QStringLiteral("note %1; ").arg(i).repeated(1 + i % 40);
        g.values.push_back(jet::Value(note));
        g.xlrd << note;
        g.gnumeric << note;
    }

    const QString zip = QString::number(i % 50).rightJustified(5, u'0');
    g.values.push_back(jet::Value(zip));
    g.xlrd << zip;
    g.gnumeric << zip;

    const int day = 1 + i % 28, month = 1 + i % 12, year = 1950 + i % 60;
    if (i % 4 == 0) {
        g.values.push_back(jet::Value());
        g.xlrd << QStringLiteral("<empty>");
        g.gnumeric << QString();
    } else if (i % 97 == 3) {
        // No sheet serial before 1900: the date goes as its text.
        g.values.push_back(date(1850, month, day));
        const QString text = QStringLiteral("%1/%2/1850").arg(month).arg(day);
        g.xlrd << text;
        g.gnumeric << text;
    } else if (i % 4 == 1) {
        g.values.push_back(date(year, month, day));
        g.xlrd << QStringLiteral("date:%1-%2-%3 0:00:00").arg(year).arg(month).arg(day);
        g.gnumeric << QStringLiteral("%1/%2/%3").arg(year).arg(twoDigits(month), twoDigits(day));
    } else {
        const int h = i % 24, n = i % 60, sec = (i * 7) % 60;
        g.values.push_back(jet::Value(jet::toDateTime(jet::DateParts{year, month, day, h, n, sec})));
        g.xlrd << QStringLiteral("date:%1-%2-%3 %4:%5:%6").arg(year).arg(month).arg(day).arg(h).arg(twoDigits(n), twoDigits(sec));
        g.gnumeric << QStringLiteral("%1/%2/%3 %4:%5:%6")
                          .arg(year)
                          .arg(twoDigits(month), twoDigits(day), twoDigits(h), twoDigits(n), twoDigits(sec));
    }

    if (i % 6 == 0) {
        g.values.push_back(jet::Value());
        g.xlrd << QStringLiteral("<empty>");
        g.gnumeric << QString();
    } else {
        const double rate = (i % 1000) * 0.25 - 100;
        g.values.push_back(jet::Value(rate));
        // Python's repr of a float, and the sheet's General format.
        g.xlrd << (rate == std::floor(rate) ? QString::number(rate, 'f', 1) : QString::number(rate, 'g', 17));
        g.gnumeric << QString::number(rate, 'g', 15);
    }
    return g;
}

} // namespace

// The longest lists a sheet holds, exported through File > Export and read by
// two readers that are not ours: every cell as it was, in both; the
// program's own import reads the file too. The Excel
// 97-2000 file is large enough that its allocation table needs more than the
// header's 109 sectors, and its shared texts run through many CONTINUE records.
TEST_F(RoundTrip, LongListsReadBackAlikeInXlrdAndGnumeric)
{
    QB_NEED_OUTSIDE(xlrdInstalled(), "Python's xlrd is not installed");
    const QString ssconvert = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    QB_NEED_OUTSIDE(!ssconvert.isEmpty(), "Gnumeric's ssconvert is not installed");

    struct Case {
        int kind;
        const char* file;
        int rows;
        bool wide;
    };
    const Case cases[] = {
        {exchange::ExportExcel2000, "long8.xls", exchange::excelRowLimit(exchange::ExportExcel2000), true},
        {exchange::ExportExcel5, "long5.xls", exchange::excelRowLimit(exchange::ExportExcel5), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        jet::Connection& conn = db.connection();
        {
            jet::Savepoint sp(conn);
            conn.exec(QStringLiteral("DELETE FROM tblData"));
            jet::Stmt ins(&conn, QStringLiteral("INSERT INTO tblData ([Name], [Note], [Zip], [Born], [Rate]) "
                                                "VALUES (?,?,?,?,?)"));
            for (int i = 1; i <= c.rows; ++i) {
                const Generated g = generated(i, c.wide);
                for (int k = 0; k < 5; ++k)
                    ins.bind(k + 1, g.values[size_t(k)]);
                ins.step();
                ins.reset();
            }
            sp.commit();
        }
        conn.bump();

        const QString path = exportTo(c.kind, c.file);
        if (c.kind == exchange::ExportExcel2000) {
            EXPECT_GT(QFileInfo(path).size(), 109LL * 128 * 512) << "the allocation table should need DIFAT sectors";
        }

        const QJsonArray byXlrd = python(kXlsScript, path);
        const QString csv = dir.filePath(QString::fromLatin1(c.file) + QStringLiteral(".csv"));
        ASSERT_TRUE(runs(ssconvert, {QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), path, csv}));
        const QJsonArray byGnumeric = python(kCsvScript, csv);
        ASSERT_EQ(byXlrd.size(), c.rows + 1);
        ASSERT_EQ(byGnumeric.size(), c.rows + 1);
        const QStringList header = {"Name", "Note", "Zip", "Born", "Rate"};
        EXPECT_EQ(texts(byXlrd[0].toArray()), header);
        EXPECT_EQ(texts(byGnumeric[0].toArray()), header);
        // The program's own Excel import takes the file back as well.
        drivers::XlsWorkbook book;
        drivers::XlsTable table;
        QString error;
        ASSERT_TRUE(book.open(path, &error)) << error.toStdString();
        ASSERT_TRUE(book.readSheet(0, {}, table, &error)) << error.toStdString();
        ASSERT_EQ(table.rows.size(), size_t(c.rows));

        int wrong = 0;
        for (int i = 1; i <= c.rows && wrong < 5; ++i) {
            const Generated g = generated(i, c.wide);
            const QStringList x = texts(byXlrd[i].toArray()), n = texts(byGnumeric[i].toArray());
            const QStringList& gn = g.gnumeric;
            const jet::Value& ours = table.rows[size_t(i - 1)][0];
            if (x != g.xlrd || n != gn || ours != g.values[0]) {
                ++wrong;
                ADD_FAILURE() << "row " << i << "\n xlrd:     " << x.join(u'|').toStdString() << "\n want:     "
                              << g.xlrd.join(u'|').toStdString() << "\n gnumeric: " << n.join(u'|').toStdString()
                              << "\n want:     " << gn.join(u'|').toStdString() << "\n ours:     "
                              << ours.toString().toStdString();
            }
        }
    }
}
