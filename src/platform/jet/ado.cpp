// Connection strings and the table schema, over the engine's own files and
// real Jet files alike (both read through the drivers of external tables).
#include "platform/jet/ado.h"

#include "platform/drivers/external.h"
#include "platform/jet/error.h"

#include <QFileInfo>

namespace jet {

QString connectionValue(const QString& cs, const QString& key)
{
    for (const QString& part : cs.split(QLatin1Char(';'))) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}

AdoConnection::AdoConnection(const QString& cs) : source_(connectionValue(cs, QStringLiteral("Data Source")))
{
    if (source_.isEmpty() || !QFileInfo(source_).isFile())
        throw JetError(errCannotOpen, QStringLiteral("Could not find file '%1'.").arg(source_));
}

std::vector<SchemaTable> AdoConnection::tables(const QString& typeFilter) const
{
    drivers::Spec spec;
    spec.database = source_;
    std::vector<SchemaTable> out;
    for (const QString& n : drivers::driverFor(spec).tables(spec)) {
        SchemaTable t{n, n.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive) ? QStringLiteral("SYSTEM TABLE")
                                                                                  : QStringLiteral("TABLE")};
        if (typeFilter.isEmpty() || t.type == typeFilter)
            out.push_back(t);
    }
    return out;
}

} // namespace jet
