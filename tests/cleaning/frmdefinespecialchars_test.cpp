// The special-character dialog over a temporary settings folder: moves change
// the shared flags at once, closing writes the 32 rows in row order.
#include "cleaning/frmdefinespecialchars.h"

#include "common/general.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace general;

namespace {

QString listText(const QListWidget* l)
{
    QString s;
    for (int i = 0; i < l->count(); ++i)
        s += l->item(i)->text();
    return s;
}

void select(QListWidget* l, const QString& chars)
{
    for (int i = 0; i < l->count(); ++i)
        l->item(i)->setSelected(chars.contains(l->item(i)->text()));
}

int flagOf(int code)
{
    for (int i = 1; i <= 32; ++i)
        if (gintSpecChars[size_t(i)][1] == code)
            return gintSpecChars[size_t(i)][2];
    return -1;
}

class SpecialChars : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setProgramFolder(dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        gintSpecChars = {};
        // '!' and '@' chosen, the rest not, '@' written first.
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("64,1\r\n33,1\r\n34,0\r\n");
    }
    QString file() const { return dir.filePath(QStringLiteral("Settings/SpecChars.txt")); }
    QList<QByteArray> lines() const
    {
        QFile f(file());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> out = f.readAll().split('\n');
        EXPECT_TRUE(out.takeLast().isEmpty());   // the last line ends in CR LF too
        return out;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SpecialChars, LoadsTheChosenCharactersIntoFilterFor)
{
    frmDefineSpecialChars d;
    EXPECT_EQ(listText(d.lstSelected), QStringLiteral("@!"));
    EXPECT_EQ(d.lstMain->count(), 30);
    EXPECT_TRUE(listText(d.lstMain).startsWith(QStringLiteral("\"#$%&")));
}

TEST_F(SpecialChars, SelectedMovesChangeTheFlagsAtOnce)
{
    frmDefineSpecialChars d;
    // Neighbours and a far one: removing one item must not skip the next.
    select(d.lstMain, QStringLiteral("&'(~"));
    d.cmdMove->click();
    EXPECT_EQ(listText(d.lstSelected), QStringLiteral("@!&'(~"));
    EXPECT_FALSE(listText(d.lstMain).contains(QLatin1Char('&')));
    EXPECT_EQ(d.lstMain->count(), 26);
    for (int code : {38, 39, 40, 126, 64, 33})
        EXPECT_EQ(flagOf(code), 1) << code;
    EXPECT_EQ(flagOf(37), 0);

    select(d.lstSelected, QStringLiteral("!("));
    d.cmdBack->click();
    EXPECT_EQ(listText(d.lstSelected), QStringLiteral("@&'~"));
    EXPECT_EQ(flagOf(33), 0);
    EXPECT_EQ(flagOf(40), 0);
    EXPECT_TRUE(listText(d.lstMain).endsWith(QStringLiteral("!(")));
}

TEST_F(SpecialChars, ClosingWritesAllRowsInRowOrder)
{
    struct Case { const char* name; void (frmDefineSpecialChars::*move)(); bool closeBox; const char* flag; };
    const Case cases[] = {
        {"all in, Done", &frmDefineSpecialChars::cmdMoveAll_Click, false, ",1\r"},
        {"all out, close box", &frmDefineSpecialChars::cmdBackAll_Click, true, ",0\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            frmDefineSpecialChars d;
            (d.*c.move)();
            EXPECT_EQ(d.lstMain->count() + d.lstSelected->count(), 32);
            if (c.closeBox)
                d.reject();
            else
                d.cmdDefine->click();
        }
        const QList<QByteArray> written = lines();
        ASSERT_EQ(written.size(), 32);
        EXPECT_EQ(written.front(), QByteArray("64") + c.flag);   // the file's own row order is kept
        EXPECT_EQ(written[1], QByteArray("33") + c.flag);
        for (const QByteArray& line : written)
            EXPECT_TRUE(line.endsWith(c.flag)) << line.toStdString();
    }
}
