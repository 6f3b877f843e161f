// Databases: statements, table definitions and the workspace transaction.
// Every statement runs inside a savepoint, so a failing statement leaves
// nothing half done; bulk statements run as one SQLite statement each.
#include "platform/jet/database.h"

#include "platform/drivers/external.h"
#include "platform/jet/connection.h"
#include "platform/jet/engine_text.h"
#include "platform/jet/error.h"
#include "platform/jet/rowfeed.h"
#include "platform/jet/schema.h"
#include "platform/jet/thread_check.h"
#include "platform/jet/translator.h"

#include <sqlite3.h>

#include <QFileInfo>

#include <cmath>

namespace jet {
namespace {

[[noreturn]] void noTable(const QString& name)
{
    throw JetError(errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                              "Make sure it exists and that its name is spelled correctly.")
                                   .arg(name));
}

/// Runs f inside a savepoint: all of it happens, or none.
template <class F>
void atomically(Connection& c, F&& f)
{
    Savepoint sp(c, QStringLiteral("qb_stmt"));
    f();
    sp.commit();
}

QString qualified(const QString& schema, const QString& name)
{
    return schema.isEmpty() ? quoteName(name) : schema + QLatin1Char('.') + quoteName(name);
}

/// Copies an external table into a temporary table of the connection.
void loadExternal(Connection& c, const ExternalRef& ref)
{
    const drivers::Spec spec = drivers::parseSpec(ref.spec);
    auto reader = drivers::driverFor(spec).read(spec, ref.name);
    const ColumnList& cols = reader->columns();
    QStringList defs, marks;
    for (const ColumnInfo& col : cols) {
        ColumnInfo plain = col;
        plain.attributes &= ~dbAutoIncrField;   // an outside counter comes in as a plain number
        defs << columnDefinition(plain, false, false);
        marks << QStringLiteral("?");
    }
    c.exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(ref.placeholder));
    c.exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(quoteName(ref.placeholder), defs.join(QLatin1String(", "))));
    Stmt ins(&c, QStringLiteral("INSERT INTO temp.%1 VALUES (%2)").arg(quoteName(ref.placeholder), marks.join(QLatin1Char(','))));
    std::vector<Value> row;
    while (reader->next(row)) {
        for (size_t i = 0; i < cols.size(); ++i)
            ins.bind(static_cast<int>(i + 1), i < row.size() ? coerce(row[i], cols[i].type) : Value());
        ins.step();
        ins.reset();
    }
}

