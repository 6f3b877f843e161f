// Completeness counts for the Statistics page. Each measured column costs one
// COUNT(*) statement on the engine; no record is walked in C++, so a million
// rows cost what the engine's scan costs, once per column.
#include "duplicates/statistics.h"

#include "platform/jet/error.h"
#include "platform/jet/recordset.h"
#include "platform/jet/types.h"

#include <QLocale>
#include <cfenv>
#include <cmath>

namespace stats {
namespace {

enum class Family { YesNo, Value, Text, Other };

Family familyOf(int type)
{
    switch (type) {
    case jet::dbBoolean: return Family::YesNo;
    case 2: case 3: case 4: case 5: case 6: case 7: case jet::dbDate: case 20: return Family::Value;
    case jet::dbText: case jet::dbMemo: return Family::Text;
    default: return Family::Other;
    }
}

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

/// Rounds to 4 decimals, an exact half going to the even digit.
double round4(double x)
{
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x * 10000.0) / 10000.0;
    std::fesetround(saved);
    return r;
}

} // namespace

std::optional<QString> countCondition(const Column& col, bool completed)
{
    const QString c = col.name;
    switch (familyOf(col.type)) {
    case Family::YesNo:
        return completed ? QStringLiteral("((([%1])= Yes ))").arg(c) : QStringLiteral("((([%1])= No ))").arg(c);
    case Family::Value:
        return completed ? QStringLiteral("((([%1]) IS NOT NULL))").arg(c) : QStringLiteral("((([%1]) IS NULL))").arg(c);
    case Family::Text:
        return completed ? QStringLiteral("[%1]<> \"\" AND [%1] IS NOT NULL ").arg(c)
                         : QStringLiteral("[%1]= \"\" OR [%1] IS NULL ").arg(c);
    case Family::Other: break;
    }
    return std::nullopt;
}

std::optional<QString> filterCondition(const Column& col, bool completed)
{
    const QString c = col.name;
    switch (familyOf(col.type)) {
    case Family::YesNo:
    case Family::Value:
        return completed ? QStringLiteral("[%1] IS NOT NULL ").arg(c) : QStringLiteral("[%1] IS NULL ").arg(c);
    case Family::Text:
        return completed ? QStringLiteral("[%1] IS NOT NULL AND [%1]<>\"\" ").arg(c)
                         : QStringLiteral("[%1] IS NULL OR [%1]=\"\" ").arg(c);
    case Family::Other: break;
    }
    return std::nullopt;
}

Result computeStatistics(jet::Database& db, const std::vector<Column>& columns, bool completed,
                         common::Progress& progress)
{
    Result r;
    try {
        {
            auto rs = db.openRecordset(QStringLiteral("SELECT Count(*) AS Count FROM tblData"), jet::dbOpenSnapshot);
            r.records = rs->eof() ? 0 : rs->value(0).toLong();
        }
        if (r.records == 0) {
            r.error = QStringLiteral("No current record.");
            return r;
        }
        double sum = 0;
        progress.start(qint64(columns.size()));
        for (const Column& c : columns) {
            const std::optional<QString> where = countCondition(c, completed);
            if (!where) {
                r.error = QString::fromLatin1(kUnknownType);
                return r;
            }
            auto rs = db.openRecordset(QStringLiteral("SELECT Count(*) AS Count FROM tblData WHERE ") + *where,
                                       jet::dbOpenSnapshot);
            ColumnScore s;
            s.name = c.name;
            s.count = rs->eof() ? 0 : rs->value(QStringLiteral("Count")).toLong();
            s.score = double(s.count) / double(r.records) * 100.0;
            sum += s.score;
            r.columns.push_back(s);
            progress.step(qint64(r.columns.size()));
        }
        r.total = columns.empty() ? 0.0 : round4(sum / double(columns.size()));
        r.ok = true;
    } catch (const std::exception& e) {
        r.error = describe(e);
    }
    return r;
}

QString scoreText(double score)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(score, 'f', 2) + QStringLiteral(" %");
}

QString totalScoreText(double total)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return QStringLiteral("Total Score = ") + loc.toString(total, 'g', 15) + QStringLiteral("%");
}

} // namespace stats
