// The jobs that work on more than one thread, run again and again from their
// buttons while the window's events run in their progress: the bar moves, the
// grids are painted (reading the list through the same connection) and the
// button that started the job is clicked again. Every run's result must equal
// what the plain statements of the job give on the same list, and the second
// click must start nothing.
#include "app/mdimain.h"
#include "common/general.h"
#include "email/address_check.h"
#include "email/email_run.h"
#include "exchange/frmtxtwizard.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/value.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include "support/workbench_fixture.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace general;

namespace {

constexpr int kRepeats = 3;

/// A value as the comparisons below see it: numbers by value, text without
/// regard to case (a group shows one of its spellings), Null apart.
QString shown(const jet::Value& v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.isNumber() || v.kind() == jet::Kind::Bool)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString().toLower();
}

/// The rows of a query through the engine, cells joined by "|", sorted.
QStringList queryRows(jet::Database& db, const QString& sql)
{
    QStringList out;
    auto rs = db.openRecordset(sql, jet::dbOpenSnapshot);
    for (; !rs->eof(); rs->moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << shown(rs->value(i));
        out << cells.join(QLatin1Char('|'));
    }
    out.sort();
    return out;
}

qint64 number(const QString& boxText)
{
    QString digits;
    for (QChar c : boxText)
        if (c.isDigit())
            digits += c;
    return digits.toLongLong();
}

/// What the event pump does while a job runs, and what it saw.
struct Pump {
    std::function<bool()> running;          ///< the job is under way (its bar is shown)
    std::function<void()> whileRunning;     ///< clicks and paints during it
    int pumpsWhileRunning = 0;
    std::vector<int> bar;                   ///< the bar's values seen
    bool inside = false;
    bool nested = false;                    ///< a job started inside the pump of another

    /// A click made while the job runs. It may be refused with a word to the
    /// user, but must ask nothing and start nothing: a box it shows is kept
    /// for the test, a pump it makes counts as a job inside the job.
    void secondClick(const std::function<void()>& click)
    {
        ui::ScriptedHandler during([](const QString&) {});
        during.setThrowOnFailure(false);
        during.onProcessEvents([this] { nested = true; });
        click();
        for (const ui::ScriptedHandler::Shown& box : during.shown())
            boxes << box;
    }

    /// No box shown by a second click asked a question or told of a job done.
    void expectOnlyRefusals() const
    {
        for (const ui::ScriptedHandler::Shown& box : boxes) {
            EXPECT_EQ(box.style & 7, ui::vbOKOnly) << "a second click asked: " << box.text.toStdString();
            EXPECT_FALSE(box.text.startsWith(QLatin1String("Operation"))) << box.text.toStdString();
        }
    }

    QList<ui::ScriptedHandler::Shown> boxes;

    void operator()()
    {
        if (inside) {
            nested = true;
            return;
        }
        inside = true;
        if (running && running()) {
            ++pumpsWhileRunning;
            whileRunning();
        }
        inside = false;
    }
};

/// Whether the bar stood between its ends at some pump.
bool barMoved(const std::vector<int>& seen, const QProgressBar* bar)
{
    return std::any_of(seen.begin(), seen.end(), [&](int v) { return v > bar->minimum() && v < bar->maximum(); });
}

/// Paints a view and reads the cells a paint reads, through its model.
void paintGrid(QTableView* view, int rows = 40)
{
    if (!view)
        return;
    view->viewport()->repaint();
    const QAbstractItemModel* m = view->model();
    if (!m)
        return;
    for (int r = 0; r < std::min(rows, m->rowCount()); ++r)
        for (int c = 0; c < m->columnCount(); ++c)
            (void)m->index(r, c).data();
}