/// An external table's rows as a feed under its placeholder's name, for a
/// statement that reads them once: each value converted to its column's
/// type as a write converts it, the columns declared as the temporary table
/// of loadExternal declares them.
class ExternalFeed : public RowFeed {
public:
    explicit ExternalFeed(std::unique_ptr<drivers::RowReader> reader) : reader_(std::move(reader))
    {
        for (const ColumnInfo& col : reader_->columns()) {
            ColumnInfo plain = col;
            plain.attributes &= ~dbAutoIncrField;
            // The declared type alone: what follows the name, without the checks.
            QString def = columnDefinition(plain, false, false).mid(quoteName(col.name).size() + 1);
            for (const char* cut : {" CONSTRAINT ", " DEFAULT "}) {
                const qsizetype at = def.indexOf(QLatin1String(cut));
                if (at >= 0)
                    def.truncate(at);
            }
            names_ << col.name.toUtf8();
            types_ << def.toUtf8();
        }
        text_.resize(size_t(names_.size()));
        row_.resize(size_t(names_.size()));
        out_.resize(size_t(names_.size()));
    }
    int columnCount() const override { return int(names_.size()); }
    QByteArray columnName(int i) const override { return names_[i]; }
    QByteArray columnType(int i) const override { return types_[i]; }
    bool next() override
    {
        if (!reader_->nextView(view_))
            return false;
        const ColumnList& cols = reader_->columns();
        for (size_t i = 0; i < cols.size(); ++i) {
            Cell& out = out_[i];
            if (i >= view_.size()) {
                out.kind = Cell::Null;
                continue;
            }
            // A value already of its column's kind goes in as it is; any
            // other is converted as every write converts it.
            const drivers::CellView& v = view_[i];
            const int type = cols[i].type;
            const bool text = type == dbText || type == dbMemo;
            switch (v.kind) {
            case drivers::CellView::Kind::Null: out.kind = Cell::Null; continue;
            case drivers::CellView::Kind::Utf8:
                if (!text)
                    break;
                out = Cell{Cell::Utf8, 0, 0, v.p, v.n};
                continue;
            case drivers::CellView::Kind::Utf16:
                if (!text)
                    break;
                textCell(i, v.utf16());
                continue;
            case drivers::CellView::Kind::Double:
                if (type != dbDouble || !std::isfinite(v.d))
                    break;
                out = Cell{Cell::Real, 0, v.d, nullptr, 0};
                continue;
            case drivers::CellView::Kind::Long:
                if (type != dbLong || v.i < -2147483648LL || v.i > 2147483647LL)
                    break;
                out = Cell{Cell::Int, v.i, 0, nullptr, 0};
                continue;
            case drivers::CellView::Kind::Currency:
                if (type != dbCurrency || v.i < -kCurrencyMaxUnits)
                    break;
                out = Cell{Cell::Int, v.i, 0, nullptr, 0};
                continue;
            case drivers::CellView::Kind::Bool:
                if (type != dbBoolean)
                    break;
                out = Cell{Cell::Int, v.i ? -1 : 0, 0, nullptr, 0};
                continue;
            case drivers::CellView::Kind::Date:
                if (type != dbDate || !dateInRange(DateTime{v.d}))
                    break;
                text_[i] = storedDate(DateTime{v.d}).toUtf8();
                out = Cell{Cell::Utf8, 0, 0, text_[i].constData(), text_[i].size()};
                continue;
            }
            row_[i] = coerce(v.value(), type);
            const Value& c = row_[i];
            switch (c.kind()) {
            case Kind::Null: out.kind = Cell::Null; break;
            case Kind::Bool: out = Cell{Cell::Int, c.toBool() ? -1 : 0, 0, nullptr, 0}; break;
            case Kind::Long: out = Cell{Cell::Int, c.toLong(), 0, nullptr, 0}; break;
            case Kind::Double: out = Cell{Cell::Real, 0, c.toDouble(), nullptr, 0}; break;
            case Kind::Currency: out = Cell{Cell::Int, c.currency().units, 0, nullptr, 0}; break;
            case Kind::Date:
                text_[i] = storedDate(c.toDate()).toUtf8();
                out = Cell{Cell::Utf8, 0, 0, text_[i].constData(), text_[i].size()};
                break;
            case Kind::Text: textCell(i, *c.textPtr()); break;
            }
        }
        return true;
    }
    void result(sqlite3_context* ctx, int i) const override
    {
        // Text is copied: it stays in the reader's row or in ours only until
        // the following next(), and a statement may keep a value longer
        // (max() keeps a text it takes for its own as it is).
        const Cell& c = out_[size_t(i)];
        switch (c.kind) {
        case Cell::Null: sqlite3_result_null(ctx); break;
        case Cell::Int: sqlite3_result_int64(ctx, c.i); break;
        case Cell::Real: sqlite3_result_double(ctx, c.d); break;
        case Cell::Utf8: sqlite3_result_text(ctx, static_cast<const char*>(c.p), int(c.n), SQLITE_TRANSIENT); break;
        }
    }
    /// Whether a statement has asked for the rows from the first again.
    bool rewind() override
    {
        readTwice = true;
        return false;
    }

    bool readTwice = false;

private:
    /// A value as it goes to the engine; text points into the reader's row
    /// or into text_.
    struct Cell {
        enum Kind : quint8 { Null, Int, Real, Utf8 };
        Kind kind = Null;
        qint64 i = 0;
        double d = 0;
        const void* p = nullptr;
        qsizetype n = 0;   ///< bytes
    };

    /// Column i's text in the engine's form, never as UTF-16 (see utf8OfText).
    void textCell(size_t i, QStringView t)
    {
        text_[i] = utf8OfText(t);
        out_[i] = Cell{Cell::Utf8, 0, 0, text_[i].constData(), text_[i].size()};
    }

    std::unique_ptr<drivers::RowReader> reader_;
    QList<QByteArray> names_, types_;
    std::vector<drivers::CellView> view_;
    std::vector<Cell> out_;
    std::vector<Value> row_;
    std::vector<QByteArray> text_;
};

