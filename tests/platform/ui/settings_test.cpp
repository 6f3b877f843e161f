// The settings store, pointed at a temporary folder: values come back as
// they were written, names match ignoring case, and a store that cannot be
// written says so.
#include "platform/ui/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ui::setSettingsFolder(dir_.filePath(QStringLiteral("config")));
    }
    void TearDown() override { ui::setSettingsFolder(QString()); }

    QTemporaryDir dir_;
};

const QString kApp = QStringLiteral("Lumacor Quillabrand Pro");

TEST_F(SettingsStore, ValuesComeBackAsWritten)
{
    const QString values[] = {
        QStringLiteral("C:\\Lists\\customers.csv"),
        QStringLiteral("/home/ann/lists/a, b.csv"),  // a comma must not make a list
        QStringLiteral("  blanks around  "),
        QStringLiteral("@Variant(not really)"),
        QStringLiteral("\"quoted\"; semi=colon # hash"),
        QStringLiteral("Ærø Müller 東京"),
        QStringLiteral("1"),
        QString(),
    };
    int i = 0;
    for (const QString& v : values) {
        const QString key = QString::number(++i);
        ASSERT_TRUE(ui::saveSetting(kApp, QStringLiteral("MRUFiles"), key, v)) << i;
        EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("MRUFiles"), key, QStringLiteral("default")), v)
            << v.toStdString();
    }
}

TEST_F(SettingsStore, MissingValuesGiveTheDefault)
{
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1")), QString());
    EXPECT_EQ(ui::getSetting(QStringLiteral("quillabrand"), QStringLiteral("Options"),
                             QStringLiteral("Show Tips at Startup"), QStringLiteral("1")),
              QStringLiteral("1"));
    ASSERT_TRUE(ui::saveSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1"), QStringLiteral("/a")));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("2"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("Options"), QStringLiteral("1"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST_F(SettingsStore, NamesMatchIgnoringCase)
{
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("quillabrand"), QStringLiteral("Options"),
                                QStringLiteral("Show Tips at Startup"), QStringLiteral("0")));
    EXPECT_EQ(ui::getSetting(QStringLiteral("QUILLABRAND"), QStringLiteral("options"),
                             QStringLiteral("show tips at startup"), QStringLiteral("1")),
              QStringLiteral("0"));
    // A write in other letters replaces the value instead of adding a twin.
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("Quillabrand"), QStringLiteral("OPTIONS"),
                                QStringLiteral("SHOW TIPS AT STARTUP"), QStringLiteral("1")));
    EXPECT_EQ(ui::getSetting(QStringLiteral("quillabrand"), QStringLiteral("Options"),
                             QStringLiteral("Show Tips at Startup")),
              QStringLiteral("1"));
    EXPECT_EQ(QDir(ui::settingsFolder()).entryList(QDir::Files).size(), 1);
}

TEST_F(SettingsStore, ApplicationsAndSectionsAreSeparate)
{
    ASSERT_TRUE(ui::saveSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1"), QStringLiteral("/main")));
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("unwanted instance"), QStringLiteral("MRUFiles"), QStringLiteral("1"),
                                QStringLiteral("/other")));
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("a/b\\c"), QStringLiteral("MRUFiles"), QStringLiteral("1"),
                                QStringLiteral("/slashes")));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1")), QStringLiteral("/main"));
    EXPECT_EQ(ui::getSetting(QStringLiteral("unwanted instance"), QStringLiteral("MRUFiles"), QStringLiteral("1")),
              QStringLiteral("/other"));
    EXPECT_EQ(ui::getSetting(QStringLiteral("a/b\\c"), QStringLiteral("MRUFiles"), QStringLiteral("1")),
              QStringLiteral("/slashes"));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("Options"), QStringLiteral("1")), QString());
}

TEST_F(SettingsStore, DeleteKeySectionOrApplication)
{
    const QString mru = QStringLiteral("MRUFiles");
    ASSERT_TRUE(ui::saveSetting(kApp, mru, QStringLiteral("1"), QStringLiteral("/a")));
    ASSERT_TRUE(ui::saveSetting(kApp, mru, QStringLiteral("2"), QStringLiteral("/b")));
    ASSERT_TRUE(ui::saveSetting(kApp, QStringLiteral("Options"), QStringLiteral("x"), QStringLiteral("y")));

    EXPECT_TRUE(ui::deleteSetting(kApp, QStringLiteral("mrufiles"), QStringLiteral("1")));
    EXPECT_EQ(ui::getSetting(kApp, mru, QStringLiteral("1"), QStringLiteral("gone")), QStringLiteral("gone"));
    EXPECT_EQ(ui::getSetting(kApp, mru, QStringLiteral("2")), QStringLiteral("/b"));

    EXPECT_TRUE(ui::deleteSetting(kApp, mru));
    EXPECT_EQ(ui::getSetting(kApp, mru, QStringLiteral("2"), QStringLiteral("gone")), QStringLiteral("gone"));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("Options"), QStringLiteral("x")), QStringLiteral("y"));

    EXPECT_TRUE(ui::deleteSetting(kApp));
    EXPECT_EQ(ui::getSetting(kApp, QStringLiteral("Options"), QStringLiteral("x"), QStringLiteral("gone")),
              QStringLiteral("gone"));
    EXPECT_TRUE(ui::deleteSetting(QStringLiteral("never written"), mru, QStringLiteral("1")));
}

TEST_F(SettingsStore, AStoreThatCannotBeWrittenSaysSo)
{
    // The folder's place is taken by a file: nothing can be written there.
    const QString blocked = dir_.filePath(QStringLiteral("blocked"));
    {
        QFile f(blocked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ui::setSettingsFolder(blocked + QStringLiteral("/config"));
    EXPECT_FALSE(ui::saveSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1"), QStringLiteral("/a")));

    // The application's file is a folder: the write fails at the file.
    ui::setSettingsFolder(dir_.filePath(QStringLiteral("config2")));
    ASSERT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("config2/") + kApp + QStringLiteral(".ini"))));
    EXPECT_FALSE(ui::saveSetting(kApp, QStringLiteral("MRUFiles"), QStringLiteral("1"), QStringLiteral("/a")));
}

TEST_F(SettingsStore, AHandEditedListComesBackAsWritten)
{
    ASSERT_TRUE(QDir().mkpath(ui::settingsFolder()));
    QFile f(ui::settingsFolder() + QStringLiteral("/quillabrand.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Options]\nnote=a, b\n");
    f.close();
    EXPECT_EQ(ui::getSetting(QStringLiteral("quillabrand"), QStringLiteral("Options"), QStringLiteral("note")),
              QStringLiteral("a, b"));
}

}  // namespace
