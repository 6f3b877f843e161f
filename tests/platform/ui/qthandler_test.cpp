// The real handler's translations: style numbers to buttons and icons,
// buttons back to answer codes, filter text to Qt's filters and back to the
// filter index. The boxes are driven offscreen from a timer.
#include "platform/ui/qthandler.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(AnswersOffered, FollowTheButtonPartOfTheStyle)
{
    struct Case { int style; QList<int> answers; };
    const Case cases[] = {
        {0, {ui::vbOK}},
        {16, {ui::vbOK}},
        {1 + 32, {ui::vbOK, ui::vbCancel}},
        {33 + 256, {ui::vbOK, ui::vbCancel}},
        {2, {ui::vbAbort, ui::vbRetry, ui::vbIgnore}},
        {3 + 48, {ui::vbYes, ui::vbNo, ui::vbCancel}},
        {52, {ui::vbYes, ui::vbNo}},
        {16420, {ui::vbYes, ui::vbNo}},
        {5, {ui::vbRetry, ui::vbCancel}},
        {6, {ui::vbOK}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::answersOffered(c.style), c.answers) << "style " << c.style;
}

TEST(FileFilterText, SplitsIntoDescriptionsAndPatterns)
{
    const QList<ui::FileFilter> f = ui::parseFileFilter(QStringLiteral(
        "Delimited Text Files (*.txt, *.csv)|*.txt;*.csv|Access DB Files (*.mdb)|*.mdb|Excel Files  (*.xls)|*.xls|"
        "Act! 6.0 Files (*.dbf)|*.dbf|All Files  (*.*)|*.*|"));
    ASSERT_EQ(f.size(), 5);
    EXPECT_EQ(f[0].description, QStringLiteral("Delimited Text Files (*.txt, *.csv)"));
    EXPECT_EQ(f[0].patterns, (QStringList{QStringLiteral("*.txt"), QStringLiteral("*.csv")}));
    EXPECT_EQ(f[2].description, QStringLiteral("Excel Files  (*.xls)"));
    EXPECT_EQ(f[4].patterns, QStringList{QStringLiteral("*.*")});

    struct Case { const char* text; int count; };
    const Case cases[] = {
        {"", 0},
        {"Text|*.txt", 1},           // no closing bar
        {"Text|*.txt|Orphan", 1},    // a description without its pattern
        {"Any||", 1},                // empty pattern: everything
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::parseFileFilter(QString::fromLatin1(c.text)).size(), c.count) << c.text;
    EXPECT_EQ(ui::parseFileFilter(QStringLiteral("Any||")).at(0).patterns, QStringList{QStringLiteral("*")});

    EXPECT_EQ(ui::qtNameFilters(QStringLiteral("Text (*.txt)|*.txt;*.csv|")),
              QStringList{QStringLiteral("Text (*.txt) (*.txt *.csv)")});
}

TEST(DisplayText, CarriageReturnsBreakLines)
{
    EXPECT_EQ(ui::displayText(QStringLiteral("Missing Data File.\r\rYou must")),
              QStringLiteral("Missing Data File.\n\nYou must"));
    EXPECT_EQ(ui::displayText(QStringLiteral("a\r\nb\nc")), QStringLiteral("a\nb\nc"));
}

enum class Act { Click, Escape, Default };

struct BoxCase {
    int style;
    QMessageBox::Icon icon;
    int buttons;
    Act act;
    int clickAnswer;  // for Click
    int expected;
};

QMessageBox::StandardButton standardOf(int answer)
{
    switch (answer) {
    case ui::vbOK: return QMessageBox::Ok;
    case ui::vbCancel: return QMessageBox::Cancel;
    case ui::vbAbort: return QMessageBox::Abort;
    case ui::vbRetry: return QMessageBox::Retry;
    case ui::vbIgnore: return QMessageBox::Ignore;
    case ui::vbYes: return QMessageBox::Yes;
    default: return QMessageBox::No;
    }
}

TEST(QtHandlerMessageBox, ButtonsIconsAndAnswers)
{
    const BoxCase cases[] = {
        {0, QMessageBox::NoIcon, 1, Act::Escape, 0, ui::vbOK},
        {1 + 32, QMessageBox::Question, 2, Act::Escape, 0, ui::vbCancel},
        {3 + 48, QMessageBox::Warning, 3, Act::Click, ui::vbNo, ui::vbNo},
        {4 + 16, QMessageBox::Critical, 2, Act::Escape, 0, ui::vbNo},
        {4 + 32 + 256, QMessageBox::Question, 2, Act::Default, 0, ui::vbNo},
        {3 + 64 + 512, QMessageBox::Information, 3, Act::Default, 0, ui::vbCancel},
        {4 + 48, QMessageBox::Warning, 2, Act::Default, 0, ui::vbYes},
        {2, QMessageBox::NoIcon, 3, Act::Click, ui::vbRetry, ui::vbRetry},
    };
    for (const BoxCase& c : cases) {
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        int seenButtons = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no box";
                return;
            }
            seenIcon = box->icon();
            seenButtons = int(box->buttons().size());
            switch (c.act) {
            case Act::Click: box->button(standardOf(c.clickAnswer))->click(); break;
            case Act::Default: box->defaultButton()->click(); break;
            case Act::Escape: box->escapeButton()->click(); break;
            }
        });
        ui::MessageRequest r{QStringLiteral("question"), c.style, QStringLiteral("T"), {}, 0};
        EXPECT_EQ(ui::qtHandler().messageBox(r), c.expected) << "style " << c.style;
        EXPECT_EQ(seenIcon, c.icon) << "style " << c.style;
        EXPECT_EQ(seenButtons, c.buttons) << "style " << c.style;
    }
}