ColumnList resultColumns(Stmt& s, bool& stepped, bool& hasRow)
{
    ColumnList cols;
    QStringList seen;
    stepped = false;
    hasRow = false;
    std::vector<int> untyped;
    for (int i = 0; i < s.columnCount(); ++i) {
        QString name = s.columnName(i);
        // Two result columns of one name (D.Key, E.Key): the later ones get a number.
        QString unique = name;
        for (int n = 1; seen.contains(unique, Qt::CaseInsensitive); ++n)
            unique = name + QString::number(n);
        seen << unique;
        const QString decl = s.declType(i);
        ColumnInfo c;
        if (!decl.isEmpty()) {
            const bool rowidKey = decl.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
            c = columnFromDecl(unique, decl, rowidKey);
            c.attributes &= ~dbAutoIncrField;   // a copied key is a plain number in the new table
            if (rowidKey) {
                c.type = dbLong;
                c.size = 4;
            }
        } else {
            c.name = unique;
            c.type = 0;
            untyped.push_back(i);
        }
        cols.push_back(c);
    }
    if (!untyped.empty()) {
        stepped = true;
        hasRow = s.step();
        for (int i : untyped) {
            ColumnInfo& c = cols[static_cast<size_t>(i)];
            const int st = hasRow ? sqlite3_column_type(s.get(), i) : SQLITE_NULL;
            bool looksDate = false;
            if (st == SQLITE_TEXT)
                looksDate = looksStoredDate(s.value(i, dbText).toString());
            c.type = st == SQLITE_NULL ? dbText : fieldTypeOfStorage(st, looksDate);
            if (st == SQLITE_BLOB && currencyOfBlob(sqlite3_column_blob(s.get(), i), sqlite3_column_bytes(s.get(), i)))
                c.type = dbCurrency;
            if (c.type == dbCurrency)
                c.size = 8;
            if (c.type == dbLong)
                c.size = 4;          // COUNT, CLng, CInt: whole numbers, as the engine types them
            if (c.type == dbDouble)
                c.size = 8;
            if (c.type == dbText) {
                c.type = dbMemo;     // an expression's text has no declared length
                c.size = 0;
            }
        }
    }
    return cols;
}

} // namespace

void createTableFromSelect(Connection& c, const QString& schema, const QString& name, const QString& selectSql,
                           RowFeed* knownRows)
{
    QB_JET_CALL(&c);
    Stmt s(&c, selectSql);
    bool stepped = false, hasRow = false;
    const ColumnList cols = resultColumns(s, stepped, hasRow);
    QStringList defs;
    for (const ColumnInfo& col : cols)
        defs << columnDefinition(col, false, false);
    c.exec(QStringLiteral("CREATE %1TABLE %2 (%3)")
               .arg(schema == QLatin1String("temp") ? QStringLiteral("TEMP ") : QString(), quoteName(name),
                    defs.join(QLatin1String(", "))));
    if (!stepped && knownRows && knownRows->columnCount() == static_cast<int>(cols.size())) {
        QStringList names;
        for (int i = 0; i < knownRows->columnCount(); ++i)
            names << QString::fromUtf8(knownRows->columnName(i));
        const ScopedFeed feed(c, "qb_known_rows", *knownRows);
        Stmt ins(&c, QStringLiteral("INSERT INTO %1 SELECT %2 FROM qb_known_rows")
                         .arg(qualified(schema, name), names.join(QLatin1String(", "))));
        runFeed(ins, *knownRows);
        return;
    }
    if (!stepped) {
        c.exec(QStringLiteral("INSERT INTO %1 %2").arg(qualified(schema, name), selectSql));
        return;
    }
    // The first row was read to learn the types: copy row by row from here.
    QStringList marks;
    for (size_t i = 0; i < cols.size(); ++i)
        marks << QStringLiteral("?");
    Stmt ins(&c, QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(qualified(schema, name), marks.join(QLatin1Char(','))));
    for (bool row = hasRow; row; row = s.step()) {
        for (size_t i = 0; i < cols.size(); ++i) {
            const int at = static_cast<int>(i);
            if (cols[i].type == dbCurrency && sqlite3_column_type(s.get(), at) == SQLITE_BLOB)
                if (const auto c = currencyOfBlob(sqlite3_column_blob(s.get(), at), sqlite3_column_bytes(s.get(), at))) {
                    sqlite3_bind_int64(ins.get(), at + 1, c->units);   // the count the column stores
                    continue;
                }
            sqlite3_bind_value(ins.get(), at + 1, sqlite3_column_value(s.get(), at));
        }
        ins.step();
        ins.reset();
    }
}

