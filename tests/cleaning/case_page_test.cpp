// The Case Converter page driven as the user drives it, over a small list
// opened in the workbench, with its prefix and exception files in place.
#include "cleaning/pages.h"

#include "app/listeditors.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include "list_fixture.h"

#include "support/workbench_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace general;

namespace {

const QString kQuestion = QStringLiteral("Change case of ALL or FILTERED values?\r\rClick  Yes for ALL values\r\r"
                                         "Click  No  for FILTERED values\r");
const QString kDone = QStringLiteral("Conversion Successful.");
constexpr int kCaseConverter = 2;

class CasePage : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;

        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        write(QStringLiteral("Settings/PreFixes.txt"), "\"Mc\"\r\n\"O'\"\r\n");
        write(QStringLiteral("Settings/Exceptions.txt"), "\"IBM\"\r\n");

        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Notes] LONGTEXT)"), jet::dbFailOnError);
        jet::Connection& c = db.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData (Name, Notes) VALUES (?1, 'n')"));
        for (const char* name : {"ann smith", "CY MCBRIDE", "al o'neil at ibm", "Dee", static_cast<const char*>(nullptr)}) {
            ins.bind(1, name ? jet::Value(QString::fromUtf8(name)) : jet::Value());
            ins.step();
            ins.reset();
        }
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    frmdataform& open()
    {
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        f.tab1->setCurrentIndex(kCaseConverter);
        return f;
    }

    static void showDuplicateResults(frmdataform& f)
    {
        f.txtCountA1->setText(QStringLiteral("5"));
        f.cmdRemov1->setEnabled(true);
        f.txtPairs->setText(QStringLiteral("3"));
    }

    static bool duplicateResultsCleared(frmdataform& f)
    {
        return f.txtCountA1->text().isEmpty() && !f.cmdRemov1->isEnabled() && f.txtPairs->text() == QLatin1String("0");
    }

    QStringList names() { return listfixture::column(db, QStringLiteral("Name")); }
};

TEST_F(CasePage, EachOptionOverAllOrTheFilteredValues)
{
    const QString null = QStringLiteral("<null>");
    const QStringList start = {u"ann smith"_qs, u"CY MCBRIDE"_qs, u"al o'neil at ibm"_qs, u"Dee"_qs, null};
    const struct {
        const char* option;
        QString pattern;
        int answer;   // 0: no question
        QStringList expected;
    } cases[] = {
        {"opt1", {}, 0, {u"ANN SMITH"_qs, u"CY MCBRIDE"_qs, u"AL O'NEIL AT IBM"_qs, u"DEE"_qs, null}},
        {"opt2", u"a*"_qs, ui::vbYes, {u"ann smith"_qs, u"cy mcbride"_qs, u"al o'neil at ibm"_qs, u"dee"_qs, null}},
        {"opt1", u"a*"_qs, ui::vbNo, {u"ANN SMITH"_qs, u"CY MCBRIDE"_qs, u"AL O'NEIL AT IBM"_qs, u"Dee"_qs, null}},
        // Proper Case with the lists the workbench read from the settings files.
        {"opt4", {}, 0, {u"Ann Smith"_qs, u"Cy McBride"_qs, u"Al O'Neil At IBM"_qs, u"Dee"_qs, null}},
        {"opt4", u"c*"_qs, ui::vbNo, {u"ann smith"_qs, u"Cy McBride"_qs, u"al o'neil at ibm"_qs, u"Dee"_qs, null}},
    };
    frmdataform& f = open();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.pattern.toStdString());
        jet::Connection& conn = db.connection();
        jet::Stmt reset(&conn, QStringLiteral("UPDATE tblData SET Name = ?1 WHERE LumacorPrimK = ?2"));
        for (int i = 0; i < 4; ++i) {
            reset.bind(1, jet::Value(start[i]));
            reset.bindInt(2, i + 1);
            reset.step();
            reset.reset();
        }
        pick(f, QStringLiteral("Name"));
        ctl<QRadioButton>(f, c.option)->click();
        ctl<QLineEdit>(f, "txtFilter")->setText(c.pattern);
        f.txtNew->setText(QStringLiteral("new"));
        showDuplicateResults(f);

        const qsizetype before = ui.shown().size();
        if (c.answer)
            ui.answerMessage(c.answer, kQuestion);
        ui.answerMessage(ui::vbOK, kDone);
        ctl<QPushButton>(f, "cmdChangeCase")->click();

        const auto& shown = ui.shown();
        ASSERT_EQ(shown.size(), before + (c.answer ? 2 : 1));
        if (c.answer) {
            EXPECT_EQ(shown[before].style, ui::vbYesNoCancel | ui::vbQuestion);
        }
        EXPECT_EQ(shown.last().style, ui::vbInformation | ui::vbOKOnly);
        EXPECT_EQ(names(), c.expected);

        // The closing steps.
        EXPECT_EQ(f.txtNew->text(), QString());
        EXPECT_TRUE(duplicateResultsCleared(f));
        EXPECT_EQ(f.gridModel()->data(f.gridModel()->index(0, 0)).toString(), c.expected[0]);
        EXPECT_EQ(ctl<QPushButton>(f, "cmdChangeCase")->text(), QStringLiteral("Change Case"));
        EXPECT_FALSE(ctl<QProgressBar>(f, "PBar3")->isVisibleTo(&f));
        EXPECT_FALSE(ctl<QLabel>(f, "lblPBar3")->isVisibleTo(&f));
        EXPECT_TRUE(f.tab1->isEnabled());
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
    }
}

