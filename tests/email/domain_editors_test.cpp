// The domain list editors over a temporary program folder: adding with its
// checks and messages, deleting, and what closing leaves in the file, the
// shared array and the working database's Z_ccTLD.
#include "email/domain_editors.h"

#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/jet/recordset.h"
#include "platform/ui/scripted.h"
#include "platform/ui/ui.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace general;
using email::frmccTLDs;
using email::frmgTLDs;

namespace {

constexpr int kEnter = 13;
constexpr int kDelete = 46;

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList items(const QTreeWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = list->topLevelItem(i);
        out << (list->columnCount() > 1 ? it->text(0) + QLatin1Char('|') + it->text(1) : it->text(0));
    }
    return out;
}

class DomainEditors : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setProgramFolder(dir.path());
        gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        writeFile(settings("ccTLDs.txt"), "\"uk\",\"United Kingdom\"\r\n\"fr\",\"France\"\r\n");
        writeFile(settings("gTLDs.txt"), "\"com\"\r\n\"net\"\r\n");
        for (auto& e : gstrCCTLDs)
            e = {QString(), QString()};
        for (auto& e : gstrGTLDs)
            e.clear();
        db = jet::Database::open(gstrWorkDBPath, true);
        db.execute(QStringLiteral("CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255), CONSTRAINT pk PRIMARY KEY (ccTLD));"));
        db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES (\"zz\", \"Old\");"));
    }
    void TearDown() override { db.close(); }

    QString settings(const char* name) const { return dir.filePath(QStringLiteral("Settings/") + QLatin1String(name)); }

    /// Types the boxes and presses the key in the country box.
    void type(frmccTLDs& w, const QString& code, const QString& country, int key = kEnter)
    {
        w.txtNew->setText(code);
        w.txtNewCountry_Name->setText(country);
        w.txtNew_KeyDown(key);
    }

    QStringList tableRows()
    {
        QStringList out;
        auto rs = db.openRecordset(QStringLiteral("SELECT ccTLD, ccTLD_Name FROM Z_ccTLD ORDER BY ccTLD"));
        while (!rs->eof()) {
            out << rs->value(0).toString() + QLatin1Char('|') + rs->value(1).toString();
            rs->moveNext();
        }
        return out;
    }

    QTemporaryDir dir;
    jet::Database db;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

} // namespace

TEST_F(DomainEditors, CountryCodeInputIsNormalisedAndChecked)
{
    struct Case {
        const char* code;
        const char* country;
        int key;
        const char* message;   // "" for none
        const char* added;     // "" when nothing is added
        const char* codeAfter;
        const char* countryAfter;
    };
    const Case cases[] = {
        {" UK ", "Great Britain", kEnter, "Item \"uk\" exists in the list.", "", "", ""},
        {"DE ", " Germany ", kEnter, "New item \"de - Germany\" has been added.", "de|Germany", "", ""},
        {"u1", "Somewhere", kEnter, "Two character country abbreviation is expected.", "", "u1", "Somewhere"},
        {"usa", "United States", kEnter, "Two character country abbreviation is expected.", "", "usa", "United States"},
        {"A", "Alpha", kEnter, "Two character country abbreviation is expected.", "", "a", "Alpha"},
        {"es", "united kingdom", kEnter, "Item \"united kingdom\" exists in the list.", "", "", ""},
        {"xq", "The \"Quoted\" Land", kEnter, "New item \"xq - The \"\"Quoted\"\" Land\" has been added.",
         "xq|The \"Quoted\" Land", "", ""},
        {"", "Spain", kEnter, "", "", "", "Spain"},
        {"es", "  ", kEnter, "", "", "es", ""},
        {" ES", "Spain ", 65, "", "", "es", "Spain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " / " + c.country);
        frmccTLDs w;
        const qsizetype before = ui.shown().size();
        if (*c.message)
            ui.answerMessage(ui::vbOK, QString::fromUtf8(c.message));
        type(w, QString::fromUtf8(c.code), QString::fromUtf8(c.country), c.key);
        QStringList expected{QStringLiteral("uk|United Kingdom"), QStringLiteral("fr|France")};
        if (*c.added)
            expected << QString::fromUtf8(c.added);
        EXPECT_EQ(items(w.lstccTLDs), expected);
        EXPECT_EQ(w.txtNew->text(), QString::fromUtf8(c.codeAfter));
        EXPECT_EQ(w.txtNewCountry_Name->text(), QString::fromUtf8(c.countryAfter));
        EXPECT_EQ(ui.shown().size() - before, *c.message ? 1 : 0);
    }
}

TEST_F(DomainEditors, ClosingSavesFileArrayAndCountryTable)
{
    {
        frmccTLDs w;
        ui.answerMessage(ui::vbOK);
        type(w, QStringLiteral("de"), QStringLiteral("Germany"));
        w.lstccTLDs->topLevelItem(0)->setSelected(true);   // uk
        w.lstccTLDs_KeyDown(kDelete);
        w.cmdClose->click();
    }
    EXPECT_EQ(readFile(settings("ccTLDs.txt")), QByteArray("\"fr\",\"France\"\r\n\"de\",\"Germany\"\r\n"));
    EXPECT_EQ(gstrCCTLDs[1][0], QStringLiteral("fr"));
    EXPECT_EQ(gstrCCTLDs[2][1], QStringLiteral("Germany"));
    EXPECT_TRUE(gstrCCTLDs[3][0].isEmpty());
    EXPECT_EQ(tableRows(), (QStringList{QStringLiteral("de|Germany"), QStringLiteral("fr|France")}));

    // The close box saves the same way, once; an emptied list empties everything.
    frmccTLDs again;
    EXPECT_EQ(items(again.lstccTLDs), (QStringList{QStringLiteral("fr|France"), QStringLiteral("de|Germany")}));
    again.lstccTLDs->selectAll();
    again.lstccTLDs_KeyDown(kDelete);
    again.reject();
    EXPECT_EQ(readFile(settings("ccTLDs.txt")), QByteArray());
    EXPECT_TRUE(gstrCCTLDs[1][0].isEmpty());
    EXPECT_TRUE(tableRows().isEmpty());
}

TEST_F(DomainEditors, CountryTableRebuildNeverFailsTheClose)
{
    // Two codes that differ only in case cannot both be keys: the first one
    // stands in the table, and the next reading of the file skips the second.
    writeFile(settings("ccTLDs.txt"), "\"uk\",\"United Kingdom\"\r\n");
    frmccTLDs w;
    w.lstccTLDs->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("UK"), QStringLiteral("Britain")}));
    w.accept();
    EXPECT_EQ(tableRows(), QStringList{QStringLiteral("uk|United Kingdom")});

    // Without the table the editor still saves the file, silently.
    db.execute(QStringLiteral("DROP TABLE Z_ccTLD;"));
    frmccTLDs other;
    EXPECT_EQ(items(other.lstccTLDs), QStringList{QStringLiteral("uk|United Kingdom")});
    ui.answerMessage(ui::vbOK);
    type(other, QStringLiteral("ie"), QStringLiteral("Ireland"));
    other.accept();
    EXPECT_EQ(readFile(settings("ccTLDs.txt")), QByteArray("\"uk\",\"United Kingdom\"\r\n\"ie\",\"Ireland\"\r\n"));
    EXPECT_EQ(ui.shown().size(), 1);   // only the "has been added" message
}