Database Database::open(const QString& path, bool create) { return Database(Connection::open(path, create)); }

void Database::close() { conn_.reset(); }

QString Database::name() const { return conn_ ? conn_->path() : QString(); }

bool Database::createFromFeed(const Translated& t)
{
    Connection& c = *conn_;
    const ExternalRef& ref = t.externals.front();
    const drivers::Spec spec = drivers::parseSpec(ref.spec);
    ExternalFeed feed(drivers::driverFor(spec).read(spec, ref.name));
    Savepoint sp(c, QStringLiteral("qb_feed"));
    {
        const QByteArray name = ref.placeholder.toUtf8();
        const ScopedFeed rows(c, name.constData(), feed);
        try {
            createTableFromSelect(c, QString(), t.intoName, t.sql);
        } catch (const JetError&) {
            if (feed.error)
                std::rethrow_exception(feed.error);
            if (feed.readTwice)
                return false;   // rolled back: the temporary table's way
            throw;
        }
        Stmt n(&c, QStringLiteral("SELECT count(*) FROM ") + quoteName(t.intoName));
        n.step();
        affected_ = n.int64(0);
    }
    sp.commit();
    return true;
}

void Database::materializeExternals(const Translated& t, QStringList& temps)
{
    for (const ExternalRef& r : t.externals) {
        loadExternal(*conn_, r);
        temps << r.placeholder;
    }
}

