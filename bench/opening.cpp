// The opening of a list as the benchmarks run it; see opening.h.
#include "opening.h"
#include "generator.h"

#include "workbench/opening.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

namespace bench {

void writeSettings(const QString& folder)
{
    QDir().mkpath(folder);
    QFile g(folder + QStringLiteral("/gTLDs.txt"));
    if (g.open(QIODevice::WriteOnly))
        for (const QString& d : generatorGenericDomains())
            g.write("\"" + d.toUtf8() + "\"\r\n");
    QFile cc(folder + QStringLiteral("/ccTLDs.txt"));
    if (cc.open(QIODevice::WriteOnly))
        for (const auto& [code, name] : generatorCountryDomains())
            cc.write("\"" + code.toUtf8() + "\",\"" + name.toUtf8() + "\"\r\n");
}

bool openList(jet::Database& db, const QString& path, const QString& settingsFolder, OpenedList& out, QString* error)
{
    const QString refusal = workbench::columnRefusal(workbench::listColumns(db));
    if (!refusal.isEmpty()) {
        *error = refusal;
        return false;
    }
    QElapsedTimer t;
    t.start();
    workbench::appendKey(db);
    out.keySeconds = t.nsecsElapsed() / 1e9;
    out.fieldList = workbench::buildFieldList(workbench::listColumns(db));
    workbench::loadSettings(settingsFolder);
    if (!workbench::rebuildWorkTables(db)) {
        *error = QStringLiteral("could not drop the work tables");
        return false;
    }
    out.data.setDatabaseName(path);
    out.data.setRecordSource(workbench::wholeListSource(out.fieldList));
    out.data.Refresh();
    out.model = std::make_unique<workbench::GridModel>(&out.data);
    workbench::fillCountryTable(db);
    return true;
}

qint64 readScreen(const workbench::GridModel& m, int first)
{
    qint64 chars = 0;
    for (int r = std::max(first, 0); r < std::min(first + kScreenRows, m.rowCount()); ++r)
        for (int c = 0; c < m.columnCount(); ++c)
            chars += m.data(m.index(r, c)).toString().size();
    return chars;
}

namespace {

double statusMb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

} // namespace

double residentMb() { return statusMb("VmRSS:"); }

double peakResidentMb() { return statusMb("VmHWM:"); }

void resetPeakResident()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

} // namespace bench
