// Specifier parsing and the driver registry; the driver for the engine's own
// database files lives here too (reading and writing through a second
// connection on that file). A bare "[file].[table]" may also name an Access
// .mdb file: such files are told by their header, read by the mdb reader and
// written by the Jet writer (a new table in a database it made, such as a
// copy of an export template); any other file written to is a database of
// the engine's own.
#include "platform/drivers/external.h"

#include "platform/drivers/builtin.h"
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/drivers/text_html.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"

#include <QFileInfo>
#include <QMutex>

namespace drivers {

jet::Value CellView::value() const
{
    switch (kind) {
    case Kind::Null: return {};
    case Kind::Bool: return jet::Value(i != 0);
    case Kind::Long: return jet::Value(static_cast<long long>(i));
    case Kind::Double: return jet::Value(d);
    case Kind::Date: return jet::Value(jet::DateTime{d});
    case Kind::Currency: return jet::Value(jet::Currency{i});
    case Kind::Utf16: return jet::Value(utf16().toString());
    case Kind::Utf8: return jet::Value(jet::textFromUtf8(static_cast<const char*>(p), n));
    }
    return {};
}

void viewOf(const jet::Value& v, CellView& c)
{
    switch (v.kind()) {
    case jet::Kind::Null: c.kind = CellView::Kind::Null; break;
    case jet::Kind::Bool:
        c.kind = CellView::Kind::Bool;
        c.i = v.toBool() ? 1 : 0;
        break;
    case jet::Kind::Long:
        c.kind = CellView::Kind::Long;
        c.i = v.toLong();
        break;
    case jet::Kind::Double:
        c.kind = CellView::Kind::Double;
        c.d = v.toDouble();
        break;
    case jet::Kind::Date:
        c.kind = CellView::Kind::Date;
        c.d = v.toDate().serial;
        break;
    case jet::Kind::Currency:
        c.kind = CellView::Kind::Currency;
        c.i = v.currency().units;
        break;
    case jet::Kind::Text: {
        const QString& t = *v.textPtr();
        c.kind = CellView::Kind::Utf16;
        c.p = t.utf16();
        c.n = t.size();
        break;
    }
    }
}

bool RowReader::nextView(std::vector<CellView>& row)
{
    if (!next(viewed_))
        return false;
    row.resize(viewed_.size());
    for (size_t i = 0; i < viewed_.size(); ++i)
        viewOf(viewed_[i], row[i]);
    return true;
}

namespace {

QHash<QString, std::shared_ptr<Driver>>& table()
{
    static QHash<QString, std::shared_ptr<Driver>> t;
    return t;
}

class EngineReader : public RowReader {
public:
    EngineReader(std::shared_ptr<jet::Connection> c, const QString& tableName) : conn_(std::move(c))
    {
        const QString real = conn_->tableName(tableName);
        if (real.isEmpty())
            throw jet::JetError(jet::errNoTable,
                                QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                               "Make sure it exists and that its name is spelled correctly.")
                                    .arg(tableName));
        cols_ = conn_->columns(real);
        stmt_ = jet::Stmt(conn_.get(), QStringLiteral("SELECT * FROM ") + jet::quoteName(real));
    }
    const jet::ColumnList& columns() const override { return cols_; }
    bool next(std::vector<jet::Value>& row) override
    {
        if (!stmt_.step())
            return false;
        row.resize(cols_.size());
        for (size_t i = 0; i < cols_.size(); ++i)
            row[i] = stmt_.value(static_cast<int>(i), cols_[i].type);
        return true;
    }

private:
    std::shared_ptr<jet::Connection> conn_;
    jet::ColumnList cols_;
    jet::Stmt stmt_;
};

class EngineDriver : public Driver {
public:
    std::unique_ptr<RowReader> read(const Spec& spec, const QString& t) override
    {
        if (isJetFile(spec.database))
            return readMdbTable(spec.database, t);
        return std::make_unique<EngineReader>(jet::Connection::open(spec.database), t);
    }
    void write(const Spec& spec, const QString& t, const jet::ColumnList& columns, const RowSource& rows) override
    {
        if (isJetFile(spec.database)) {
            writeJetTable(spec.database, t, columns, rows);
            return;
        }
        auto c = jet::Connection::open(spec.database, !QFileInfo::exists(spec.database));
        if (!c->tableName(t).isEmpty())
            throw jet::JetError(jet::errTableExists, QStringLiteral("Table '%1' already exists.").arg(t));
        QStringList defs, marks;
        for (const jet::ColumnInfo& col : columns) {
            defs << jet::columnDefinition(col, false, false);
            marks << QStringLiteral("?");
        }
        c->inSavepoint(QStringLiteral("qb_write"), [&] {
            c->exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(jet::quoteName(t), defs.join(QLatin1String(", "))));
            jet::Stmt ins(c.get(), QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(jet::quoteName(t), marks.join(QLatin1Char(','))));
            std::vector<jet::Value> row;
            while (rows(row)) {
                for (size_t i = 0; i < columns.size(); ++i)
                    ins.bind(static_cast<int>(i + 1), i < row.size() ? jet::coerce(row[i], columns[i].type) : jet::Value());
                ins.step();
                ins.reset();
            }
        });
    }
    QStringList tables(const Spec& spec) override
    {
        if (isJetFile(spec.database))
            return mdbTables(spec.database);
        return jet::Connection::open(spec.database)->tables();
    }
};

} // namespace

Spec parseSpec(const QString& text)
{
    Spec s;
    const QStringList parts = text.split(QLatin1Char(';'));
    if (parts.size() == 1) {
        s.database = text.trimmed();   // a bare file name
        return s;
    }
    s.kind = parts[0].trimmed().toUpper();
    for (int i = 1; i < parts.size(); ++i) {
        const QString p = parts[i].trimmed();
        if (p.isEmpty())
            continue;
        const int eq = p.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw jet::JetError(jet::errCannotOpen, QStringLiteral("Could not find installable ISAM."));
        const QString key = p.left(eq).trimmed().toUpper();
        const QString val = p.mid(eq + 1).trimmed();
        if (key == QLatin1String("DATABASE"))
            s.database = val;
        else
            s.options.insert(key, val);
    }
    if (s.database.isEmpty())
        throw jet::JetError(jet::errCannotOpen, QStringLiteral("Could not find installable ISAM."));
    return s;
}

void registerDriver(const QString& kind, std::shared_ptr<Driver> driver) { table().insert(kind.toUpper(), std::move(driver)); }

void registerBuiltinDrivers()
{
    table().insert(QString(), std::make_shared<EngineDriver>());
    registerExcelDrivers();
    registerTextDriver();
    registerHtmlDriver();
}

Driver& driverFor(const Spec& spec)
{
    static const bool once = (registerBuiltinDrivers(), true);
    (void)once;
    auto it = table().find(spec.kind);
    if (it == table().end())
        throw jet::JetError(jet::errCannotOpen, QStringLiteral("Could not find installable ISAM."));
    return **it;
}

} // namespace drivers