void Database::execute(const QString& sql, int options)
{
    QB_JET_CALL(conn_);
    (void)options;
    if (!conn_)
        throw JetError(3420, QStringLiteral("Object invalid or no longer set."));
    Connection& c = *conn_;
    // The target's column types: values written into typed columns are
    // converted as every other write converts them.
    const Translated t = translate(sql, c.columnsByName());
    affected_ = 0;
    QStringList temps;
    auto dropTemps = [&]() {
        for (const QString& n : temps)
            try {
                c.exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(n));
            } catch (...) {
            }
    };
    try {
        atomically(c, [&]() {
            // A new table from one outside table: its rows go straight into
            // the new table, without a temporary copy of them all, unless the
            // statement reads them more than once.
            if (t.kind == StatementKind::SelectInto && t.intoSpec.isEmpty() && t.externals.size() == 1
                && c.tableName(t.intoName).isEmpty() && createFromFeed(t))
                return;
            materializeExternals(t, temps);
            switch (t.kind) {
            case StatementKind::Select:
                throw JetError(3065, QStringLiteral("Cannot execute a select query."));
            case StatementKind::SelectInto:
                if (t.intoSpec.isEmpty()) {
                    if (!c.tableName(t.intoName).isEmpty())
                        throw JetError(errTableExists, QStringLiteral("Table '%1' already exists.").arg(t.intoName));
                    createTableFromSelect(c, QString(), t.intoName, t.sql);
                    Stmt n(&c, QStringLiteral("SELECT count(*) FROM ") + quoteName(t.intoName));
                    n.step();
                    affected_ = n.int64(0);
                } else {
                    const drivers::Spec spec = drivers::parseSpec(t.intoSpec);
                    drivers::Driver& d = drivers::driverFor(spec);
                    Stmt s(&c, t.sql);
                    bool stepped = false, hasRow = false;
                    const ColumnList cols = resultColumns(s, stepped, hasRow);
                    bool first = true;
                    qint64 count = 0;
                    d.write(spec, t.intoName, cols, [&](std::vector<Value>& row) {
                        bool have = false;
                        if (stepped && first)
                            have = hasRow;
                        else
                            have = s.step();
                        first = false;
                        if (!have)
                            return false;
                        row.resize(cols.size());
                        for (size_t i = 0; i < cols.size(); ++i)
                            row[i] = s.value(static_cast<int>(i), cols[i].type);
                        ++count;
                        return true;
                    });
                    affected_ = count;
                }
                break;
            case StatementKind::Insert:
            case StatementKind::Update:
            case StatementKind::Delete:
                if (c.tableName(t.table).isEmpty())
                    noTable(t.table);
                c.exec(t.sql);
                affected_ = c.changes();
                break;
            case StatementKind::CreateTable:
                if (!c.tableName(t.table).isEmpty())
                    throw JetError(errTableExists, QStringLiteral("Table '%1' already exists.").arg(t.table));
                c.exec(t.sql);
                break;
            case StatementKind::DropTable: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                if (c.tableHeld(real))
                    throw JetError(3211, QStringLiteral("The database engine could not lock table '%1' because it is "
                                                        "already in use by another person or process.")
                                             .arg(real));
                c.exec(QStringLiteral("DROP TABLE ") + quoteName(real));
                c.exec(QStringLiteral("DROP INDEX IF EXISTS ") + quoteName(QStringLiteral("qbpk_") + real));
                break;
            }
            case StatementKind::AddColumn: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                FieldDef f{t.columns[0].name, t.columns[0].type, t.columns[0].size, t.columns[0].attributes, 0};
                appendField(real, f);
                break;
            }
            case StatementKind::DropColumn: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                QString col;
                for (const ColumnInfo& ci : c.columns(real))
                    if (ci.name.compare(t.column, Qt::CaseInsensitive) == 0)
                        col = ci.name;
                if (col.isEmpty())
                    throw JetError(errNoField, QStringLiteral("Field '%1' does not exist in table '%2'.").arg(t.column, real));
                if (c.primaryKey(real).contains(col, Qt::CaseInsensitive))
                    throw JetError(3280, QStringLiteral("Cannot delete a field that is part of an index or is needed by the system."));
                // Indexes of our own on the column go first (SQLite refuses otherwise).
                Stmt ix(&c, QStringLiteral("SELECT il.name FROM pragma_index_list(?1) il "
                                           "JOIN pragma_index_info(il.name) ii WHERE ii.name = ?2 AND il.origin = 'c'"));
                ix.bind(1, Value(real));
                ix.bind(2, Value(col));
                QStringList drop;
                while (ix.step())
                    drop << ix.value(0, dbText).toString();
                for (const QString& n : drop)
                    c.exec(QStringLiteral("DROP INDEX ") + quoteName(n));
                c.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(quoteName(real), quoteName(col)));
                break;
            }
            case StatementKind::AddPrimaryKey:
            case StatementKind::AddUnique: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                const QStringList pk = c.primaryKey(real);
                if (t.kind == StatementKind::AddPrimaryKey && !pk.isEmpty()) {
                    // The counter appended as the key is the key already.
                    if (pk.size() == t.keyColumns.size()
                        && pk.join(QLatin1Char('\x1f')).compare(t.keyColumns.join(QLatin1Char('\x1f')), Qt::CaseInsensitive) == 0)
                        break;
                    throw JetError(3283, QStringLiteral("Primary key already exists."));
                }
                QStringList q;
                for (const QString& k : t.keyColumns)
                    q << quoteName(k);
                const QString ixName = t.kind == StatementKind::AddPrimaryKey
                                           ? QStringLiteral("qbpk_") + real
                                           : QStringLiteral("qbix_%1_%2").arg(real, t.constraintName);
                c.exec(QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)").arg(quoteName(ixName), quoteName(real), q.join(QLatin1String(", "))));
                break;
            }
            case StatementKind::DropConstraint: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                c.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(quoteName(QStringLiteral("qbix_%1_%2").arg(real, t.constraintName))));
                break;
            }
            case StatementKind::CreateIndex: {
                const QString real = c.tableName(t.table);
                if (real.isEmpty())
                    noTable(t.table);
                QStringList q;
                for (const QString& k : t.keyColumns)
                    q << quoteName(k);
                c.exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                           .arg(t.unique ? QStringLiteral("UNIQUE ") : QString(),
                                quoteName(QStringLiteral("qbix_%1_%2").arg(real, t.constraintName)), quoteName(real),
                                q.join(QLatin1String(", "))));
                break;
            }
            case StatementKind::DropIndex: {
                const QString real = c.tableName(t.table);
                c.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(quoteName(QStringLiteral("qbix_%1_%2").arg(real, t.constraintName))));
                break;
            }
            }
        });
    } catch (...) {
        dropTemps();
        throw;
    }
    dropTemps();
}

