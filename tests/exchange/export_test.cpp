// The export through the ui seam: every destination read back, the filter
// question, the overwrite question, cancelling, the remembered destination,
// the Excel row limits and the contact-manager refusals. An existing file
// survives every export that does not complete.
#include "exchange/export.h"

#include "export_fixture.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/drivers/external.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/scripted.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kFilterQuestion =
    QStringLiteral("Your data is currently filtered. Are you sure you want to export filtered selection only?");
const QString kTooLarge = QStringLiteral("File too large, cannot export in Excel Format");
const QString kFieldList = QStringLiteral("[Name], [City], [Amount], [Joined] ");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

/// Rows as "a|b|c" texts, Null as "~".
QStringList rowsOf(drivers::RowReader& r)
{
    QStringList out;
    std::vector<jet::Value> row;
    while (r.next(row)) {
        QStringList cells;
        for (const jet::Value& v : row)
            cells << (v.isNull() ? QStringLiteral("~") : v.toString());
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList columnNames(const drivers::RowReader& r)
{
    QStringList out;
    for (const jet::ColumnInfo& c : r.columns())
        out << c.name;
    return out;
}

class Export : public exporttest::ExportTest {
protected:
    Export()
        : ExportTest(QStringLiteral("[Name] TEXT(50), [City] TEXT(50), [Amount] DOUBLE, [Joined] DATETIME"), kFieldList)
    {
    }

    void addSampleRows()
    {
        db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City], [Amount], [Joined]) "
                                  "VALUES (\"Smith, \"\"JJ\"\"\", \"Paris\", 3.5, #1/5/1990#)"));
        db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City], [Amount], [Joined]) "
                                  "VALUES (\"<b>Lee & Co</b>\", \"Lyon\", -12, #12/31/1979 13:30:00#)"));
        db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (\"Ann\", \"Paris\")"));
    }

    /// n rows keyed 1..n, through one prepared statement in one transaction.
    void addRows(int n)
    {
        jet::Connection& c = db.connection();
        c.exec(QStringLiteral("BEGIN"));
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (?, 'Town')"));
        for (int i = 1; i <= n; ++i) {
            ins.bind(1, jet::Value(QStringLiteral("N%1").arg(i)));
            ins.step();
            ins.reset();
        }
        c.exec(QStringLiteral("COMMIT"));
    }

    QString out(const char* name) const { return dir.filePath(QStringLiteral("out/") + QLatin1String(name)); }
    QString settingsLine() const { return QString::fromLatin1(readAll(dir.filePath(QStringLiteral("Settings/export.txt")))); }
    /// What the destination folder holds: no hidden staging folder may stay behind.
    QStringList outFolder() const
    {
        return QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

};

TEST(ExportPaths, SplitAtTheLastSlash)
{
    struct Case { const char* path; const char* fileName; const char* excel; };
    const Case cases[] = {
        {"/lists/out.txt", "/lists].[out.txt]", "].[out.txt]"},
        {"/lists/sub.dir/out", "/lists/sub.dir].[out]", "].[out]"},   // no extension: the whole last part
        {"/out.html", "].[out.html]", "].[out.html]"},
        {"out.xls", "].[out.xls]", "].[out.xls]"},
        {"/a b/c\\d.xls", "/a b].[c\\d.xls]", "].[c\\d.xls]"},        // a backslash is a letter here
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MDIMain::ExportFileName(QString::fromLatin1(c.path)), QString::fromLatin1(c.fileName)) << c.path;
        EXPECT_EQ(MDIMain::ExcelExport(QString::fromLatin1(c.path)), QString::fromLatin1(c.excel)) << c.path;
    }
}