TEST(QtHandlerMessageBox, ShowsTheTextAsPlainText)
{
    QString shown;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    ui::qtHandler().messageBox({QStringLiteral("Value <b>Smith</b>\r\rnot found"), 48, QStringLiteral("T"), {}, 0});
    EXPECT_EQ(shown, QStringLiteral("Value <b>Smith</b>\n\nnot found"));
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(QtHandlerFileDialog, ReportsTheChosenFilterAndAsksNoOverwriteQuestion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath(QStringLiteral("out.xls"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ui::FileDialogRequest r;
    r.kind = ui::FileDialogKind::Save;
    r.title = QStringLiteral("Select Destination");
    r.filter = QStringLiteral("Text (*.txt)|*.txt|Excel 95  Worksheet (*.xls)|*.xls|Excel 97 (*.xls)|*.xls|");
    r.filterIndex = 1;
    r.flags = ui::FileHideReadOnly;
    r.initDir = dir.path();
    bool confirmOff = false;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "no dialog";
            return;
        }
        title = dlg->windowTitle();
        confirmOff = dlg->testOption(QFileDialog::DontConfirmOverwrite);
        if (!confirmOff) {  // accepting would ask; do not hang the test
            dlg->reject();
            return;
        }
        dlg->selectNameFilter(dlg->nameFilters().at(1));
        dlg->selectFile(existing);
        static_cast<QDialog*>(dlg)->accept();
    });
    const std::optional<ui::FileDialogAnswer> a = ui::qtHandler().fileDialog(r);
    EXPECT_EQ(title, QStringLiteral("Select Destination"));
    EXPECT_TRUE(confirmOff);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->path, existing);
    EXPECT_EQ(a->filterIndex, 2);
}

TEST(QtHandlerFileDialog, CancelGivesNothing)
{
    QTimer::singleShot(0, [] {
        if (auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dlg->reject();
    });
    ui::FileDialogRequest r;
    r.filter = QStringLiteral("All|*.*|");
    EXPECT_EQ(ui::qtHandler().fileDialog(r), std::nullopt);
}

}  // namespace
