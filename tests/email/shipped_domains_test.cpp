// The generic domain list the build writes into the program folder from the
// public suffix list: the domains in use today, every one a name the list
// file and the address check can carry, and no more than the list holds.
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

TEST(ShippedDomains, GenericListHoldsTodaysDomainsWithinItsLimit)
{
    QFile file(QStringLiteral(QB_BINARY_DIR "/Settings/gTLDs.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList names;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        ASSERT_TRUE(line.size() > 2 && line.startsWith('"') && line.endsWith('"')) << line.constData();
        names << QString::fromLatin1(line.mid(1, line.size() - 2));
    }
    // No more brand domains are left out than the limit asks for.
    EXPECT_EQ(names.size(), 1000);
    EXPECT_GT(names.size(), 500);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"com", "net", "org"}));
    const QSet<QString> set(names.begin(), names.end());
    EXPECT_EQ(set.size(), names.size());
    for (const char* wanted : {"app", "dev", "online", "shop", "xyz", "info", "museum", "email", "london",
                               "dubai", "istanbul", "taipei", "swiss", "cam", "kosher"})
        EXPECT_TRUE(set.contains(QString::fromLatin1(wanted))) << wanted;
    for (const QString& n : names) {
        EXPECT_GE(n.size(), 3) << n.toStdString();   // no country code
        for (QChar c : n)
            EXPECT_TRUE((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-') << n.toStdString();
    }
}

} // namespace
