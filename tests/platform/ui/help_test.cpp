// Help: which page folder a help file stands for, the context map, the
// pages shipped with the program, and the help window's commands.
#include "platform/ui/help.h"
#include "platform/ui/helpwindow.h"
#include "platform/ui/ui.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(text);
}

QByteArray page(const char* title)
{
    return QByteArray("<html><head><title>") + title + "</title></head><body><h1 id=\"top\">" + title +
           "</h1></body></html>";
}

TEST(HelpFolder, MapsEachHelpFileToItsPages)
{
    struct Case { const char* file; const char* folder; };
    const Case cases[] = {
        {"/opt/qb/LumacorProHelp.HLP", "/opt/qb/help/reference"},
        {"/opt/qb/LumacorProHelp.hlp", "/opt/qb/help/reference"},
        {"/opt/qb/Tutorial.HLP", "/opt/qb/help/tutorial"},
        {"/opt/qb\\Tutorial.HLP", "/opt/qb/help/tutorial"},
        {"  /opt/qb/Tutorial.HLP ", "/opt/qb/help/tutorial"},
        {"/opt/qb/Extra.HLP", "/opt/qb/help/extra"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::helpFolderFor(QString::fromLatin1(c.file)), QString::fromLatin1(c.folder)) << c.file;
}

TEST(HelpFolder, FindsFoldersWrittenInOtherLetters)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Help/Reference"))));
    EXPECT_EQ(ui::helpFolderFor(dir.filePath(QStringLiteral("LumacorProHelp.HLP"))),
              dir.filePath(QStringLiteral("Help/Reference")));
}

TEST(HelpMap, ReadsNumberedLinesAndSkipsTheRest)
{
    const QHash<qint64, QString> map = ui::parseHelpMap(QStringLiteral(
        "# comment\r\n"
        "30=data-table.html\r\n"
        "\n"
        " 1170 = dupe-remover.html#selected \n"
        "abc=bad.html\n"
        "=nothing.html\n"
        "40=\n"
        "no equals sign\n"
        "30=again.html\n"));
    EXPECT_EQ(map.size(), 2);
    EXPECT_EQ(map.value(30), QStringLiteral("again.html"));  // the last line for an id wins
    EXPECT_EQ(map.value(1170), QStringLiteral("dupe-remover.html#selected"));
}

class HelpBookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.filePath(QStringLiteral("help/reference"));
        writeFile(folder_ + QStringLiteral("/contents.html"), page("Contents"));
        writeFile(folder_ + QStringLiteral("/grid.html"), page("data table"));
        writeFile(folder_ + QStringLiteral("/Dupes.html"), page("Dupe Remover"));
        writeFile(folder_ + QStringLiteral("/topics.map"),
                  "30=grid.html\n700=dupes.html#top\n999=missing.html\n");
    }

    QTemporaryDir dir_;
    QString folder_;
};

TEST_F(HelpBookTest, ContextIdsLeadToTheirPages)
{
    const ui::HelpBook book = ui::HelpBook::load(folder_);
    ASSERT_TRUE(book.isValid());
    EXPECT_EQ(book.topic(30), QUrl::fromLocalFile(folder_ + QStringLiteral("/grid.html")));
    // The map's name matches the file ignoring case; the anchor is kept.
    const QUrl dupes = book.topic(700);
    EXPECT_EQ(dupes.toLocalFile(), folder_ + QStringLiteral("/Dupes.html"));
    EXPECT_EQ(dupes.fragment(), QStringLiteral("top"));
    EXPECT_TRUE(book.topic(999).isEmpty());  // mapped, but the page is missing
    EXPECT_TRUE(book.topic(12345).isEmpty());

    QStringList titles;
    for (const ui::HelpIndexEntry& e : book.index())
        titles << e.title;
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Contents"), QStringLiteral("data table"),
                                   QStringLiteral("Dupe Remover")}));
}

TEST_F(HelpBookTest, HelpWindowFollowsTheCommands)
{
    ui::HelpWindow window;
    const ui::HelpBook book = ui::HelpBook::load(folder_);

    window.showCommand(book, ui::HelpContext, 30);
    EXPECT_EQ(window.currentPage().fileName(), QStringLiteral("grid.html"));
    EXPECT_FALSE(window.indexVisible());

    window.showCommand(book, ui::HelpContext, 4242);  // unknown id: the contents
    EXPECT_EQ(window.currentPage().fileName(), QStringLiteral("contents.html"));

    window.showCommand(book, ui::HelpFinder, 0);
    EXPECT_EQ(window.currentPage().fileName(), QStringLiteral("contents.html"));
    EXPECT_TRUE(window.indexVisible());

    window.showCommand(book, ui::HelpContents, 0);
    EXPECT_FALSE(window.indexVisible());

    // A missing folder shows a note instead of failing.
    window.showCommand(ui::HelpBook::load(dir_.filePath(QStringLiteral("nowhere"))), ui::HelpContext, 30);
    EXPECT_TRUE(window.currentPage().isEmpty());
    EXPECT_FALSE(window.indexVisible());
}