TEST_F(DomainEditors, CountryColumnNarrowsFromEighteenItems)
{
    frmccTLDs w;
    EXPECT_EQ(w.countryColumnUnits(), 925);
    for (int i = 0; w.lstccTLDs->topLevelItemCount() < 17; ++i)
        w.lstccTLDs->addTopLevelItem(new QTreeWidgetItem(QStringList{QString(QChar('a' + i)) + 'a', QString::number(i)}));
    w.txtNew_KeyDown(65);   // empty boxes: nothing is applied
    w.lstccTLDs_KeyDown(65);
    EXPECT_EQ(w.countryColumnUnits(), 925);
    ui.answerMessage(ui::vbOK);
    type(w, QStringLiteral("zq"), QStringLiteral("Eighteen"));
    EXPECT_EQ(w.countryColumnUnits(), 875);
}

TEST_F(DomainEditors, GenericListAddsDeletesAndSaves)
{
    {
        frmgTLDs w;
        EXPECT_EQ(items(w.lstgTLDs), (QStringList{QStringLiteral("com"), QStringLiteral("net")}));
        for (const char* typed : {"com", "COM", " biz", "a,b"}) {
            w.txtNew->setText(QString::fromUtf8(typed));
            w.txtNew_KeyDown(kEnter);
            EXPECT_TRUE(w.txtNew->text().isEmpty());
        }
        w.lstgTLDs->topLevelItem(1)->setSelected(true);   // net
        w.lstgTLDs->topLevelItem(2)->setSelected(true);   // COM
        w.lstgTLDs_KeyDown(kDelete);
        w.lstgTLDs_KeyDown(kDelete);   // nothing selected any more: nothing removed
        w.cmdClose->click();
    }
    EXPECT_EQ(readFile(settings("gTLDs.txt")), QByteArray("\"com\"\r\n\" biz\"\r\n\"a,b\"\r\n"));
    EXPECT_EQ(gstrGTLDs[2], QStringLiteral(" biz"));
    EXPECT_TRUE(gstrGTLDs[4].isEmpty());
    frmgTLDs reopened;
    EXPECT_EQ(items(reopened.lstgTLDs), (QStringList{QStringLiteral("com"), QStringLiteral(" biz"), QStringLiteral("a,b")}));
}

// Entries that would break the file are not taken: an empty line would end
// the list when it is read, and a double quote cannot stand in a quoted line.
TEST_F(DomainEditors, GenericListRefusesEmptyAndQuotedEntries)
{
    {
        frmgTLDs w;
        for (const char* typed : {"", "   "}) {
            w.txtNew->setText(QString::fromUtf8(typed));
            w.txtNew_KeyDown(kEnter);
        }
        ui.answerMessage(ui::vbOK, QStringLiteral("A domain cannot contain a double quote."));
        w.txtNew->setText(QStringLiteral("co\"m"));
        w.txtNew_KeyDown(kEnter);
        EXPECT_EQ(w.txtNew->text(), QStringLiteral("co\"m"));   // left for the user to mend
        w.txtNew->setText(QStringLiteral("app"));
        w.txtNew_KeyDown(kEnter);
        w.cmdClose->click();
    }
    EXPECT_EQ(readFile(settings("gTLDs.txt")), QByteArray("\"com\"\r\n\"net\"\r\n\"app\"\r\n"));
}

TEST_F(DomainEditors, GenericColumnNarrowsFromTwentyThreeItems)
{
    frmgTLDs w;
    for (int i = 0; w.lstgTLDs->topLevelItemCount() < 22; ++i) {
        w.txtNew->setText(QStringLiteral("d%1").arg(i));
        w.txtNew_KeyDown(kEnter);
    }
    EXPECT_EQ(w.columnUnits(), 275);
    w.txtNew->setText(QStringLiteral("last"));
    w.txtNew_KeyDown(kEnter);
    EXPECT_EQ(w.columnUnits(), 225);
}
