// The scripted handler is what every flow test stands on: it must record
// each box as shown, answer in script order, and make every deviation from
// the script loud.
#include "platform/ui/scripted.h"

#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

ui::ScriptedHandler::Reporter failTest()
{
    return [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
}

const QString kImportFilter = QStringLiteral(
    "Delimited Text Files (*.txt, *.csv)|*.txt;*.csv|Access DB Files (*.mdb)|*.mdb|Excel Files  (*.xls)|*.xls|"
    "Act! 6.0 Files (*.dbf)|*.dbf|All Files  (*.*)|*.*|");

TEST(ScriptedHandler, RecordsBoxesAndAnswersInScriptOrder)
{
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbNo, QStringLiteral("Quit?"))
        .answerInput(QStringLiteral("Smith"))
        .answerMessage(ui::vbOK);

    EXPECT_EQ(ui::msgBox(QStringLiteral("Quit?"), ui::vbYesNo + ui::vbQuestion, QStringLiteral("Quit Y/N?")), ui::vbNo);
    EXPECT_EQ(ui::inputBox(QStringLiteral("Name?"), std::nullopt, QStringLiteral("x")), QStringLiteral("Smith"));
    EXPECT_EQ(ui::msgBox(QStringLiteral("Done.\r\rBye"), ui::vbInformation), ui::vbOK);

    ASSERT_EQ(ui.shown().size(), 3);
    EXPECT_EQ(ui.shown()[0].kind, ui::ScriptedHandler::Kind::Message);
    EXPECT_EQ(ui.shown()[0].style, 36);
    EXPECT_EQ(ui.shown()[0].title, QStringLiteral("Quit Y/N?"));
    EXPECT_EQ(ui.shown()[1].kind, ui::ScriptedHandler::Kind::Input);
    EXPECT_EQ(ui.shown()[1].input.defaultText, QStringLiteral("x"));
    // No title given: the application title; the prompt is kept byte for byte.
    EXPECT_EQ(ui.shown()[1].title, QStringLiteral("Lumacor Quillabrand Pro"));
    EXPECT_EQ(ui.shown()[2].title, QStringLiteral("Lumacor Quillabrand Pro"));
    EXPECT_EQ(ui.messageTexts(), (QStringList{QStringLiteral("Quit?"), QStringLiteral("Done.\r\rBye")}));
    EXPECT_EQ(ui.pendingAnswers(), 0);
    EXPECT_TRUE(ui.failures().isEmpty());
}

TEST(ScriptedHandler, ExplicitEmptyTitleIsKept)
{
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbOK);
    ui::msgBox(QStringLiteral("x"), 0, QString());
    EXPECT_EQ(ui.shown().at(0).title, QString());
}

TEST(ScriptedHandler, InputBoxCancelGivesEmptyText)
{
    ui::ScriptedHandler ui(failTest());
    ui.answerInput(std::nullopt);
    EXPECT_EQ(ui::inputBox(QStringLiteral("Name?"), QStringLiteral("T"), QStringLiteral("default")), QString());
}

// Each deviation from the script: thrown, recorded and reported.
struct Deviation {
    const char* name;
    std::function<void(ui::ScriptedHandler&)> script;
    std::function<void()> flow;
    const char* messagePart;
};

void PrintTo(const Deviation& d, std::ostream* os)
{
    *os << d.name;
}

class ScriptDeviation : public ::testing::TestWithParam<Deviation> {};