std::unique_ptr<Recordset> Database::openRecordset(const QString& sourceIn, int type, RowFeed* knownRows)
{
    QB_JET_CALL(conn_);
    if (!conn_)
        throw JetError(3420, QStringLiteral("Object invalid or no longer set."));
    QString source = sourceIn.trimmed();
    const QString head = source.section(QLatin1Char(' '), 0, 0).toUpper();
    if (head != QLatin1String("SELECT")) {
        QString name = source;
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        const QString real = conn_->tableName(name);
        if (real.isEmpty())
            noTable(name);
        source = QStringLiteral("SELECT * FROM [%1]").arg(real);
    }
    const Translated t = translate(source);
    if (t.externals.empty())
        return std::make_unique<Recordset>(conn_, source, type, knownRows);
    // A query over another database: load its tables, compute the result once.
    QStringList temps;
    materializeExternals(t, temps);
    std::unique_ptr<Recordset> rs;
    try {
        rs = std::make_unique<Recordset>(conn_, Recordset::SqliteText{t.sql});
    } catch (...) {
        for (const QString& n : temps)
            conn_->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(n));
        throw;
    }
    for (const QString& n : temps)
        conn_->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(n));
    return rs;
}

std::vector<TableDef> Database::tableDefs() const
{
    QB_JET_CALL(conn_);
    std::vector<TableDef> out;
    for (const QString& n : conn_->tables())
        out.push_back(tableDef(n));
    return out;
}

TableDef Database::tableDef(const QString& name) const
{
    QB_JET_CALL(conn_);
    const QString real = conn_->tableName(name);
    if (real.isEmpty())
        noTable(name);
    TableDef t;
    t.name = real;
    int ord = 0;
    for (const ColumnInfo& c : conn_->columns(real))
        t.fields.push_back(FieldDef{c.name, c.type, c.size, c.attributes, ord++});
    return t;
}

bool Database::hasTable(const QString& name) const
{
    QB_JET_CALL(conn_);
    return !conn_->tableName(name).isEmpty();
}

void Database::deleteTableDef(const QString& name) { execute(QStringLiteral("DROP TABLE [%1]").arg(name)); }

namespace {

/// A counter appended to a table whose rows are numbered 1..n in table order
/// already (as every freshly filled table is) is that numbering: the column
/// is added as the table's rowid alias, which costs a change of the table's
/// definition instead of a rewrite of every row. Rows written before the
/// change hold no value for the column, and SQLite reads a rowid alias from
/// the row's number anyway. False, with nothing changed, when the table's
/// numbering has gaps or its definition is not the plain column list this
/// engine writes; the caller rebuilds the table then.
bool appendRowidKey(Connection& c, const QString& table, const ColumnInfo& key)
{
    {
        Stmt span(&c, QStringLiteral("SELECT min(rowid), max(rowid), count(*) FROM ") + quoteName(table));
        span.step();
        const qint64 rows = span.int64(2);
        if (rows > 0 && (span.int64(0) != 1 || span.int64(1) != rows))
            return false;
    }
    // SQLite places an added column's text after the last column, ahead of
    // any table constraint; a placeholder type marks where the key's goes.
    static const QString kMark = QStringLiteral("qb_rowid_key_placeholder");
    sqlite3* h = c.handle();
    int defensive = 0;
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    if (defensive)
        return false;
    bool done = false;
    atomically(c, [&]() {
        c.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(quoteName(table), quoteName(key.name), kMark));
        QString sql;
        {
            Stmt def(&c, QStringLiteral("SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?1"));
            def.bind(1, Value(table));
            if (def.step())
                sql = def.value(0, dbText).toString();
        }
        if (sql.count(kMark) != 1) {
            c.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(quoteName(table), quoteName(key.name)));
            return;
        }
        sql.replace(kMark, QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
        qint64 rows = 0;
        {
            Stmt last(&c, QStringLiteral("SELECT max(rowid) FROM ") + quoteName(table));
            if (last.step())
                rows = last.int64(0);
        }
        // The sequence table exists once any counter table was ever made.
        c.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS qb_sequence_seed (k INTEGER PRIMARY KEY AUTOINCREMENT); "
                              "DROP TABLE qb_sequence_seed"));
        qint64 version = 0;
        {
            Stmt v(&c, QStringLiteral("PRAGMA schema_version"));
            if (v.step())
                version = v.int64(0);
        }
        c.exec(QStringLiteral("PRAGMA writable_schema = ON"));
        try {
            Stmt upd(&c, QStringLiteral("UPDATE sqlite_schema SET sql = ?1 WHERE type = 'table' AND name = ?2"));
            upd.bind(1, Value(sql));
            upd.bind(2, Value(table));
            upd.step();
            Stmt seq(&c, QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)"));
            seq.bind(1, Value(table));
            seq.bindInt(2, rows);
            seq.step();
        } catch (...) {
            c.exec(QStringLiteral("PRAGMA writable_schema = OFF"));
            throw;
        }
        c.exec(QStringLiteral("PRAGMA writable_schema = OFF"));
        // A new schema version makes every connection read the definition again.
        c.exec(QStringLiteral("PRAGMA schema_version = %1").arg(version + 1));
        done = true;
    });
    c.bump();
    return done;
}

} // namespace