TEST_F(HelpBookTest, WinHelpOpensTheBookOfTheHelpFile)
{
    ui::winHelp(dir_.filePath(QStringLiteral("LumacorProHelp.HLP")), ui::HelpContext, 30);
    ui::HelpWindow* w = ui::HelpWindow::instance();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentPage().fileName(), QStringLiteral("grid.html"));
    ui::winHelp(QString(), ui::HelpQuit);
    EXPECT_FALSE(w->isVisible());
}

// The ids the program passes: one per workbench tab, no list open, the Find
// and Filter dialogs and the Dupe Remover's two help buttons.
TEST(ShippedHelp, EveryContextIdTheProgramPassesHasAPage)
{
    const QString root = QStringLiteral(QB_SOURCE_DIR "/resources");
    const ui::HelpBook reference = ui::HelpBook::load(ui::helpFolderFor(root + QStringLiteral("/LumacorProHelp.HLP")));
    ASSERT_TRUE(reference.isValid());
    for (qint64 id : {30, 180, 320, 340, 630, 500, 780, 700, 860, 70, 90, 1150, 1170})
        EXPECT_FALSE(reference.topic(id).isEmpty()) << "context id " << id;

    const ui::HelpBook tutorial = ui::HelpBook::load(ui::helpFolderFor(root + QStringLiteral("/Tutorial.HLP")));
    ASSERT_TRUE(tutorial.isValid());

    // Every local link of every page leads to a page that exists.
    for (const ui::HelpBook* book : {&reference, &tutorial}) {
        for (const ui::HelpIndexEntry& e : book->index()) {
            QFile f(e.page.toLocalFile());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(f.readAll());
            static const QRegularExpression href(QStringLiteral("href=\"([^\"#:]+)"));
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const QString target = it.next().captured(1);
                EXPECT_TRUE(QFileInfo::exists(QFileInfo(e.page.toLocalFile()).dir().filePath(target)))
                    << e.page.toLocalFile().toStdString() << " -> " << target.toStdString();
            }
        }
    }
}

}  // namespace

// The help window lies wholly on the screen's free area: on a 1280x1024
// screen, whatever place it would take, and on the screen the test runs on,
// however its window was left or the window it helps with stands.
TEST(HelpWindowPlace, TheWindowIsPlacedInsideTheScreen)
{
    const QRect screen1280(0, 0, 1280, 1024 - 40);   // a task bar along the bottom
    const struct {
        QRect frame;
        QRect placed;
    } cases[] = {
        {{100, 100, 776, 600}, {100, 100, 776, 600}},     // inside: stays
        {{600, 700, 776, 600}, {504, 384, 776, 600}},     // past the bottom and the right edge
        {{-50, -20, 776, 600}, {0, 0, 776, 600}},         // above and left
        {{200, 300, 1400, 1200}, {0, 0, 1280, 984}},      // larger than the screen: shrunk
    };
    for (const auto& c : cases) {
        const QRect r = ui::HelpWindow::fitInside(c.frame, screen1280);
        EXPECT_EQ(r, c.placed) << c.frame.x() << "," << c.frame.y();
        EXPECT_TRUE(screen1280.contains(r));
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    ui::HelpWindow window;
    const ui::HelpBook none = ui::HelpBook::load(dir.filePath(QStringLiteral("nowhere")));
    // Left below and right of the screen's corner, then too large for it.
    window.move(available.right() - 100, available.bottom() - 50);
    window.showCommand(none, ui::HelpContents, 0);
    EXPECT_TRUE(available.contains(window.frameGeometry())) << window.frameGeometry().x() << ","
                                                             << window.frameGeometry().y();
    window.resize(available.width() + 300, available.height() + 300);
    window.showCommand(none, ui::HelpContents, 0);
    EXPECT_TRUE(available.contains(window.frameGeometry()));
    // Opened over a window that stands at the screen's bottom right.
    QWidget main;
    main.setGeometry(available.right() - 200, available.bottom() - 150, 180, 120);
    main.show();
    QApplication::setActiveWindow(&main);
    ui::HelpWindow fresh;
    fresh.showCommand(none, ui::HelpContents, 0);
    EXPECT_TRUE(available.contains(fresh.frameGeometry()));
}
