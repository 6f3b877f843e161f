// Files are replaced whole or not at all: a write that fails on a full disk
// leaves the old file as it was, no stray temporary file, and says why.
#include "platform/files/checked_file.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "support/write_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class CheckedFileTest : public ::testing::Test {
protected:
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QTemporaryDir dir;
};

TEST_F(CheckedFileTest, FailedWriteKeepsTheOldFileAndSaysWhy)
{
    const QByteArray old = "\"old list\"\r\n";
    struct Case {
        const char* what;
        qint64 size;  // bytes written
    };
    // Below the writer's block (everything goes out at commit), across it,
    // and a single large write.
    for (const Case c : {Case{"small", 9000}, Case{"blocks", 3 << 20}, Case{"one large", 2 << 20}}) {
        SCOPED_TRACE(c.what);
        const QString path = file("list.txt");
        put(path, old);
        files::CheckedFile f(path);
        ASSERT_TRUE(f.open());
        bool ok = true;
        {
            testsupport::WriteLimit limit(4096);
            if (QByteArray(c.what) == "one large") {
                ok = f.write(QByteArray(c.size, 'x'));
            } else {
                const QByteArray chunk(1000, 'y');
                for (qint64 n = 0; n < c.size; n += chunk.size())
                    ok = f.write(chunk) && ok;
            }
            ok = f.commit() && ok;
        }
        EXPECT_FALSE(ok);
        EXPECT_TRUE(f.error().startsWith(QStringLiteral("Cannot write the file '"))) << f.error().toStdString();
        EXPECT_TRUE(f.error().contains(QStringLiteral("File too large"))) << f.error().toStdString();
        EXPECT_EQ(readAll(path), old);
        EXPECT_EQ(entries(), QStringList{QStringLiteral("list.txt")});
    }
}

// A header whose fields are known only at the end is written over its place:
// the bytes land there whether the place is still in the writer's block or
// already on disk, and later writes do not put the old bytes back. A place
// past what was written is refused and nothing takes the destination's name.
TEST_F(CheckedFileTest, OverwriteLandsWhereverTheBytesAre)
{
    struct Case {
        const char* what;
        qint64 before; // bytes written before the overwrite
        qint64 after;  // and after it
    };
    const Case cases[] = {
        {"in the block", 100, 100},
        {"on disk", 3 << 20, 10},
        {"on disk, more blocks after", 3 << 20, 3 << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = file("book.bin");
        files::CheckedFile f(path);
        ASSERT_TRUE(f.open());
        ASSERT_TRUE(f.write(QByteArray(c.before, 'a')));
        ASSERT_TRUE(f.overwrite(10, "HEAD", 4));
        ASSERT_TRUE(f.write(QByteArray(c.after, 'b')));
        ASSERT_TRUE(f.overwrite(c.before + c.after - 2, "ZZ", 2)); // the very end, still in the block
        EXPECT_EQ(f.size(), c.before + c.after);
        ASSERT_TRUE(f.commit()) << f.error().toStdString();
        QByteArray want = QByteArray(c.before, 'a') + QByteArray(c.after, 'b');
        want.replace(10, 4, "HEAD");
        want.replace(want.size() - 2, 2, "ZZ");
        EXPECT_TRUE(readAll(path) == want);
    }

    const QString path = file("short.bin");
    files::CheckedFile f(path);
    ASSERT_TRUE(f.open());
    ASSERT_TRUE(f.write(QByteArray(8, 'a')));
    EXPECT_FALSE(f.overwrite(6, "XYZ", 3));
    EXPECT_FALSE(f.commit());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(entries().filter(QStringLiteral("short")).isEmpty()) << entries().join(u' ').toStdString();
}

TEST_F(CheckedFileTest, WholeFileReplacesAndKeepsPermissions)
{
    const QString path = file("export.txt");
    put(path, "old");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QFile::Permissions perms = QFile::permissions(path);
    QString error;
    ASSERT_TRUE(files::writeWholeFile(path, "\"new\"\r\n", &error)) << error.toStdString();
    EXPECT_EQ(readAll(path), QByteArray("\"new\"\r\n"));
    EXPECT_EQ(QFile::permissions(path), perms);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("export.txt")});
    // A destination in a folder that does not exist: refused with the reason.
    EXPECT_FALSE(files::writeWholeFile(file("missing/x.txt"), "x", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << error.toStdString();
}

TEST_F(CheckedFileTest, SaveOrSayShowsTheReason)
{
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    ui.answerMessage(ui::vbOK);
    const QString path = file("gTLDs.txt");
    put(path, "\"com\"\r\n");
    {
        testsupport::WriteLimit limit(2);
        EXPECT_FALSE(files::saveFileOrSay(path, "\"com\"\r\n\"net\"\r\n"));
    }
    ASSERT_EQ(ui.messageTexts().size(), 1);
    EXPECT_TRUE(ui.messageTexts()[0].contains(QStringLiteral("gTLDs.txt"))) << ui.messageTexts()[0].toStdString();
    EXPECT_EQ(ui.shown()[0].style & ui::vbCritical, ui::vbCritical);
    EXPECT_EQ(readAll(path), QByteArray("\"com\"\r\n"));
}

TEST_F(CheckedFileTest, SettingsStoreKeepsItsFileOnAFullDisk)
{
    ui::setSettingsFolder(dir.path());
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("Quillabrand"), QStringLiteral("MRUFiles"), QStringLiteral("File1"),
                                QStringLiteral("/lists/a.csv")));
    const QString ini = file("Quillabrand.ini");
    const QByteArray old = readAll(ini);
    {
        testsupport::WriteLimit limit(8);
        EXPECT_FALSE(ui::saveSetting(QStringLiteral("Quillabrand"), QStringLiteral("MRUFiles"), QStringLiteral("File2"),
                                     QStringLiteral("/lists/b.csv")));
        EXPECT_FALSE(ui::deleteSetting(QStringLiteral("Quillabrand"), QStringLiteral("MRUFiles"), QStringLiteral("File1")));
    }
    EXPECT_EQ(readAll(ini), old);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("Quillabrand.ini")});
    EXPECT_EQ(ui::getSetting(QStringLiteral("Quillabrand"), QStringLiteral("MRUFiles"), QStringLiteral("File1")),
              QStringLiteral("/lists/a.csv"));
    ASSERT_TRUE(ui::saveSetting(QStringLiteral("Quillabrand"), QStringLiteral("MRUFiles"), QStringLiteral("File2"),
                                QStringLiteral("/lists/b.csv")));
    EXPECT_EQ(ui::getSetting(QStringLiteral("Quillabrand"), QStringLiteral("mrufiles"), QStringLiteral("file2")),
              QStringLiteral("/lists/b.csv"));
    ui::setSettingsFolder(QString());
}

} // namespace
