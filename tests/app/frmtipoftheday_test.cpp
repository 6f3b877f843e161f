// The tip window: the option decides at start-up only, the menu always
// shows it, the box writes the option, and the tips come one per line.
#include "app/frmtipoftheday.h"

#include "common/general.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kSection = QStringLiteral("Options");
const QString kValue = QStringLiteral("Show Tips at Startup");

class Tips : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
        general::gintTipsFromMenu = 0;
    }
    void TearDown() override
    {
        general::setProgramFolder(QString());
        ui::setSettingsFolder(QString());
    }
    /// The tips file as shipped: in "Settings", while the window asks for "settings".
    void writeTips(const QByteArray& text)
    {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Settings")));
        QFile f(dir.filePath(QStringLiteral("Settings/TIPOFDAY.TXT")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString option() const { return ui::getSetting(frmTipoftheDay::optionApplication(), kSection, kValue, QStringLiteral("missing")); }
    void setOption(const QString& v) { ui::saveSetting(frmTipoftheDay::optionApplication(), kSection, kValue, v); }

    QTemporaryDir dir;
};

TEST_F(Tips, OptionOffKeepsItAwayAtStartupButTheMenuShowsItAndTurnsItOn)
{
    writeTips("One\nTwo\n");
    setOption(QStringLiteral("0"));
    EXPECT_EQ(frmTipoftheDay::create(), nullptr);
    EXPECT_EQ(option(), QStringLiteral("0"));

    general::gintTipsFromMenu = 1;   // what Help > Tip of the Day sets
    std::unique_ptr<frmTipoftheDay> w(frmTipoftheDay::create());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->chkLoadTipsAtStartup()->isChecked());
    EXPECT_EQ(option(), QStringLiteral("1"));
    EXPECT_EQ(general::gintTipsFromMenu, 0);
    w->chkLoadTipsAtStartup()->setChecked(false);
    EXPECT_EQ(option(), QStringLiteral("0"));
}

TEST_F(Tips, NoStoredOptionShowsTheTips)
{
    writeTips("One\n");
    ASSERT_EQ(option(), QStringLiteral("missing"));
    std::unique_ptr<frmTipoftheDay> w(frmTipoftheDay::create());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->tipText(), QStringLiteral("One"));
    EXPECT_EQ(option(), QStringLiteral("1"));
}

TEST_F(Tips, EveryLineIsOneTipAndNextStaysWithinThem)
{
    writeTips("Alpha\n\r\nGamma\r\n");
    std::unique_ptr<frmTipoftheDay> w(frmTipoftheDay::create());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->tips(), (QStringList{QStringLiteral("Alpha"), QString(), QStringLiteral("Gamma")}));
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        w->cmdNextTip_Click();
        ASSERT_GE(w->currentTip(), 1);
        ASSERT_LE(w->currentTip(), 3);
        EXPECT_EQ(w->tipText(), w->tips()[w->currentTip() - 1]);
        seen.insert(w->tipText());
    }
    EXPECT_EQ(seen.size(), 3);   // the empty line shows as an empty tip
}

TEST_F(Tips, PreviousRemembersOneStepOnly)
{
    writeTips("A\nB\nC\nD\nE\nF\nG\nH\n");
    std::unique_ptr<frmTipoftheDay> w(frmTipoftheDay::create());
    ASSERT_NE(w, nullptr);
    const QString first = w->tipText();
    w->Command1_Click();   // before any Next: nothing earlier to go back to
    EXPECT_EQ(w->tipText(), first);

    w->cmdNextTip_Click();
    const int before = w->currentTip();
    w->cmdNextTip_Click();
    w->Command1_Click();
    EXPECT_EQ(w->currentTip(), before);
    w->Command1_Click();
    EXPECT_EQ(w->currentTip(), before);
}

TEST_F(Tips, MissingFileExplainsHowToMakeOne)
{
    std::unique_ptr<frmTipoftheDay> w(frmTipoftheDay::create());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->tipText(), QStringLiteral("That the TIPOFDAY.TXT file was not found? \r\n\r\nCreate a text file named "
                                           "TIPOFDAY.TXT using NotePad with 1 tip per line. Then place it in the same "
                                           "directory as the application. "));
    w->cmdNextTip_Click();   // no tips: the buttons show nothing else
    w->Command1_Click();
    EXPECT_TRUE(w->tipText().startsWith(QStringLiteral("That the TIPOFDAY.TXT")));
}

}  // namespace