TEST_F(Export, TextFileIsWrittenByteForByteAndTheDialogIsSetUp)
{
    addSampleRows();
    const QString path = out("list.txt");
    ui.answerFile(path, exchange::ExportText);
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
    EXPECT_FALSE(main->ExportFile());

    ASSERT_EQ(ui.shown().size(), 2);
    const ui::FileDialogRequest& r = ui.shown()[0].file;
    EXPECT_EQ(r.kind, ui::FileDialogKind::Save);
    EXPECT_EQ(r.title, QStringLiteral("Select Destination"));
    EXPECT_EQ(r.flags, ui::FileHideReadOnly);
    EXPECT_EQ(r.fileName, QString());
    EXPECT_EQ(r.filter, QStringLiteral("Access 97 (*.mdb)|*.mdb|Access 2000 (*.mdb)|*.mdb|Act! 6.0 (*.dbf)|*.dbf|"
                                       "Comma Delimited Text File (*.txt)|*.txt|Excel 5.0 Worksheet (*.xls)|*.xls|"
                                       "Excel 95  Worksheet (*.xls)|*.xls|Excel 97-2000 Worksheet (*.xls)|*.xls|"
                                       "WebPage (*.html)|*.html|"));
    EXPECT_EQ(ui.shown()[1].style, ui::vbInformation);
    EXPECT_EQ(readAll(path), QByteArray("\"Name\",\"City\",\"Amount\",\"Joined\"\r\n"
                                        "\"Smith, \"\"JJ\"\"\",\"Paris\",3.5,1/5/1990 0:00:00\r\n"
                                        "\"<b>Lee & Co</b>\",\"Lyon\",-12,12/31/1979 13:30:00\r\n"
                                        "\"Ann\",\"Paris\",,\r\n"));
    EXPECT_EQ(settingsLine(), QStringLiteral("\"Export=txt\"\r\n"));
    EXPECT_EQ(outFolder(), QStringList{QStringLiteral("list.txt")});
}

TEST_F(Export, EveryTableDestinationReadsBack)
{
    addSampleRows();
    struct Case { int kind; const char* file; const char* setting; const char* readSpec; const char* table; };
    const Case cases[] = {
        {exchange::ExportAccess97, "a97.mdb", "Export=Access97", ";database=%1", "data"},
        {exchange::ExportAccess2000, "a2000.mdb", "Export=Access2000", "%1", "data"},
        {exchange::ExportExcel5, "x5.xls", "Export=Excel5", "Excel 5.0;Database=%1", "x5.xls"},
        {exchange::ExportExcel95, "x95.xls", "Export=Excel95", "Excel 5.0;Database=%1", "x95.xls"},
        {exchange::ExportExcel2000, "x8.xls", "Export=Excel2000", "Excel 8.0;Database=%1", "x8.xls"},
    };
    const QStringList expected = {"Smith, \"JJ\"|Paris|3.5|1/5/1990", "<b>Lee & Co</b>|Lyon|-12|12/31/1979 1:30:00 PM",
                                  "Ann|Paris|~|~"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = out(c.file);
        ui.answerFile(path, c.kind);
        ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
        EXPECT_FALSE(main->ExportFile());
        EXPECT_EQ(settingsLine(), QStringLiteral("\"%1\"\r\n").arg(QLatin1String(c.setting)));

        const drivers::Spec spec = drivers::parseSpec(QString::fromLatin1(c.readSpec).arg(path));
        auto reader = drivers::driverFor(spec).read(spec, QString::fromLatin1(c.table));
        EXPECT_EQ(columnNames(*reader), (QStringList{"Name", "City", "Amount", "Joined"}));
        EXPECT_EQ(rowsOf(*reader), expected);
    }

    // The Access copy is read the way an import reads it, through the engine.
    auto rs = db.openRecordset(QStringLiteral("SELECT [Name] FROM [%1].[data] WHERE [City] = \"Lyon\"").arg(out("a97.mdb")));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("<b>Lee & Co</b>"));
    // Each Access kind starts from its own template.
    const QByteArray a97 = readAll(out("a97.mdb")), a2000 = readAll(out("a2000.mdb"));
    EXPECT_EQ(a97.mid(4, 15), QByteArray("Standard Jet DB"));
    EXPECT_EQ(a97.at(0x14), 0);     // Jet 3
    EXPECT_EQ(a2000.at(0x14), 1);   // Jet 4
}

TEST_F(Export, WebPageEscapesEveryValue)
{
    addSampleRows();
    const QString path = out("page.html");
    ui.answerFile(path, exchange::ExportWebPage);
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
    EXPECT_FALSE(main->ExportFile());
    const QString page = QString::fromUtf8(readAll(path));
    EXPECT_TRUE(page.contains(QStringLiteral("<title>page</title>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<tr><th>Name</th><th>City</th><th>Amount</th><th>Joined</th></tr>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<td>&lt;b&gt;Lee &amp; Co&lt;/b&gt;</td><td>Lyon</td><td>-12</td>")));
    EXPECT_FALSE(page.contains(QStringLiteral("<b>Lee")));
    EXPECT_EQ(page.count(QStringLiteral("<tr>")), 4);
    EXPECT_EQ(settingsLine(), QStringLiteral("\"Export=html\"\r\n"));
}