class JobsUnderTheEventLoop : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        write(QStringLiteral("Settings/gTLDs.txt"), "\"com\"\r\n\"net\"\r\n\"org\"\r\n");
        write(QStringLiteral("Settings/ccTLDs.txt"), "\"uk\",\"United Kingdom\"\r\n\"fr\",\"France\"\r\n");
        ui.onProcessEvents([this] { pump(); });
    }

    void TearDown() override
    {
        ui.onProcessEvents({});
        WorkbenchFixture::TearDown();
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    frmdataform& openWorkbench(int tab)
    {
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        if (!f.isVisible())
            f.show();
        f.tab1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        return f;
    }

    static void closeWorkbench()
    {
        gblnNewImport = true;   // no export question
        frmdataform::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    /// The list of the Dupe Remover's runs: groups of every size, letter case
    /// that does not count, Null and "" that are one in a text column, Null
    /// apart from 0 in a number column.
    void makeDupesList(int rep)
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [City] TEXT(255), [Amount] DOUBLE)"));
        db.connection().exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 8999) "
            "INSERT INTO tblData SELECT CASE WHEN i % 2 = 0 THEN 'name' ELSE 'NAME' END || (i * %1 % 2500), "
            "CASE i % 3 WHEN 0 THEN NULL WHEN 1 THEN '' ELSE 'Paris' END, "
            "CASE WHEN i % 5 = 0 THEN NULL ELSE i % 4 END FROM n")
                                 .arg(7 + 2 * rep));
    }

    /// Ten kinds of cell, from valid to no "@" at all, Null and "" included.
    void makeEmailList(int rep)
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [Email] TEXT(255))"));
        db.connection().exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 8999) "
            "INSERT INTO tblData SELECT 'n' || i, CASE (i + %1) % 10 "
            "WHEN 0 THEN 'p' || i || '@example.com' "
            "WHEN 1 THEN '  P' || i || '@Mail.Example.co.uk  ' "
            "WHEN 2 THEN 'p' || i || '@example.con' "
            "WHEN 3 THEN 'p' || i || '@examplecom' "
            "WHEN 4 THEN 'p' || i || '@@example.com' "
            "WHEN 5 THEN 'p' || i || '@example.zz' "
            "WHEN 6 THEN NULL "
            "WHEN 7 THEN '' "
            "WHEN 8 THEN 'p' || i || '#example.com' "
            "ELSE 'p ' || i || '@shop.example.fr' END FROM n")
                                 .arg(rep));
    }

    void pump() { pump_(); }

    Pump pump_;
};