void Database::appendField(const QString& table, const FieldDef& f)
{
    QB_JET_CALL(conn_);
    Connection& c = *conn_;
    const QString real = c.tableName(table);
    if (real.isEmpty())
        noTable(table);
    const ColumnList cols = c.columns(real);
    for (const ColumnInfo& ci : cols)
        if (ci.name.compare(f.name, Qt::CaseInsensitive) == 0)
            throw JetError(3191, QStringLiteral("Cannot define field more than once."));
    ColumnInfo nc{f.name, f.type, f.size, f.attributes};
    if (!(f.attributes & dbAutoIncrField)) {
        c.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(quoteName(real), columnDefinition(nc, false, false)));
        c.bump();
        return;
    }
    if (!c.primaryKey(real).isEmpty())
        throw JetError(3283, QStringLiteral("Primary key already exists."));
    if (c.tableHeld(real))
        throw JetError(3211, QStringLiteral("The database engine could not lock table '%1' because it is already in use "
                                            "by another person or process.").arg(real));
    if (appendRowidKey(c, real, nc))
        return;
    // SQLite cannot add a key to a filled table: rebuild it with the counter as
    // its last column; the rows are numbered 1..n in their table order.
    atomically(c, [&]() {
        const QString tmp = QStringLiteral("qb_rebuild_") + real;
        QStringList defs, names;
        for (const ColumnInfo& ci : cols) {
            defs << columnDefinition(ci, false, false);
            names << quoteName(ci.name);
        }
        defs << columnDefinition(nc, false, true);
        c.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteName(tmp), defs.join(QLatin1String(", "))));
        c.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 ORDER BY rowid")
                   .arg(quoteName(tmp), names.join(QLatin1String(", ")), quoteName(real)));
        c.exec(QStringLiteral("DROP TABLE ") + quoteName(real));
        c.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoteName(tmp), quoteName(real)));
    });
}

namespace Workspace {

void beginTrans()
{
    for (Connection* c : Connection::all()) {
        c->beginSavepoint(QStringLiteral("qb_ws%1").arg(c->transactionDepth));
        ++c->transactionDepth;
    }
}

void commitTrans()
{
    QString error;
    for (Connection* c : Connection::all()) {
        if (c->transactionDepth == 0)
            continue;
        --c->transactionDepth;
        try {
            c->releaseSavepoint(QStringLiteral("qb_ws%1").arg(c->transactionDepth));
        } catch (const JetError& e) {
            if (error.isEmpty())
                error = e.description();
        }
        if (!c->inTransaction())
            c->transactionDepth = 0;
    }
    if (!error.isEmpty())
        throw JetError(errGeneral, error);
}

QString rollback()
{
    QString error;
    for (Connection* c : Connection::all()) {
        if (c->transactionDepth == 0)
            continue;
        --c->transactionDepth;
        const QString e = c->rollbackSavepoint(QStringLiteral("qb_ws%1").arg(c->transactionDepth));
        if (error.isEmpty())
            error = e;
        // A rollback by the engine took every level with it.
        if (!c->inTransaction())
            c->transactionDepth = 0;
        c->bump();
    }
    return error;
}

} // namespace Workspace

} // namespace jet