TEST_F(Export, FilteredExportAsksAndCarriesOnlyThePassingRows)
{
    addSampleRows();
    general::gstrFilter = QStringLiteral("[City] = \"Paris\" ");
    const QString path = out("paris.txt");

    // Cancel: nothing is asked further and nothing is written.
    ui.answerMessage(ui::vbCancel, kFilterQuestion);
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation cancelled.  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());
    EXPECT_EQ(ui.shown()[0].style, ui::vbOKCancel + ui::vbQuestion);
    EXPECT_EQ(ui.shown()[1].style, ui::vbCritical);
    EXPECT_FALSE(QFile::exists(path));

    ui.answerMessage(ui::vbOK, kFilterQuestion);
    ui.answerFile(path, exchange::ExportText);
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
    EXPECT_FALSE(main->ExportFile());
    const QList<QByteArray> lines = readAll(path).split('\n');
    ASSERT_EQ(lines.size(), 4);   // header, two rows, the empty rest after the last CR LF
    EXPECT_TRUE(lines[1].startsWith("\"Smith"));
    EXPECT_TRUE(lines[2].startsWith("\"Ann\""));
    EXPECT_EQ(general::gstrFilter, QStringLiteral("[City] = \"Paris\" "));   // the grid's filter stays
}

TEST_F(Export, OverwriteQuestionReplacesOrKeepsTheFile)
{
    addSampleRows();
    struct Case { int kind; const char* file; int answer; const char* refusal; };
    const Case cases[] = {
        {exchange::ExportText, "old.txt", ui::vbNo, "Operation cancelled.  Unable to Export."},
        {exchange::ExportExcel2000, "old.xls", ui::vbNo, "Operation cancelled.  Unable to Export."},
        {exchange::ExportAccess2000, "old.mdb", ui::vbNo, "Operation Cancelled.  Unable to Export."},
        {exchange::ExportText, "old.txt", ui::vbYes, nullptr},
        {exchange::ExportWebPage, "old.html", ui::vbYes, nullptr},
        {exchange::ExportAccess97, "old.mdb", ui::vbYes, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.refusal ? " no" : " yes"));
        const QString path = out(c.file);
        writeAll(path, "what the user had");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        ui.answerFile(path, c.kind);
        ui.answerMessage(c.answer, path + QStringLiteral(" already exists.  Overwrite it?"));
        if (c.refusal)
            ui.answerMessage(ui::vbOK, QString::fromLatin1(c.refusal));
        else
            ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
        const int before = int(ui.shown().size());
        EXPECT_EQ(main->ExportFile(), c.refusal != nullptr);
        EXPECT_EQ(ui.shown()[before + 1].style, ui::vbYesNo + ui::vbExclamation);
        if (c.refusal) {
            EXPECT_EQ(readAll(path), QByteArray("what the user had"));
        } else {
            EXPECT_NE(readAll(path), QByteArray("what the user had"));
            EXPECT_TRUE(readAll(path).contains("Lyon"));
            // The replaced file keeps the permissions the old one had.
            EXPECT_EQ(QFile::permissions(path) & QFile::ReadOther, QFile::Permissions());
        }
        QFile::remove(path);
    }
    EXPECT_TRUE(outFolder().isEmpty());
}

TEST_F(Export, FailingStatementLeavesTheReplacedFileWhole)
{
    addSampleRows();
    general::gstrFilter = QStringLiteral("[NoSuchColumn] = 1");
    const QString path = out("keep.txt");
    writeAll(path, "precious");
    ui.answerMessage(ui::vbOK, kFilterQuestion);
    ui.answerFile(path, exchange::ExportText);
    ui.answerMessage(ui::vbYes, path + QStringLiteral(" already exists.  Overwrite it?"));
    ui.answerMessage(ui::vbOK);
    EXPECT_TRUE(main->ExportFile());
    const QString last = ui.messageTexts().last();
    EXPECT_TRUE(last.endsWith(QStringLiteral("  Unable to Export."))) << last.toStdString();
    EXPECT_GT(last.size(), QStringLiteral("  Unable to Export.").size());   // the engine's reason comes first
    EXPECT_FALSE(last.contains(QStringLiteral("Exported data to")));
    EXPECT_EQ(readAll(path), QByteArray("precious"));
    EXPECT_EQ(outFolder(), QStringList{QStringLiteral("keep.txt")});
}

