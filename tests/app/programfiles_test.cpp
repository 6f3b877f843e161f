// Program-folder names are written with "\" and in whatever letter case the
// caller chose; on this file system they must still find the files.
#include "app/programfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramFiles, ResolvesWrittenNamesToTheFilesOnDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Settings")));
    for (const char* name : {"Settings/PreFixes.txt", "Settings/TIPOFDAY.TXT", "sysbkfls.sys"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    struct Case { const char* written; const char* found; };
    const Case cases[] = {
        {"\\settings\\Prefixes.txt", "Settings/PreFixes.txt"},
        {"settings/TipOfDay.txt", "Settings/TIPOFDAY.TXT"},
        {"/SYSBKFLS.SYS", "sysbkfls.sys"},
        // Missing parts keep the caller's spelling, under the folder that exists.
        {"\\settings\\export.txt", "Settings/export.txt"},
        {"Help\\x.html", "Help/x.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::resolveIgnoringCase(dir.path(), QString::fromLatin1(c.written)),
                  dir.filePath(QString::fromLatin1(c.found)))
            << c.written;
    // A folder given with its trailing separator does not double it.
    EXPECT_EQ(app::resolveIgnoringCase(dir.path() + QStringLiteral("/"), QStringLiteral("sysbkfls.sys")),
              dir.filePath(QStringLiteral("sysbkfls.sys")));
}