TEST_F(CasePage, RunsThatChangeNothingLeaveTheOtherToolsAlone)
{
    const struct {
        const char* column;   // typed into the picker
        QString pattern;
        int answer;           // to the question; 0: none asked
        QString message;
        int style;
    } cases[] = {
        // A memo column (not offered on this page) is refused before any question.
        {"Notes", u"n*"_qs, 0, u"Only text fields can be converted."_qs, ui::vbExclamation | ui::vbOKOnly},
        {"Please Choose a Column", {}, 0, u"Only text fields can be converted."_qs, ui::vbExclamation | ui::vbOKOnly},
        {"Name", u"a*"_qs, ui::vbCancel, {}, 0},
        // Proper Case over a selection of no rows: reported, no completion message.
        {"Name", u"zz*"_qs, ui::vbNo, u"No current record."_qs, ui::vbCritical | ui::vbOKOnly},
    };
    frmdataform& f = open();
    const QStringList before = names();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        if (f.cmbColumn1->findText(QString::fromLatin1(c.column)) >= 0) {
            pick(f, QString::fromLatin1(c.column));
        } else {
            f.cmbColumn1->setCurrentIndex(-1);
            f.cmbColumn1->setEditText(QString::fromLatin1(c.column));
        }
        ctl<QPushButton>(f, "cmdChangeCase")->setEnabled(true);
        ctl<QLineEdit>(f, "txtFilter")->setText(c.pattern);
        f.txtNew->setText(QStringLiteral("new"));
        showDuplicateResults(f);

        const qsizetype shownBefore = ui.shown().size();
        if (c.answer)
            ui.answerMessage(c.answer, kQuestion);
        if (!c.message.isEmpty())
            ui.answerMessage(ui::vbOK, c.message);
        ctl<QPushButton>(f, "cmdChangeCase")->click();

        EXPECT_EQ(ui.shown().size(), shownBefore + (c.answer ? 1 : 0) + (c.message.isEmpty() ? 0 : 1));
        if (!c.message.isEmpty()) {
            EXPECT_EQ(ui.shown().last().style, c.style);
        }
        EXPECT_EQ(names(), before);
        EXPECT_EQ(f.txtNew->text(), QStringLiteral("new"));
        EXPECT_FALSE(duplicateResultsCleared(f));
        EXPECT_EQ(ctl<QPushButton>(f, "cmdChangeCase")->text(), QStringLiteral("Change Case"));
    }
}

TEST_F(CasePage, ListButtonsServeProperCaseOnly)
{
    frmdataform& f = open();
    auto* prefixes = ctl<QPushButton>(f, "cmdPrefixes");
    auto* exceptions = ctl<QPushButton>(f, "cmdExceptions");
    EXPECT_TRUE(ctl<QRadioButton>(f, "opt4")->isChecked());
    const struct {
        const char* option;
        bool enabled;
    } steps[] = {{"opt1", false}, {"opt4", true}, {"opt2", false}, {"opt4", true}};
    for (const auto& s : steps) {
        ctl<QRadioButton>(f, s.option)->click();
        EXPECT_EQ(prefixes->isEnabled(), s.enabled) << s.option;
        EXPECT_EQ(exceptions->isEnabled(), s.enabled) << s.option;
    }
}

TEST_F(CasePage, ExceptionsEditorStaysOpenBesideThePage)
{
    frmdataform& f = open();
    EXPECT_TRUE(listeditors::hasEditor(QStringLiteral("frmPrefixes")));
    EXPECT_TRUE(listeditors::hasEditor(QStringLiteral("frmExceptions")));

    auto editors = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->objectName() == QLatin1String("frmExceptions") && w->isVisible();
        return n;
    };
    ctl<QPushButton>(f, "cmdExceptions")->click();
    ctl<QPushButton>(f, "cmdExceptions")->click();   // brings the open one forward
    EXPECT_EQ(editors(), 1);
    QDialog* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmExceptions") && w->isVisible())
            editor = qobject_cast<QDialog*>(w);
    ASSERT_NE(editor, nullptr);

    // Its changes reach the conversion when it closes.
    auto* box = editor->findChild<QLineEdit*>(QStringLiteral("txtNew"));
    box->setText(QStringLiteral("SMITH"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(editors(), 0);

    pick(f, QStringLiteral("Name"));
    ui.answerMessage(ui::vbOK, kDone);
    ctl<QPushButton>(f, "cmdChangeCase")->click();
    EXPECT_EQ(names()[0], QStringLiteral("Ann SMITH"));
}

// The page's button and the Tools menu share one Exceptions editor: the menu
// brings the open one forward instead of opening a second that would
// overwrite the first one's additions when it closes.
TEST_F(CasePage, ToolsMenuBringsTheOpenExceptionsEditorForward)
{
    frmdataform& f = open();
    ctl<QPushButton>(f, "cmdExceptions")->click();
    QPointer<QDialog> opened;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmExceptions") && w->isVisible())
            opened = qobject_cast<QDialog*>(w);
    ASSERT_FALSE(opened.isNull());
    // A second window would be modal and wait here: close whatever modal
    // window appears, and count it.
    int modal = 0;
    QTimer::singleShot(0, [&modal] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            ++modal;
            w->close();
        }
    });
    MDIMain::instance().command(QStringLiteral("mnuexceptions"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(modal, 0);
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += w->objectName() == QLatin1String("frmExceptions") && w->isVisible();
    EXPECT_EQ(visible, 1);

    auto* box = opened->findChild<QLineEdit*>(QStringLiteral("txtNew"));
    box->setText(QStringLiteral("SMITH"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
    opened->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QFile file(dir.filePath(QStringLiteral("Settings/Exceptions.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\"SMITH\""));
}

} // namespace