// Search and Remove Records of the Dupe Remover, on ALL and on SELECTED
// columns, against the statements of the search (the counts, the result
// table) and of the removal (the lowest key of every group stays).
TEST_F(JobsUnderTheEventLoop, DupeSearchAndRemovalEqualThePlainStatements)
{
    const QString allGroups = QStringLiteral(" IIF(ISNULL([Name]),'',[Name]), IIF(ISNULL([City]),'',[City]), [Amount]");
    const QString allSelect = QStringLiteral(" IIF(ISNULL(T1.[Name]),'',T1.[Name]) AS [Name], "
                                             "IIF(ISNULL(T1.[City]),'',T1.[City]) AS [City], T1.[Amount]");
    const QString someGroups = QStringLiteral(" IIF(ISNULL([Name]),'',[Name]) , [Amount]");
    const QString someSelect = QStringLiteral(" IIF(ISNULL(T1.[Name]),'',T1.[Name]) AS [Name] , T1.[Amount] ");
    for (int rep = 0; rep < kRepeats; ++rep) {
        SCOPED_TRACE(rep);
        const bool all = rep % 2 == 0;
        makeDupesList(rep);
        frmdataform& f = openWorkbench(7);
        if (!all) {
            for (const QString& c : {QStringLiteral("Name"), QStringLiteral("Amount")}) {
                const QList<QListWidgetItem*> found = f.lstLeft2->findItems(c, Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1);
                f.lstLeft2->clearSelection();
                found.first()->setSelected(true);
                ctl<QPushButton>(f, "cmdMove2")->click();
            }
        }
        const QString groups = all ? allGroups : someGroups;
        const QString select = all ? allSelect : someSelect;
        const QStringList expectedGroups = queryRows(
            db, QStringLiteral("SELECT COUNT(*) AS Count, ") + select + QStringLiteral(" FROM tblData T1 GROUP BY ") + groups
                    + QStringLiteral(" HAVING COUNT(*)>1"));
        const QStringList everyGroup = queryRows(db, QStringLiteral("SELECT COUNT(*) AS Count FROM tblData GROUP BY ") + groups);
        qint64 surplus = 0;
        for (const QString& g : expectedGroups)
            surplus += g.section(QLatin1Char('|'), 0, 0).toLongLong() - 1;
        QStringList kept = queryRows(db, QStringLiteral("SELECT MIN(tblData.LumacorPrimK) AS LumacorPrimK FROM tblData GROUP BY ")
                                             + groups + QStringLiteral(" "));
        ASSERT_GT(surplus, 0);

        auto* search = ctl<QPushButton>(f, all ? "cmdRefresh1" : "cmdRefresh2");
        auto* remove = ctl<QPushButton>(f, all ? "cmdRemov1" : "cmdRemov2");
        auto* bar = ctl<QProgressBar>(f, "PBarDupes");
        pump_ = Pump{};
        pump_.running = [bar] { return bar->isVisible(); };
        pump_.whileRunning = [&] {
            pump_.bar.push_back(bar->value());
            paintGrid(f.DBGridData);
            paintGrid(f.flxDupes);
            pump_.secondClick([&] {
                search->click();
                remove->click();
            });
        };

        search->click();
        EXPECT_GT(pump_.pumpsWhileRunning, 0) << "the search let no event through";
        EXPECT_TRUE(barMoved(pump_.bar, bar)) << "the bar stood still";
        pump_.bar.clear();
        EXPECT_EQ(number((all ? f.txtCountA1 : f.txtCountB1)->text()), everyGroup.size());
        EXPECT_EQ(number((all ? f.txtCountA2 : f.txtCountB2)->text()), surplus);
        EXPECT_EQ(queryRows(db, QStringLiteral(" SELECT  * FROM tblDupes_AllX")), expectedGroups);
        ASSERT_TRUE(remove->isEnabled());

        const int pumped = pump_.pumpsWhileRunning;
        ui.answerMessage(ui::vbYes);
        ui.answerMessage(ui::vbOK, QStringLiteral("Operation successful."));
        remove->click();
        EXPECT_GT(pump_.pumpsWhileRunning, pumped) << "the removal let no event through";
        EXPECT_TRUE(barMoved(pump_.bar, bar)) << "the bar stood still";
        EXPECT_EQ(ui.pendingAnswers(), 0);
        EXPECT_EQ(queryRows(db, QStringLiteral("SELECT LumacorPrimK FROM tblData")), kept);
        EXPECT_EQ(number((all ? f.txtCountA2 : f.txtCountB2)->text()), 0);
        EXPECT_FALSE(pump_.nested) << "a second job ran inside the first";
        pump_.expectOnlyRefusals();

        pump_ = Pump{};
        closeWorkbench();
        db.execute(QStringLiteral("DROP TABLE tblData"));
    }
}

