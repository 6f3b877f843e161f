#include "fuzz_inputs.h"

#include "mdb_fixture.h"

#include "platform/drivers/xls_writer.h"

#include <QFile>
#include <algorithm>

namespace fuzz {
namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

jet::Value date(int y, int m, int d)
{
    return jet::Value(jet::toDateTime(jet::DateParts{y, m, d, 0, 0, 0}));
}

jet::ColumnInfo column(const char* name, int type = jet::dbText)
{
    jet::ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.size = type == jet::dbText ? 255 : 8;
    return c;
}

} // namespace

QByteArray mutate(const QByteArray& seed, std::mt19937& rng)
{
    QByteArray b = seed;
    auto pick = [&](qsizetype n) { return n <= 0 ? qsizetype(0) : qsizetype(rng() % std::uint32_t(n)); };
    const std::uint32_t words[] = {0u, 0xffffffffu, 0x7fffffffu, 0x80000000u, 0xffffu, 0x7fffu, 0x8000u, 1u, 2u,
                                   0x100u, 0x1000u, static_cast<std::uint32_t>(seed.size())};
    const int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps && !b.isEmpty(); ++s) {
        const qsizetype at = pick(b.size());
        switch (rng() % 8) {
        case 0:
        case 1:
            b[at] = char(b[at] ^ char(1 << (rng() % 8)));
            break;
        case 2:
            b[at] = char(rng() & 0xff);
            break;
        case 3:
        case 4: {
            const std::uint32_t w = words[rng() % std::size(words)];
            const int width = rng() % 2 ? 4 : 2;
            for (int i = 0; i < width && at + i < b.size(); ++i)
                b[at + i] = char((w >> (8 * i)) & 0xff);
            break;
        }
        case 5: {
            const qsizetype len = 1 + pick(std::min<qsizetype>(b.size(), 256));
            const qsizetype to = pick(b.size());
            const QByteArray block = b.mid(at, len);
            for (qsizetype i = 0; i < block.size() && to + i < b.size(); ++i)
                b[to + i] = block[i];
            break;
        }
        case 6:
            b.remove(at, 1 + pick(std::min<qsizetype>(b.size() - at, 64)));
            break;
        default:
            if (rng() % 4 == 0)
                b.truncate(at);
            else
                b[at] = char(~b[at]);
            break;
        }
    }
    return b;
}

std::vector<QByteArray> xlsSeeds(const QString& folder)
{
    const jet::ColumnList cols = {column("Name"), column("Score", jet::dbDouble), column("Born", jet::dbDate),
                                  column("Notes")};
    QString longText;
    while (longText.size() < 3000)
        longText += QStringLiteral("Zeile \u00e4\u20ac %1; ").arg(longText.size());
    std::vector<std::vector<jet::Value>> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back({jet::Value(QStringLiteral("Name %1 \u00fc").arg(i)), i % 5 ? jet::Value(i * 1.5) : jet::Value(),
                        date(1950 + i, 1 + i % 12, 1 + i % 28),
                        i == 7 ? jet::Value(longText.left(2000)) : jet::Value(QStringLiteral("n%1").arg(i))});
    std::vector<QByteArray> out;
    const struct {
        drivers::XlsVersion version;
        const char* file;
    } kinds[] = {{drivers::XlsVersion::Biff5, "seed5.xls"}, {drivers::XlsVersion::Biff8, "seed8.xls"}};
    for (const auto& k : kinds) {
        const QString path = folder + u'/' + QString::fromLatin1(k.file);
        if (drivers::writeXls(path, k.version, QStringLiteral("List"), cols, rows))
            out.push_back(readAll(path));
    }
    // A BIFF8 string long enough to continue in a second string-table record.
    QString latin;
    while (latin.size() < 12000)
        latin += QStringLiteral("Zeile \u00e4 %1; ").arg(latin.size());
    std::vector<std::vector<jet::Value>> wide = {{jet::Value(latin), jet::Value(1.0), jet::Value(),
                                                  jet::Value(QStringLiteral("x"))}};
    const QString path = folder + QStringLiteral("/seedsst.xls");
    if (drivers::writeXls(path, drivers::XlsVersion::Biff8, QStringLiteral("Wide Sheet"), cols, wide))
        out.push_back(readAll(path));
    return out;
}

std::vector<QByteArray> mdbSeeds(const QString& folder)
{
    using jet::Value;
    using namespace mdbfixture;
    QString memo;
    while (memo.size() < 6000)
        memo += QStringLiteral("Notiz \u00e4 %1 ").arg(memo.size());
    std::vector<QByteArray> out;
    for (const Version v : {Version::Jet3, Version::Jet4}) {
        Table people;
        people.name = QStringLiteral("People");
        people.columns = {{QStringLiteral("id"), Long, 0, true},     {QStringLiteral("Name"), Text, 40, false},
                          {QStringLiteral("Score"), Double, 0, false}, {QStringLiteral("Born"), DateTime, 0, false},
                          {QStringLiteral("Active"), Bool, 0, false},  {QStringLiteral("Notes"), Memo, 0, false},
                          {QStringLiteral("Visits"), Int, 0, false},   {QStringLiteral("Fee"), Money, 0, false},
                          {QStringLiteral("Ratio"), Single, 0, false}, {QStringLiteral("Level"), Byte, 0, false}};
        for (int i = 0; i < 30; ++i)
            people.rows.push_back({Value(i + 1), i % 7 ? Value(QStringLiteral("Person %1").arg(i)) : Value(), Value(i * 0.25),
                                   date(1900 + 3 * i, 1 + i % 12, 1 + i % 28), Value(i % 2 == 0),
                                   Value(v == Version::Jet4 && i == 3 ? memo : QStringLiteral("m%1").arg(i)), Value(i - 10),
                                   Value(i * 1.5), Value(i / 4.0), Value(i)});
        // The catalogue's property value of the table, long enough for a chain of pages.
        people.properties = QStringLiteral("MR2") + memo.left(v == Version::Jet4 ? 3000 : 150);
        Table sys;
        sys.name = QStringLiteral("MSysACEs");
        sys.flags = 0x80000002u;
        sys.columns = {{QStringLiteral("ObjectId"), Long, 0, false}};
        sys.rows = {{Value(1)}};
        Table lines;
        lines.name = QStringLiteral("Order Lines");
        lines.columns = {{QStringLiteral("Line"), Int, 0, false}, {QStringLiteral("Item"), Text, 10, false}};
        lines.rows = {{Value(1), Value("nut")}, {Value(2), Value()}};
        const QString path = folder + (v == Version::Jet3 ? QStringLiteral("/seed3.mdb") : QStringLiteral("/seed4.mdb"));
        if (writeMdb(path, v, {people, sys, lines}))
            out.push_back(readAll(path));
    }
    return out;
}

} // namespace fuzz