TEST_F(Export, CancelledDialogEndsWithItsOwnReasonAndRemembersNothing)
{
    writeAll(dir.filePath(QStringLiteral("Settings/export.txt")), "\"Export=html\"\r\n");
    ui.cancelFile();
    ui.answerMessage(ui::vbOK, QStringLiteral("Cancel was selected.  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());
    EXPECT_EQ(settingsLine(), QStringLiteral("\"Export=html\"\r\n"));
}

TEST_F(Export, RememberedDestinationPreselectsTheDialog)
{
    struct Case { const char* content; int expectedIndex; };
    const Case cases[] = {
        {"\"Export=Excel95\"\r\n", exchange::ExportExcel95},
        {"\"Export=Access97\"\r\n", exchange::ExportAccess97},
        {"Export=html\r\n", exchange::ExportWebPage},      // an unquoted field reads the same
        {"\"export=txt\"\r\n", 3},                          // exact comparison: no match keeps the index
        {"\"Export=Lotus\"\r\n", 3},
        {"", 3},                                            // empty counts as missing
        {nullptr, 3},                                       // missing
    };
    const QString settings = dir.filePath(QStringLiteral("Settings/export.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(missing)");
        QFile::remove(settings);
        if (c.content)
            writeAll(settings, c.content);
        main->commondialog1.filterIndex = 3;
        ui.cancelFile();
        ui.answerMessage(ui::vbOK);
        EXPECT_TRUE(main->ExportFile());
        EXPECT_EQ(ui.shown()[ui.shown().size() - 2].file.filterIndex, c.expectedIndex);
    }

    // A missing file leaves the index; the export then writes the chosen kind.
    QFile::remove(settings);
    const QString path = out("x.html");
    ui.answerFile(path, exchange::ExportWebPage);
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
    EXPECT_FALSE(main->ExportFile());
    EXPECT_EQ(readAll(settings), QByteArray("\"Export=html\"\r\n"));
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(Export, ExcelRowLimitsCountTheFilteredRows)
{
    addRows(65536);
    struct Case { int kind; int lastKey; bool refused; };
    const Case cases[] = {
        {exchange::ExportExcel2000, 65536, true},
        {exchange::ExportExcel2000, 65535, false},
        {exchange::ExportExcel5, 16384, true},
        {exchange::ExportExcel95, 16384, true},
        {exchange::ExportExcel95, 16383, false},
        {exchange::ExportExcel5, 0, false},   // no row passes: an empty sheet, not a failure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.lastKey));
        writeAll(dir.filePath(QStringLiteral("Settings/export.txt")), "\"Export=txt\"\r\n");
        // All rows, or the first lastKey through a filter.
        general::gstrFilter = c.lastKey == 65536 ? QString() : QStringLiteral("[LumacorPrimK] <= %1").arg(c.lastKey);
        if (!general::gstrFilter.isEmpty())
            ui.answerMessage(ui::vbOK, kFilterQuestion);
        const QString path = out("big.xls");
        QFile::remove(path);
        ui.answerFile(path, c.kind);
        ui.answerMessage(ui::vbOK, c.refused ? kTooLarge : QStringLiteral("Exported data to: ") + path);
        EXPECT_EQ(main->ExportFile(), c.refused);
        EXPECT_EQ(ui.shown().last().style, c.refused ? ui::vbExclamation : ui::vbInformation);
        EXPECT_EQ(QFile::exists(path), !c.refused);
        if (c.refused) {
            EXPECT_EQ(settingsLine(), QStringLiteral("\"Export=txt\"\r\n"));   // a size refusal remembers nothing
            continue;
        }
        const drivers::Spec spec = drivers::parseSpec(
            (c.kind == exchange::ExportExcel2000 ? QStringLiteral("Excel 8.0;Database=") : QStringLiteral("Excel 5.0;Database="))
            + path);
        auto reader = drivers::driverFor(spec).read(spec, QStringLiteral("big.xls"));
        EXPECT_EQ(int(rowsOf(*reader).size()), c.lastKey);
    }
}

TEST_F(Export, ContactManagerDestinationIsRefused)
{
    addSampleRows();
    struct Case { const char* filter; const char* importType; const char* reason; };
    const Case cases[] = {
        {"[City] = \"Paris\"", "dbf",
         "It is not possible to export filtered selection only if the destination file is Act!. Please take off the "
         "filter and try again."},
        {"", "txt", "You can only export to Act if you import from an Act! 6.0 database"},
        {"", "xls", "You can only export to Act if you import from an Act! 6.0 database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        general::gstrFilter = QString::fromLatin1(c.filter);
        general::gstrImportType = QString::fromLatin1(c.importType);
        if (*c.filter)
            ui.answerMessage(ui::vbOK, kFilterQuestion);
        ui.answerFile(out("contacts.dbf"), exchange::ExportAct);
        ui.answerMessage(ui::vbOK, QString::fromLatin1(c.reason) + QStringLiteral("  Unable to Export."));
        EXPECT_TRUE(main->ExportFile());
        EXPECT_EQ(ui.shown().last().style, ui::vbCritical);
        EXPECT_EQ(settingsLine(), QStringLiteral("\"Export=act\"\r\n"));
    }
    EXPECT_TRUE(outFolder().isEmpty());
}

TEST_F(Export, UnusableDestinationsFailWithTheirReason)
{
    addSampleRows();
    // A missing template: its own message first, then the failure end alone.
    QFile::remove(dir.filePath(QStringLiteral("acs2")));
    ui.answerFile(out("new.mdb"), exchange::ExportAccess2000);
    ui.answerMessage(ui::vbOK, QStringLiteral("File not found: ") + dir.filePath(QStringLiteral("acs2")));
    ui.answerMessage(ui::vbOK, QStringLiteral("  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());
    EXPECT_EQ(ui.shown()[1].style, ui::vbCritical);
    EXPECT_FALSE(QFile::exists(out("new.mdb")));

    // Characters the destination's specifier cannot carry, and a folder that is not there.
    const QString bracket = out("a]b.txt"), semicolon = out("a;Database=x.txt");
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder.txt"));
    for (const QString& path : {bracket, semicolon, nowhere}) {
        SCOPED_TRACE(path.toStdString());
        ui.answerFile(path, exchange::ExportText);
        ui.answerMessage(ui::vbOK);
        EXPECT_TRUE(main->ExportFile());
        EXPECT_TRUE(ui.messageTexts().last().endsWith(QStringLiteral("  Unable to Export.")));
        EXPECT_TRUE(ui.messageTexts().last().contains(path == nowhere ? QStringLiteral("not a valid path")
                                                                      : QStringLiteral("may not contain")));
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_TRUE(outFolder().isEmpty());
}

TEST_F(Export, WithoutDialogsTheSameFileIsWritten)
{
    addSampleRows();
    const QString path = out("bench.txt");
    exchange::writeExport(exchange::ExportText, path, general::gstrWorkDBPath, kFieldList, QStringLiteral("[Amount] < 0"));
    EXPECT_EQ(readAll(path), QByteArray("\"Name\",\"City\",\"Amount\",\"Joined\"\r\n"
                                        "\"<b>Lee & Co</b>\",\"Lyon\",-12,12/31/1979 13:30:00\r\n"));
    EXPECT_THROW(exchange::writeExport(exchange::ExportAct, out("x.dbf"), general::gstrWorkDBPath, kFieldList, QString()),
                 jet::JetError);
}

} // namespace

TEST_F(Export, AccessNinetySevenRefusesTextOutsideItsCodePageAndKeepsTheOldFile)
{
    addSampleRows();
    db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (\"Νίκος\", \"Αθήνα\")"));
    const QString path = out("list.mdb");
    writeAll(path, "precious");
    ui.answerFile(path, exchange::ExportAccess97);
    ui.answerMessage(ui::vbYes, path + QStringLiteral(" already exists.  Overwrite it?"));
    ui.answerMessage(ui::vbOK, QStringLiteral("The text in record 4, column [Name] holds the character 'Ν' (U+039D), "
                                              "which an Access 97 database cannot store (it holds the characters of "
                                              "Windows-1252 only).  Export to Access 2000 instead: it holds every "
                                              "character.  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());
    EXPECT_EQ(readAll(path), QByteArray("precious"));
    EXPECT_EQ(outFolder(), QStringList{QStringLiteral("list.mdb")});

    // Access 2000 keeps the same list.
    ui.answerFile(path, exchange::ExportAccess2000);
    ui.answerMessage(ui::vbYes, path + QStringLiteral(" already exists.  Overwrite it?"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
    EXPECT_FALSE(main->ExportFile());
    auto rs = db.openRecordset(QStringLiteral("SELECT [City] FROM [%1].[data] WHERE [Name] = \"Νίκος\"").arg(path));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("Αθήνα"));
}
