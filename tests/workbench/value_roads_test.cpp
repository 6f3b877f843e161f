// Every road that writes a value into a typed column converts it by one rule:
// an SQL UPDATE, typing in the grid, Replace All, the Column Cleaner and the
// near-duplicate Convert store what fits and refuse the rest, each with its
// own message, and a refused value leaves the row as it was.
#include "app/mdimain.h"
#include "cleaning/column_convert.h"
#include "common/general.h"
#include "duplicates/conversion.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/recordset.h"
#include "platform/jet/schema.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/gridtools.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

namespace {

enum class Outcome { Stored, Mismatch, Overflow, TooLong };

struct Attempt {
    const char* typed;
    Outcome outcome;
    const char* stored = nullptr;   ///< the value's text once stored, when it differs from typed
};

struct ColumnCase {
    const char* name;
    jet::FieldType type;
    const char* before;       ///< the SQL literal the row holds before each attempt
    const char* shown;        ///< that value's text in the grid and the lists
    const char* holds;        ///< what the Column Cleaner says the column holds
    std::vector<Attempt> attempts;
};

const std::vector<ColumnCase>& columnCases()
{
    using O = Outcome;
    static const std::vector<ColumnCase> cases = {
        {"B", jet::dbByte, "100", "100", "whole numbers from 0 to 255",
         {{"255", O::Stored}, {"256", O::Overflow}, {"-1", O::Overflow}, {"Yes", O::Mismatch}, {"Tru", O::Mismatch},
          {"nan", O::Mismatch}, {"1e999", O::Overflow}, {"70000", O::Overflow}}},
        {"I", jet::dbInteger, "100", "100", "whole numbers from -32768 to 32767",
         {{"-32768", O::Stored}, {"32768", O::Overflow}, {"Yes", O::Mismatch}, {"nan", O::Mismatch},
          {"1e999", O::Overflow}, {"70000", O::Overflow}}},
        {"L", jet::dbLong, "100", "100", "whole numbers from -2147483648 to 2147483647",
         {{"2147483647", O::Stored}, {"2147483648", O::Overflow}, {"-2147483649", O::Overflow}, {"Yes", O::Mismatch},
          {"nan", O::Mismatch}, {"1e999", O::Overflow}, {"70000", O::Stored}}},
        {"S", jet::dbSingle, "0.15", "0.15", "numbers from -3.402823E+38 to 3.402823E+38",
         {{"0.16", O::Stored}, {"3.5e38", O::Overflow}, {"Yes", O::Mismatch}, {"inf", O::Mismatch},
          {"1e999", O::Overflow}, {"70000", O::Stored}}},
        {"D", jet::dbDouble, "0.15", "0.15", "numbers",
         {{"1.5e308", O::Stored, "1.5E+308"}, {"1e309", O::Overflow}, {"Yes", O::Mismatch}, {"Tru", O::Mismatch},
          {"nan", O::Mismatch}}},
        {"C", jet::dbCurrency, "0.15", "0.15", "amounts from -922337203685477.5807 to 922337203685477.5807",
         {{"922337203685477", O::Stored}, {"922337203685478", O::Overflow}, {"Yes", O::Mismatch},
          {"nan", O::Mismatch}, {"1e999", O::Overflow}}},
        {"T", jet::dbDate, "#1/2/2003#", "1/2/2003", "dates",
         {{"12/31/9999", O::Stored}, {"1/1/10000", O::Mismatch}, {"Yes", O::Mismatch}, {"nan", O::Mismatch},
          {"70000", O::Mismatch}}},
        {"Y", jet::dbBoolean, "False", "False", "Yes/No values",
         {{"Yes", O::Stored, "True"}, {"on", O::Stored, "True"}, {"Tru", O::Mismatch}, {"nan", O::Mismatch},
          {"1e999", O::Overflow}}},
        {"X", jet::dbText, "\"old\"", "old", "text of up to 5 characters",
         {{"abcde", O::Stored}, {"abcdef", O::TooLong}}},
    };
    return cases;
}

QString sqlMessage(Outcome o)
{
    switch (o) {
    case Outcome::Mismatch: return QString::fromLatin1(jet::kConversionErrorText);
    case Outcome::Overflow: return QString::fromLatin1(jet::kOverflowText);
    case Outcome::TooLong:
        return QStringLiteral("The field is too small to accept the amount of data you attempted to add.  Try "
                              "inserting or pasting less data.");
    case Outcome::Stored: break;
    }
    return QString();
}

class ValueRoads : public ::testing::Test {
protected:
    void SetUp() override
    {
        setProgramFolder(dir.path());
        gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        db = jet::Database::open(gstrWorkDBPath, true);
        gblnNewImport = true;
        gintFileOpen = 0;
        gstrImportType = QStringLiteral("txt");
        gstrSourceFile = gstrFileName = dir.filePath(QStringLiteral("list.csv"));
        gstrFilter.clear();
        gstrSortOrder.clear();
        gstrReplaceFind.clear();
        MDIMain::instance();
        db.execute(QStringLiteral("CREATE TABLE tblData ([B] BYTE, [I] SHORT, [L] LONG, [S] SINGLE, [D] DOUBLE, "
                                  "[C] CURRENCY, [T] DATETIME, [Y] YESNO, [X] TEXT(5))"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (100, 100, 100, 0.15, 0.15, 0.15, #1/2/2003#, False, \"old\")"));
        form = &frmdataform::instance();
    }

    void TearDown() override
    {
        if (frmReplace* d = frmReplace::loaded())
            d->close();
        if (frmdataform::loaded()) {
            gblnNewImport = true;
            frmdataform::unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        db.close();
        setProgramFolder(QString());
        gstrWorkDBPath.clear();
    }

    /// Puts the column's value back as it was before an attempt.
    void reset(const ColumnCase& c)
    {
        db.execute(QStringLiteral("UPDATE tblData SET [%1] = %2").arg(QLatin1String(c.name), QLatin1String(c.before)));
        db.connection().bump();
        form->gridModel()->refreshRows();
    }

    QString value(const ColumnCase& c)
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT [%1] FROM tblData").arg(QLatin1String(c.name)));
        return rs->value(0).toString();
    }

    int columnIndex(const ColumnCase& c) const { return int(&c - columnCases().data()); }

    QTemporaryDir dir;
    jet::Database db;
    frmdataform* form = nullptr;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

} // namespace

TEST_F(ValueRoads, EveryRoadStoresWhatFitsAndRefusesTheRestLeavingTheRow)
{
    for (const ColumnCase& c : columnCases()) {
        const QString column = QString::fromLatin1(c.name);
        for (const Attempt& a : c.attempts) {
            const QString typed = QString::fromLatin1(a.typed);
            SCOPED_TRACE(column.toStdString() + " <- " + a.typed);
            const bool stored = a.outcome == Outcome::Stored;
            const QString expected = stored ? QString::fromLatin1(a.stored ? a.stored : a.typed) : QString::fromLatin1(c.shown);

            // SQL: the text as a literal and, when it reads as a number, as a number.
            QStringList literals{QLatin1Char('"') + typed + QLatin1Char('"')};
            const bool number = jet::readTypedNumber(typed) || typed.startsWith(QLatin1String("1e"));
            if (number && c.type != jet::dbDate && c.type != jet::dbText)
                literals << typed;
            for (const QString& literal : literals) {
                SCOPED_TRACE("SQL " + literal.toStdString());
                reset(c);
                try {
                    db.execute(QStringLiteral("UPDATE tblData SET [%1] = %2").arg(column, literal), jet::dbFailOnError);
                    EXPECT_TRUE(stored) << "stored";
                } catch (const jet::JetError& e) {
                    EXPECT_EQ(e.description(), sqlMessage(a.outcome));
                }
                EXPECT_EQ(value(c), expected);
            }

            {
                SCOPED_TRACE("grid");
                reset(c);
                const QModelIndex cell = form->gridModel()->index(0, columnIndex(c));
                form->DBGridData->setCurrentIndex(cell);
                if (!stored)
                    ui.answerMessage(ui::vbOK, c.type == jet::dbLong
                                                   ? QStringLiteral("This Column is an AutoNumber and cannot be changed.")
                                                   : QStringLiteral("Sorry, cannot enter that Value."));
                EXPECT_EQ(form->gridModel()->setData(cell, typed, Qt::EditRole), stored);
                EXPECT_EQ(value(c), expected);
            }

            {
                SCOPED_TRACE("Replace All");
                reset(c);
                form->DBGridData->setCurrentIndex(form->gridModel()->index(0, columnIndex(c)));
                if (!frmReplace::loaded())
                    MDIMain::instance().command(QStringLiteral("mnureplace"))->trigger();
                frmReplace* d = frmReplace::loaded();
                ASSERT_TRUE(d);
                d->txtsearch->setText(QString::fromLatin1(c.shown));
                d->txtNew->setText(typed);
                ui.answerMessage(ui::vbOK, stored ? QStringLiteral("Complete")
                                                  : QStringLiteral("1 value could not be replaced: the column cannot "
                                                                   "hold the new text."));
                d->cmdReplaceAll_Click();
                EXPECT_EQ(value(c), expected);
            }

            {
                SCOPED_TRACE("Column Cleaner");
                reset(c);
                cleaning::ConvertRequest r;
                r.column = column;
                r.fieldType = c.type;
                r.delimiter = c.type == jet::dbDate ? QStringLiteral("#")
                              : c.type == jet::dbText ? QStringLiteral("\"")
                                                      : QString();
                r.oldValues = QStringList{QString::fromLatin1(c.shown)};
                r.newValue = typed;
                const cleaning::ConvertResult result = cleaning::runColumnConvert(db, r);
                if (stored) {
                    EXPECT_EQ(result.outcome, cleaning::ConvertOutcome::Converted) << result.message.toStdString();
                    EXPECT_EQ(result.rowsChanged, 1);
                } else {
                    EXPECT_EQ(result.outcome, cleaning::ConvertOutcome::Failed);
                    EXPECT_EQ(result.message, QStringLiteral("The column %1 holds %2: \"%3\" is not one of them.")
                                                  .arg(column, QString::fromLatin1(c.holds), typed));
                }
                EXPECT_EQ(value(c), expected);
            }

            {
                SCOPED_TRACE("near-duplicate Convert");
                reset(c);
                db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"), jet::dbFailOnError);
                // The pair as the search writes it: the value's text with every digit.
                jet::Stmt text(&db.connection(), QStringLiteral("SELECT %1 FROM tblData")
                                                     .arg(jet::exactTextSql(jet::quoteName(column), c.type)));
                ASSERT_TRUE(text.step());
                jet::Stmt pair(&db.connection(),
                               QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Count1, Convert1, Column2, Count2, "
                                              "Convert2) VALUES (?1, '1', 'X', ?2, '0', '')"));
                pair.bind(1, text.value(0, jet::dbText));
                pair.bind(2, jet::Value(typed));
                pair.step();
                const neardup::ConversionResult result = neardup::convertMarkedPairs(db, column);
                EXPECT_EQ(result.ok, stored) << result.message.toStdString();
                EXPECT_EQ(result.message, stored ? QString::fromLatin1(neardup::kConversionSucceeded)
                                                 : sqlMessage(a.outcome));
                EXPECT_EQ(value(c), expected);
            }
        }
    }
}

// Every date and time as the program shows it goes back in by every road
// unchanged: the grid's text of a stored value, written by SQL as a text
// literal, as a # literal and through CDATE, typed into the grid, put in by
// Replace All and by the Column Cleaner, stores that value again. The other
// forms a user types (24-hour times, no seconds, the month's name) read as
// the value they name.
TEST_F(ValueRoads, EveryShownDateAndTimeComesBackUnchangedByEveryRoad)
{
    const ColumnCase& c = columnCases()[6];
    ASSERT_EQ(c.type, jet::dbDate);
    const int col = columnIndex(c);
    const QString before = QStringLiteral("#7/4/1976 03:00:00#");
    const QString beforeShown = QStringLiteral("7/4/1976 3:00:00 AM");
    const struct {
        const char* stored;   ///< the value as a literal, or nullptr: typed as in `typed`
        const char* typed;
        const char* shown;
    } cases[] = {
        {"#1/2/2003#", nullptr, "1/2/2003"},
        {"#1/2/2003 22:30:00#", nullptr, "1/2/2003 10:30:00 PM"},
        {"#22:30:00#", nullptr, "10:30:00 PM"},
        {"#00:00:01#", nullptr, "12:00:01 AM"},
        {"#12:00:00#", nullptr, "12:00:00 PM"},
        {"#12/30/1899#", nullptr, "12:00:00 AM"},
        {"#00:00:00#", nullptr, "12:00:00 AM"},
        {nullptr, "0:00", "12:00:00 AM"},
        {"#12/29/1899 06:00:00#", nullptr, "12/29/1899 6:00:00 AM"},
        {"#2/29/2000#", nullptr, "2/29/2000"},
        {"#12/31/9999 23:59:59#", nullptr, "12/31/9999 11:59:59 PM"},
        {"#1/1/100#", nullptr, "1/1/100"},
        {nullptr, "10:30 PM", "10:30:00 PM"},
        {nullptr, "22:30", "10:30:00 PM"},
        {nullptr, "1/2/2003 22:30:15", "1/2/2003 10:30:15 PM"},
        {nullptr, "Jan 5 2000", "1/5/2000"},
        {nullptr, "Jan 5, 2000", "1/5/2000"},
        {nullptr, "5-Jan-2000 10:30 PM", "1/5/2000 10:30:00 PM"},
    };
    for (const auto& k : cases) {
        QString typed;
        if (k.stored) {
            // Out through the program's display: the grid's text of the stored value.
            db.execute(QStringLiteral("UPDATE tblData SET [T] = %1").arg(QLatin1String(k.stored)), jet::dbFailOnError);
            db.connection().bump();
            form->gridModel()->refreshRows();
            typed = form->gridModel()->data(form->gridModel()->index(0, col), Qt::DisplayRole).toString();
            EXPECT_EQ(typed.toStdString(), k.shown);
        } else {
            typed = QString::fromLatin1(k.typed);
        }
        SCOPED_TRACE(typed.toStdString());
        const QString expected = QString::fromLatin1(k.shown);
        auto putBefore = [&]() {
            db.execute(QStringLiteral("UPDATE tblData SET [T] = %1").arg(before), jet::dbFailOnError);
            db.connection().bump();
            form->gridModel()->refreshRows();
            ASSERT_EQ(value(c), beforeShown);
        };
        for (const QString& literal : {QLatin1Char('"') + typed + QLatin1Char('"'), QLatin1Char('#') + typed + QLatin1Char('#'),
                                       QStringLiteral("CDATE(\"%1\")").arg(typed)}) {
            SCOPED_TRACE("SQL " + literal.toStdString());
            putBefore();
            try {
                db.execute(QStringLiteral("UPDATE tblData SET [T] = %1").arg(literal), jet::dbFailOnError);
            } catch (const jet::JetError& e) {
                ADD_FAILURE() << e.description().toStdString();
            }
            EXPECT_EQ(value(c), expected);
        }
        {
            SCOPED_TRACE("grid");
            putBefore();
            const QModelIndex cell = form->gridModel()->index(0, col);
            form->DBGridData->setCurrentIndex(cell);
            EXPECT_TRUE(form->gridModel()->setData(cell, typed, Qt::EditRole));
            EXPECT_EQ(value(c), expected);
            EXPECT_EQ(form->gridModel()->data(cell, Qt::DisplayRole).toString(), expected);
        }
        {
            SCOPED_TRACE("Replace All");
            putBefore();
            form->DBGridData->setCurrentIndex(form->gridModel()->index(0, col));
            if (!frmReplace::loaded())
                MDIMain::instance().command(QStringLiteral("mnureplace"))->trigger();
            frmReplace* d = frmReplace::loaded();
            ASSERT_TRUE(d);
            d->txtsearch->setText(beforeShown);
            d->txtNew->setText(typed);
            ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
            d->cmdReplaceAll_Click();
            EXPECT_EQ(value(c), expected);
        }
        {
            SCOPED_TRACE("Column Cleaner");
            putBefore();
            cleaning::ConvertRequest r;
            r.column = QStringLiteral("T");
            r.fieldType = jet::dbDate;
            r.delimiter = QStringLiteral("#");
            r.oldValues = QStringList{beforeShown};
            r.newValue = typed;
            const cleaning::ConvertResult result = cleaning::runColumnConvert(db, r);
            EXPECT_EQ(result.outcome, cleaning::ConvertOutcome::Converted) << result.message.toStdString();
            EXPECT_EQ(result.rowsChanged, 1);
            EXPECT_EQ(value(c), expected);
        }
    }
}