TEST_P(ScriptDeviation, FailsLoudly)
{
    const Deviation& d = GetParam();
    QStringList reported;
    {
        ui::ScriptedHandler ui([&](const QString& m) { reported << m; });
        d.script(ui);
        EXPECT_THROW(d.flow(), ui::ScriptError);
        ASSERT_FALSE(ui.failures().isEmpty());
        EXPECT_TRUE(ui.failures().first().contains(QLatin1String(d.messagePart))) << ui.failures().first().toStdString();
    }
    ASSERT_FALSE(reported.isEmpty());
    EXPECT_TRUE(reported.first().contains(QLatin1String(d.messagePart)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptDeviation,
    ::testing::Values(
        Deviation{"NothingScripted", [](ui::ScriptedHandler&) {},
                  [] { ui::msgBox(QStringLiteral("Surprise"), ui::vbCritical); }, "no answer scripted"},
        Deviation{"WrongKind", [](ui::ScriptedHandler& s) { s.answerInput(QStringLiteral("a")); },
                  [] { ui::msgBox(QStringLiteral("Surprise")); }, "next scripted answer is for the input box"},
        Deviation{"AnswerNotOffered", [](ui::ScriptedHandler& s) { s.answerMessage(ui::vbYes); },
                  [] { ui::msgBox(QStringLiteral("Export filtered?"), ui::vbOKCancel + ui::vbQuestion); },
                  "cannot answer 6"},
        Deviation{"OtherText",
                  [](ui::ScriptedHandler& s) { s.answerMessage(ui::vbOK, QStringLiteral("Operation cancelled.")); },
                  [] { ui::msgBox(QStringLiteral("Operation Cancelled.")); }, "was expected"},
        Deviation{"FilterIndexOutOfRange",
                  [](ui::ScriptedHandler& s) { s.answerFile(QStringLiteral("/tmp/a.txt"), 6); },
                  [] {
                      ui::FileDialog d;
                      d.filter = kImportFilter;
                      d.showOpen();
                  },
                  "cannot be chosen"},
        Deviation{"MissingFileWhereOneMustExist",
                  [](ui::ScriptedHandler& s) { s.answerFile(QStringLiteral("/nonexistent/list.csv")); },
                  [] {
                      ui::FileDialog d;
                      d.flags = ui::FileMustExist;
                      d.showOpen();
                  },
                  "demands an existing file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptedHandler, WithoutThrowingAFailureStillRecordsAndGivesTheSafeAnswer)
{
    QStringList reported;
    ui::ScriptedHandler ui([&](const QString& m) { reported << m; });
    ui.setThrowOnFailure(false);
    EXPECT_EQ(ui::msgBox(QStringLiteral("Delete?"), ui::vbYesNo), ui::vbNo);
    EXPECT_EQ(ui::msgBox(QStringLiteral("Go on?"), ui::vbYesNoCancel), ui::vbCancel);
    EXPECT_EQ(ui.failures().size(), 2);
    EXPECT_EQ(reported.size(), 2);
}

TEST(ScriptedHandler, UnusedAnswersAreReportedWhenItEnds)
{
    QStringList reported;
    {
        ui::ScriptedHandler ui([&](const QString& m) { reported << m; });
        ui.answerMessage(ui::vbYes).cancelFile();
        EXPECT_EQ(ui.pendingAnswers(), 2);
    }
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported.first().contains(QLatin1String("2 scripted answer(s) were never asked for")));
}

TEST(ScriptedHandler, InstallsItselfAndPutsThePreviousHandlerBack)
{
    ui::ScriptedHandler outer(failTest());
    EXPECT_EQ(&ui::handler(), &outer);
    {
        ui::ScriptedHandler inner(failTest());
        EXPECT_EQ(&ui::handler(), &inner);
        inner.answerMessage(ui::vbOK);
        ui::msgBox(QStringLiteral("inner"));
    }
    EXPECT_EQ(&ui::handler(), &outer);
    EXPECT_TRUE(outer.shown().isEmpty());
}

TEST(FileDialog, ChoiceUpdatesTheDialogAndTheRequestCarriesItsFields)
{
    ui::ScriptedHandler ui(failTest());
    ui.answerFile(QStringLiteral("/data/list.xls"), 3).answerFile(QStringLiteral("/data/out.txt"));

    ui::FileDialog d;
    d.title = QStringLiteral("Select Source");
    d.filter = kImportFilter;
    d.flags = ui::FileHideReadOnly;
    d.filterIndex = 2;
    ASSERT_EQ(d.showOpen(), QStringLiteral("/data/list.xls"));
    EXPECT_EQ(d.fileName, QStringLiteral("/data/list.xls"));
    EXPECT_EQ(d.filterIndex, 3);

    // The same object again: it opens on the filter chosen last.
    d.title = QStringLiteral("Select Destination");
    ASSERT_EQ(d.showSave(), QStringLiteral("/data/out.txt"));
    EXPECT_EQ(d.filterIndex, 3);

    ASSERT_EQ(ui.shown().size(), 2);
    const ui::FileDialogRequest& first = ui.shown()[0].file;
    EXPECT_EQ(ui.shown()[0].kind, ui::ScriptedHandler::Kind::OpenFile);
    EXPECT_EQ(first.title, QStringLiteral("Select Source"));
    EXPECT_EQ(first.filterIndex, 2);
    EXPECT_EQ(first.flags, 4);
    EXPECT_EQ(ui.shown()[1].kind, ui::ScriptedHandler::Kind::SaveFile);
    EXPECT_EQ(ui.shown()[1].file.filterIndex, 3);
    EXPECT_EQ(ui.shown()[1].file.fileName, QStringLiteral("/data/list.xls"));
}

TEST(FileDialog, CancelRaisesCancelledOnlyWhenAsked)
{
    ui::ScriptedHandler ui(failTest());
    ui.cancelFile().cancelFile();

    ui::FileDialog d;
    d.fileName = QStringLiteral("/old/path.csv");
    d.filterIndex = 4;
    EXPECT_EQ(d.showOpen(), std::nullopt);
    EXPECT_EQ(d.fileName, QStringLiteral("/old/path.csv"));
    EXPECT_EQ(d.filterIndex, 4);

    d.cancelError = true;
    try {
        d.showSave();
        ADD_FAILURE() << "cancel did not raise";
    } catch (const ui::Cancelled& c) {
        EXPECT_EQ(c.number(), 32755);
        EXPECT_EQ(c.description(), QStringLiteral("Cancel was selected."));
    }
    EXPECT_EQ(d.fileName, QStringLiteral("/old/path.csv"));
}

TEST(ScriptedHandler, KeepsTheDesktopInMemory)
{
    ui::ScriptedHandler ui(failTest());
    QWidget main;
    int hookRuns = 0;
    ui.onProcessEvents([&] { ++hookRuns; });
    ui::doEvents();
    ui::doEvents();
    EXPECT_EQ(ui.eventPumps(), 2);
    EXPECT_EQ(hookRuns, 2);

    ui::setPointer(&main, ui::Pointer::Hourglass);
    EXPECT_EQ(ui.pointer(&main), ui::Pointer::Hourglass);
    EXPECT_EQ(ui.pointer(nullptr), ui::Pointer::Default);
    ui::setPointer(&main, ui::Pointer::Default);
    EXPECT_EQ(ui.pointer(&main), ui::Pointer::Default);

    ui.setScreenSize(QSize(1023, 768));
    EXPECT_EQ(ui::screenSize(), QSize(1023, 768));

    ui::setClipboardText(QStringLiteral("  Smith "));
    EXPECT_EQ(ui::clipboardText(), QStringLiteral("  Smith "));
    ui::clearClipboard();
    EXPECT_EQ(ui::clipboardText(), QString());

    ui::winHelp(QStringLiteral("/opt/qb/LumacorProHelp.HLP"), ui::HelpContext, 780);
    ASSERT_EQ(ui.helpCalls().size(), 1);
    EXPECT_EQ(ui.helpCalls()[0].command, 1);
    EXPECT_EQ(ui.helpCalls()[0].data, 780);

    EXPECT_TRUE(ui::openWebPage(QUrl(QStringLiteral("https://example.org/"))));
    ui.setBrowserAvailable(false);
    EXPECT_FALSE(ui::openWebPage(QUrl(QStringLiteral("https://example.org/support"))));
    EXPECT_EQ(ui.webPages().size(), 2);
    // None of this is a box: the script stays clean.
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST(ScriptedHandler, HelpButtonOfABoxIsRecorded)
{
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbNo);
    ui::msgBox(QStringLiteral("\rTHIS WILL CAUSE DATA LOSS !"), 16420, std::nullopt,
               QStringLiteral("/opt/qb/LumacorProHelp.hlp"), 1170);
    const ui::MessageRequest& m = ui.shown().at(0).message;
    EXPECT_TRUE(m.style & ui::vbMsgBoxHelpButton);
    EXPECT_EQ(m.helpFile, QStringLiteral("/opt/qb/LumacorProHelp.hlp"));
    EXPECT_EQ(m.helpContext, 1170);
}

}  // namespace
