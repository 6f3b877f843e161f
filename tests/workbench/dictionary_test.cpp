#include "workbench/dictionary.h"

#include "support/write_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Dictionary : public ::testing::Test {
protected:
    void write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray bytes(const QString& name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const
    {
        const auto e = spelling::readEntries(path);
        return e ? *e : QStringList{QStringLiteral("<unreadable>")};
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("dict.dic"));
};

} // namespace

TEST_F(Dictionary, LinesReadAsTheSequentialInputReadsThem)
{
    const struct {
        const char* line;
        QStringList entries;
    } cases[] = {
        {"\"Street\"", {"Street"}},
        {"Street", {"Street"}},
        {"  John Smith  ", {"John Smith"}},              // blanks around a bare entry are not part of it
        {"Smith, John", {"Smith", "John"}},              // a bare comma separates
        {"\"Smith, John\"", {"Smith, John"}},            // a quoted one does not
        {"\"O\"\"Brien\"", {"O\"Brien"}},                // a doubled quote is one quote
        {"O\"Brien", {"O\"Brien"}},                      // a quote inside a bare entry is kept
        {"\"a\" , b", {"a", "b"}},
        {"a,", {"a", ""}},                               // a trailing comma ends an empty entry
        {"", {""}},                                      // an empty line is an empty entry
        {"   ", {""}},
        {"\"unclosed, at the end", {"unclosed, at the end"}},
        {"\"  padded  \"", {"  padded  "}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(spelling::parseEntries({QString::fromUtf8(c.line)}), c.entries) << c.line;
}

TEST_F(Dictionary, AnAddedEntryReadsBackAsTheOneEntryItIs)
{
    const QStringList added = {
        QStringLiteral("Street"),        QStringLiteral("Smith, John"),   QStringLiteral("O\"Brien"),
        QStringLiteral("\"quoted\""),    QStringLiteral(" leading blank"), QStringLiteral("trailing blank "),
        QStringLiteral("Zoë Müller"),    QStringLiteral("a,\"b\",c"),
    };
    write(QStringLiteral("dict.dic"), "\"Road\"\r\n");
    for (const QString& e : added)
        ASSERT_TRUE(spelling::appendEntry(path, e).ok) << e.toStdString();
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Road")} + added);
    // A plain word is stored bare, as the older versions stored it.
    EXPECT_TRUE(bytes(QStringLiteral("dict.dic")).startsWith("\"Road\"\r\nStreet\r\n\"Smith, John\"\r\n"));
}

TEST_F(Dictionary, AddingMakesAMissingDictionaryAndKeepsAnOlderCodePage)
{
    EXPECT_FALSE(spelling::readEntries(path).has_value());
    ASSERT_TRUE(spelling::appendEntry(path, QStringLiteral("First")).ok);
    EXPECT_EQ(bytes(QStringLiteral("dict.dic")), QByteArray("First\r\n"));

    // A file of an older version, in the Windows code page, without a last line end.
    write(QStringLiteral("dict.dic"), "Caf\xe9\r\n\x93Quoted\x94\r\nLast");
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Café"), QStringLiteral("“Quoted”"), QStringLiteral("Last")}));
    ASSERT_TRUE(spelling::appendEntry(path, QStringLiteral("Noël")).ok);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("Café"), QStringLiteral("“Quoted”"), QStringLiteral("Last"),
                                      QStringLiteral("Noël")}));
}

TEST_F(Dictionary, RemovingDropsEveryCopyAndKeepsTheRestWithoutTheSeed)
{
    write(QStringLiteral("dict0.dic"), "\"Street\"\r\n\"Avenue\"\r\n");
    write(QStringLiteral("dict.dic"), "\"Street\"\r\nSmith\r\n\"Avenue\"\r\n\"Smith\"\r\nsmith\r\n\r\nJones,Smith\r\n"
                                      "\"Smith, John\"\r\n");
    int removed = 0;
    ASSERT_TRUE(spelling::removeEntry(path, QStringLiteral("Smith"), &removed).ok);
    EXPECT_EQ(removed, 3);
    // The seed's words are not added again, and a seed word can go like any other.
    EXPECT_EQ(entries(), (QStringList{"Street", "Avenue", "smith", "", "Jones", "Smith, John"}));
    EXPECT_EQ(bytes(QStringLiteral("dict.dic")),
              QByteArray("\"Street\"\r\n\"Avenue\"\r\n\"smith\"\r\n\"\"\r\n\"Jones\"\r\n\"Smith, John\"\r\n"));
    ASSERT_TRUE(spelling::removeEntry(path, QStringLiteral("Street")).ok);
    EXPECT_EQ(entries(), (QStringList{"Avenue", "smith", "", "Jones", "Smith, John"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("dict.dic"), QStringLiteral("dict0.dic")}));

    // The seed is not needed at all.
    QFile::remove(dir.filePath(QStringLiteral("dict0.dic")));
    ASSERT_TRUE(spelling::removeEntry(path, QStringLiteral("Jones")).ok);
    EXPECT_EQ(entries(), (QStringList{"Avenue", "smith", "", "Smith, John"}));
}

TEST_F(Dictionary, AFailedChangeLeavesTheDictionaryAsItWas)
{
    const QByteArray old = "\"Street\"\r\nSmith\r\nJones\r\n";
    write(QStringLiteral("dict.dic"), old);

    // The disk fills up while the new dictionary is written.
    spelling::Result r;
    spelling::Result added;
    {
        const testsupport::WriteLimit full(10);
        r = spelling::removeEntry(path, QStringLiteral("Smith"));
        added = spelling::appendEntry(path, QStringLiteral("Brown"));
    }
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.unreadable);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_FALSE(added.ok);
    EXPECT_EQ(bytes(QStringLiteral("dict.dic")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("dict.dic")});

    // A dictionary made read-only is not changed, even by a user who could.
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    EXPECT_FALSE(spelling::appendEntry(path, QStringLiteral("Brown")).ok);
    r = spelling::removeEntry(path, QStringLiteral("Smith"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.endsWith(QStringLiteral("Permission denied."))) << r.error.toStdString();
    EXPECT_EQ(bytes(QStringLiteral("dict.dic")), old);

    // A missing dictionary: nothing to remove from, and nothing is made.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(path);
    r = spelling::removeEntry(path, QStringLiteral("Smith"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.unreadable);
    EXPECT_EQ(r.error, QStringLiteral("File not found"));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(Dictionary, ARewriteKeepsTheFilePermissions)
{
    write(QStringLiteral("dict.dic"), "a\r\nb\r\n");
    const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, perms));
    ASSERT_TRUE(spelling::removeEntry(path, QStringLiteral("a")).ok);
    EXPECT_EQ(QFile::permissions(path) & 0x7077, perms & 0x7077);
}