// The e-mail run against the statements that choose its rows and the check
// of each address on its own: one row of tblEMails per filled cell, each
// with the verdict, the parts and the suggestion of that check, the cell
// trimmed in tblData and the count of invalid addresses shown.
TEST_F(JobsUnderTheEventLoop, EmailRunEqualsTheCheckOfEachAddress)
{
    for (int rep = 0; rep < kRepeats; ++rep) {
        SCOPED_TRACE(rep);
        makeEmailList(rep);
        frmdataform& f = openWorkbench(5);
        std::map<qint64, QString> cells;
        {
            auto rs = db.openRecordset(QStringLiteral("SELECT LumacorPrimK, [Email] FROM tblData WHERE [Email] IS NOT NULL "
                                                      "  AND [Email]<>\"\";"),
                                       jet::dbOpenSnapshot);
            for (; !rs->eof(); rs->moveNext())
                cells[rs->value(0).toLong()] = rs->value(1).toString();
        }
        const email::DomainLists lists = email::settingsDomainLists();
        const QString specials = email::settingsSpecialChars();

        const int at = f.cmbColumn2->findText(QStringLiteral("Email"));
        ASSERT_GE(at, 0);
        auto* bar = ctl<QProgressBar>(f, "prgEMail");
        auto* refresh = ctl<QPushButton>(f, "cmdEMailRefresh");
        pump_ = Pump{};
        pump_.running = [bar] { return bar->isVisible(); };
        pump_.whileRunning = [&] {
            pump_.bar.push_back(bar->value());
            paintGrid(f.DBGridData);
            paintGrid(f.DataGrid1);
            pump_.secondClick([&] {
                refresh->click();
                emit f.cmbColumn2->activated(at);
            });
        };
        f.cmbColumn2->setCurrentIndex(at);
        emit f.cmbColumn2->activated(at);
        EXPECT_GT(pump_.pumpsWhileRunning, 0) << "the run let no event through";
        EXPECT_TRUE(barMoved(pump_.bar, bar)) << "the bar stood still";
        EXPECT_FALSE(pump_.nested) << "a second run started inside the first";
        pump_.expectOnlyRefusals();

        auto rs = db.openRecordset(QStringLiteral("SELECT E.LumacorPrimK, E.IsValid, E.Account, E.SubDomain, E.Domain, "
                                                  "E.Country, E.Suggest1, D.[Email] FROM tblEMails E INNER JOIN tblData D "
                                                  "ON D.LumacorPrimK = E.LumacorPrimK ORDER BY E.LumacorPrimK"),
                                   jet::dbOpenSnapshot);
        auto text = [](const std::optional<QString>& s) { return s ? *s : QStringLiteral("<null>"); };
        auto cell = [&](int i) {
            const jet::Value v = rs->value(i);
            return v.isNull() ? QStringLiteral("<null>") : v.toString();
        };
        qint64 rows = 0, invalid = 0, mismatches = 0;
        for (; !rs->eof(); rs->moveNext(), ++rows) {
            const qint64 key = rs->value(0).toLong();
            const auto it = cells.find(key);
            if (it == cells.end()) {
                ADD_FAILURE() << "row " << key << " has no filled cell";
                continue;
            }
            const QString trimmed = email::trimBlanks(it->second).toString();
            const email::EmailCheck k = email::checkEmail(trimmed, lists, specials, true);
            const QStringList want{k.isValid ? QStringLiteral("1") : QStringLiteral("0"), text(k.account), text(k.subDomain),
                                   text(k.domain), text(k.country), text(k.suggestion), trimmed};
            const QStringList got{rs->value(1).toBool() ? QStringLiteral("1") : QStringLiteral("0"), cell(2), cell(3),
                                  cell(4), cell(5), cell(6), cell(7)};
            invalid += !k.isValid;
            if (got != want && ++mismatches <= 5)
                ADD_FAILURE() << "row " << key << ": " << got.join(QLatin1Char('|')).toStdString() << " instead of "
                              << want.join(QLatin1Char('|')).toStdString();
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_EQ(rows, qint64(cells.size()));
        EXPECT_EQ(ctl<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QString::number(invalid));
        rs.reset();

        pump_ = Pump{};
        closeWorkbench();
        db.execute(QStringLiteral("DROP TABLE tblData"));
    }
}

// The text import: the table the wizard's column types make, one record per
// line that holds a value, in the file's order, each value as its column
// stores it.
TEST_F(JobsUnderTheEventLoop, TextImportStoresEveryLineOfTheFile)
{
    for (int rep = 0; rep < kRepeats; ++rep) {
        SCOPED_TRACE(rep);
        QByteArray file = "Name,City,Amount,Joined\r\n";
        QStringList expected;
        const int lines = 6000 + 500 * rep;
        for (int i = 0; i < lines; ++i) {
            if (i % 97 == 5) {
                file += "\r\n";   // a blank line stores nothing
                continue;
            }
            const QByteArray name = i % 13 == 0 ? "\"Smith, " + QByteArray::number(i) + "\"" : "n" + QByteArray::number(i);
            const QByteArray city = i % 4 == 0 ? QByteArray() : "City" + QByteArray::number(i % 7);
            const int month = 1 + i % 12, day = 1 + i % 28, year = 1990 + i % 30;
            file += name + "," + city + "," + QByteArray::number(i * 0.25) + "," + QByteArray::number(month) + "/"
                    + QByteArray::number(day) + "/" + QByteArray::number(year) + "\r\n";
            const jet::DateTime joined = jet::toDateTime(jet::DateParts{year, month, day, 0, 0, 0});
            expected << QStringList{i % 13 == 0 ? QStringLiteral("Smith, %1").arg(i) : QStringLiteral("n%1").arg(i),
                                    city.isEmpty() ? QStringLiteral("<null>") : QString::fromLatin1(city),
                                    QString::number(i * 0.25), QString::number(joined.serial, 'g', 15)}
                            .join(QLatin1Char('|'));
        }
        write(QStringLiteral("list.csv"), file);
        gstrSourceFile = dir.filePath(QStringLiteral("list.csv"));

        auto wizard = std::make_unique<frmtxtWizard>();
        wizard->findChild<QCheckBox*>(QStringLiteral("chkFirstRow"))->click();
        auto* import = wizard->findChild<QPushButton*>(QStringLiteral("cmdImport"));
        auto* bar = wizard->findChild<QProgressBar*>(QStringLiteral("PB"));
        auto* preview = wizard->findChild<QTableView*>(QStringLiteral("DBGrid1"));
        ASSERT_TRUE(import && bar && preview);
        pump_ = Pump{};
        pump_.running = [bar] { return !bar->isHidden(); };
        pump_.whileRunning = [&] {
            pump_.bar.push_back(bar->value());
            paintGrid(preview);
            pump_.secondClick([&] { import->click(); });
        };
        import->click();
        EXPECT_GT(pump_.pumpsWhileRunning, 0) << "the import let no event through";
        EXPECT_TRUE(barMoved(pump_.bar, bar)) << "the bar stood still";
        EXPECT_FALSE(pump_.nested) << "a second import started inside the first";
        pump_.expectOnlyRefusals();
        ASSERT_NE(frmdataform::loaded(), nullptr) << ui.messageTexts().join(QLatin1Char('/')).toStdString();

        std::vector<std::pair<QString, int>> layout;
        for (const jet::FieldDef& fd : db.tableDef(QStringLiteral("tblData")).fields)
            layout.emplace_back(fd.name, fd.type);
        EXPECT_EQ(layout, (std::vector<std::pair<QString, int>>{{QStringLiteral("Name"), jet::dbText},
                                                                 {QStringLiteral("City"), jet::dbText},
                                                                 {QStringLiteral("Amount"), jet::dbDouble},
                                                                 {QStringLiteral("Joined"), jet::dbDate},
                                                                 {QStringLiteral("LumacorPrimK"), jet::dbLong}}));
        QStringList got;
        {
            auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [City], [Amount], [Joined] FROM tblData ORDER BY LumacorPrimK"),
                                       jet::dbOpenSnapshot);
            for (; !rs->eof(); rs->moveNext()) {
                const jet::Value joined = rs->value(3);
                got << QStringList{rs->value(0).toString(), rs->value(1).isNull() ? QStringLiteral("<null>") : rs->value(1).toString(),
                                   QString::number(rs->value(2).toDouble()),
                                   joined.kind() == jet::Kind::Date ? QString::number(joined.toDate().serial, 'g', 15)
                                                                    : QStringLiteral("not a date: ") + joined.toString()}
                           .join(QLatin1Char('|'));
            }
        }
        ASSERT_EQ(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            if (got[i] != expected[i]) {
                ADD_FAILURE() << "record " << i << ": " << got[i].toStdString() << " instead of " << expected[i].toStdString();
                break;
            }

        pump_ = Pump{};
        wizard.reset();
        closeWorkbench();
        db.execute(QStringLiteral("DROP TABLE tblData"));
    }
}

} // namespace
