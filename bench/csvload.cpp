// A plain CSV reader for the benchmarks: the whole file is read at once and
// split record by record; one prepared insert in one transaction, then the
// key appended as the workbench appends it.
#include "csvload.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <QFile>

namespace bench {
namespace {

// Splits one record starting at pos; a quoted field may hold line ends.
// False at the end of the data.
bool nextRecord(const QString& text, qsizetype& pos, QStringList& fields)
{
    fields.clear();
    const qsizetype n = text.size();
    if (pos >= n)
        return false;
    QString field;
    bool quoted = false;
    while (pos < n) {
        const QChar c = text[pos];
        if (quoted) {
            if (c == QLatin1Char('"') && pos + 1 < n && text[pos + 1] == QLatin1Char('"')) {
                field += c;
                ++pos;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            pos += (c == QLatin1Char('\r') && pos + 1 < n && text[pos + 1] == QLatin1Char('\n')) ? 2 : 1;
            fields << field;
            return true;
        } else {
            field += c;
        }
        ++pos;
    }
    fields << field;
    return true;
}

} // namespace

bool loadCsv(jet::Database& db, const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(f.readAll());
    qsizetype pos = 0;
    QStringList cols;
    if (!nextRecord(text, pos, cols) || cols.isEmpty() || (cols.size() == 1 && cols[0].isEmpty())) {
        *error = QStringLiteral("%1 has no header row").arg(path);
        return false;
    }
    QStringList defs, marks;
    for (const QString& c : cols) {
        defs << QStringLiteral("[%1] TEXT(255)").arg(c);
        marks << QStringLiteral("?");
    }
    jet::Connection& c = db.connection();
    bool began = false;
    try {
        db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(defs.join(QLatin1String(", "))));
        c.exec(QStringLiteral("BEGIN"));
        began = true;
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(marks.join(QLatin1Char(','))));
        QStringList fields;
        qint64 record = 1;
        while (nextRecord(text, pos, fields)) {
            ++record;
            if (fields.size() == 1 && fields[0].isEmpty())
                continue;   // a blank line
            if (fields.size() > cols.size())
                throw jet::JetError(jet::errGeneral, QStringLiteral("record %1 has %2 fields, the header %3")
                                                         .arg(record)
                                                         .arg(fields.size())
                                                         .arg(cols.size()));
            for (int i = 0; i < cols.size(); ++i) {
                const QString v = i < fields.size() ? fields[i] : QString();
                ins.bind(i + 1, v.isEmpty() ? jet::Value() : jet::Value(v));
            }
            ins.step();
            ins.reset();
        }
        c.exec(QStringLiteral("COMMIT"));
        began = false;
        db.appendField(QStringLiteral("tblData"),
                       jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    } catch (const jet::JetError& e) {
        if (began) {
            try {
                c.exec(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
        }
        *error = QStringLiteral("%1: %2").arg(path, e.description());
        return false;
    }
    return true;
}

} // namespace bench
