// Shared connections, prepared statements and value conversion. See connection.h.
#include "platform/jet/connection.h"

#include "platform/jet/buffered_vfs.h"
#include "platform/jet/engine_text.h"

#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/step_pump.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/jet/translator.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QMap>
#include <charconv>
#include <cmath>
#include <limits>
#include <mutex>

namespace jet {
namespace {

// Both lists outlive every connection: a Database at namespace scope (the
// program's globals) is destroyed at exit, after any function-local static,
// and its connection still unregisters here. They are therefore made once
// and never destroyed.
QMap<QString, std::weak_ptr<Connection>>& registry()
{
    static auto* r = new QMap<QString, std::weak_ptr<Connection>>;
    return *r;
}

QList<Connection*>& liveList()
{
    static auto* l = new QList<Connection*>;
    return *l;
}

QByteArray utf8(const QString& s) { return utf8OfText(s); }

#if QB_THREAD_CHECKS
// The list of connections is one thread's at a time too.
ThreadUse& registryUse()
{
    static ThreadUse use;
    return use;
}
#define QB_JET_REGISTRY() const ThreadUseScope qbJetRegistry_(registryUse(), __func__, QStringLiteral("(the list of connections)"))
#else
#define QB_JET_REGISTRY() ((void)0)
#endif

} // namespace

// ---- Stmt ---------------------------------------------------------------------

Stmt::Stmt(Connection* c, const QString& sql) : c_(c)
{
    QB_JET_CALL(c_);
    refuseInsidePumpedStep(c_);
    const QByteArray u = utf8(sql);
    const int rc = sqlite3_prepare_v2(c->handle(), u.constData(), u.size(), &s_, nullptr);
    if (rc != SQLITE_OK) {
        s_ = nullptr;
        c->raise(rc, sql);
    }
}

Stmt::~Stmt()
{
    if (s_) {
        QB_JET_CALL(c_);
        sqlite3_finalize(s_);
    }
}

Stmt::Stmt(Stmt&& o) noexcept : c_(o.c_), s_(o.s_) { o.s_ = nullptr; }

Stmt& Stmt::operator=(Stmt&& o) noexcept
{
    if (this != &o) {
        if (s_) {
            QB_JET_CALL(c_);
            sqlite3_finalize(s_);
        }
        c_ = o.c_;
        s_ = o.s_;
        o.s_ = nullptr;
    }
    return *this;
}

void Stmt::bind(int i, const Value& v)
{
    QB_JET_CALL(c_);
    switch (v.kind()) {
    case Kind::Null: sqlite3_bind_null(s_, i); break;
    case Kind::Bool: sqlite3_bind_int(s_, i, v.toBool() ? -1 : 0); break;
    case Kind::Long: sqlite3_bind_int64(s_, i, v.toLong()); break;
    case Kind::Double: sqlite3_bind_double(s_, i, v.toDouble()); break;
    // An amount goes as the count a Currency column stores; written anywhere
    // else it is converted to that column's type first (coerce).
    case Kind::Currency: sqlite3_bind_int64(s_, i, v.currency().units); break;
    case Kind::Date: {
        const QByteArray u = utf8(storedDate(v.toDate()));
        sqlite3_bind_text(s_, i, u.constData(), u.size(), SQLITE_TRANSIENT);
        break;
    }
    case Kind::Text: {
        const QByteArray u = utf8(*v.textPtr());
        sqlite3_bind_text(s_, i, u.constData(), u.size(), SQLITE_TRANSIENT);
        break;
    }
    }
}

void Stmt::bindInt(int i, qint64 v)
{
    QB_JET_CALL(c_);
    sqlite3_bind_int64(s_, i, v);
}

bool Stmt::step()
{
    QB_JET_CALL(c_);
    refuseInsidePumpedStep(c_);
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(s_);
    c_->raise(rc);
}

void Stmt::reset()
{
    QB_JET_CALL(c_);
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

int Stmt::columnCount() const
{
    QB_JET_CALL(c_);
    return sqlite3_column_count(s_);
}

QString Stmt::columnName(int i) const
{
    QB_JET_CALL(c_);
    return QString::fromUtf8(sqlite3_column_name(s_, i));
}

QString Stmt::declType(int i) const
{
    QB_JET_CALL(c_);
    const char* d = sqlite3_column_decltype(s_, i);
    return d ? QString::fromUtf8(d) : QString();
}

qint64 Stmt::int64(int i) const
{
    QB_JET_CALL(c_);
    return sqlite3_column_int64(s_, i);
}

Value Stmt::value(int i, int fieldType) const
{
    QB_JET_CALL(c_);
    const int st = sqlite3_column_type(s_, i);
    if (st == SQLITE_NULL)
        return Value();
    auto text = [&]() {
        return textFromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, i)), sqlite3_column_bytes(s_, i));
    };
    switch (fieldType) {
    case dbBoolean: return Value(sqlite3_column_int64(s_, i) != 0);
    case dbLong:
    case dbInteger:
    case dbByte:
        if (st == SQLITE_INTEGER)
            return Value(static_cast<qint64>(sqlite3_column_int64(s_, i)));
        if (st == SQLITE_FLOAT)
            return Value(static_cast<qint64>(std::nearbyint(sqlite3_column_double(s_, i))));
        return Value(text());
    case dbDouble:
    case dbSingle:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT)
            return Value(sqlite3_column_double(s_, i));
        return Value(text());
    case dbCurrency:
        // The column keeps the count of ten-thousandths.
        if (st == SQLITE_INTEGER)
            return Value(Currency{sqlite3_column_int64(s_, i)});
        if (st == SQLITE_FLOAT)
            return Value(sqlite3_column_double(s_, i));
        if (st == SQLITE_BLOB)
            if (const auto c = currencyOfBlob(sqlite3_column_blob(s_, i), sqlite3_column_bytes(s_, i)))
                return Value(*c);
        return Value(text());
    case dbDate:
        if (st == SQLITE_TEXT) {
            const QString t = text();
            if (auto d = parseStoredDate(t))
                return Value(*d);
            return Value(t);
        }
        return Value(DateTime{sqlite3_column_double(s_, i)});
    case dbText:
    case dbMemo:
        if (st == SQLITE_TEXT || st == SQLITE_BLOB)
            return Value(text());
        if (st == SQLITE_INTEGER)
            return Value(QString::number(sqlite3_column_int64(s_, i)));
        return Value(numberText(sqlite3_column_double(s_, i)));
    default:
        switch (st) {
        case SQLITE_INTEGER: return Value(static_cast<qint64>(sqlite3_column_int64(s_, i)));
        case SQLITE_FLOAT: return Value(sqlite3_column_double(s_, i));
        default: {
            if (st == SQLITE_BLOB)
                if (const auto c = currencyOfBlob(sqlite3_column_blob(s_, i), sqlite3_column_bytes(s_, i)))
                    return Value(*c);
            const QString t = text();
            if (auto d = parseStoredDate(t))
                return Value(*d);
            return Value(t);
        }
        }
    }
}

// ---- Connection -----------------------------------------------------------------

std::shared_ptr<Connection> Connection::open(const QString& pathIn, bool create)
{
    QB_JET_REGISTRY();
    QFileInfo fi(pathIn);
    if (!create && !fi.isFile())
        throw JetError(errCannotOpen, QStringLiteral("Could not find file '%1'.").arg(pathIn));
    const QString key = fi.exists() ? fi.canonicalFilePath() : fi.absoluteFilePath();
    if (auto existing = registry().value(key).lock())
        return existing;
    if (fi.isFile() && fi.size() > 0) {
        QFile f(pathIn);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray head = f.read(16);
            if (head != QByteArray("SQLite format 3\0", 16))
                throw JetError(errExternal, QStringLiteral("Unrecognized database format '%1'.").arg(pathIn));
        }
    }
    // The engine's allocation statistics take a process-wide lock on every
    // allocation; nothing reads them. They can only be switched off before
    // the engine's first use (later the call is refused, harmlessly). The
    // files are written through the gathering layer (buffered_vfs.h).
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        installBufferedFiles();
        return true;
    }();
    (void)configured;
    std::shared_ptr<Connection> c(new Connection);
    const QByteArray u = utf8(fi.absoluteFilePath());
    // A connection is used by one thread at a time (the worker threads of a
    // run never call the engine), so it takes no lock of its own on every
    // call: on a million-row scan those locks cost more than reading a column.
    // Debug and sanitizer builds check it on every call (thread_check.h).
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(u.constData(), &c->db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (c->db_)
            sqlite3_close(c->db_);
        c->db_ = nullptr;
        throw JetError(errCannotOpen, QStringLiteral("Could not open file '%1'.").arg(pathIn));
    }
    c->path_ = fi.absoluteFilePath();
    sqlite3_extended_result_codes(c->db_, 1);
    sqlite3_db_config(c->db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(c->db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    registerSqlFunctions(c->db_);
    // The rollback journal on disk lets a statement that fails part-way (a
    // full disk, a file-size limit) put every page back; synchronous=NORMAL
    // keeps commits safe without a sync per page. The journal leaves no file
    // beside a closed database (a copied or exported file is whole), and a
    // 32 MB page cache keeps the bulk statements of a 1M-row list quick.
    // Deleted rows are still wiped from every page that is written anyway,
    // but pages left empty by a delete are not written once more only to be
    // zeroed (the system's library does that by default): removing six
    // million duplicates of a ten-million-row list took a second longer.
    sqlite3_exec(c->db_, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=NORMAL; PRAGMA temp_store=MEMORY; "
                         "PRAGMA cache_size=-32768; PRAGMA secure_delete=FAST;",
                 nullptr, nullptr, nullptr);
    registry()[QFileInfo(pathIn).canonicalFilePath()] = c;
    liveList().append(c.get());
    return c;
}

Connection::~Connection()
{
    QB_JET_REGISTRY();
    QB_JET_CALL(this);
    liveList().removeAll(this);
    if (db_)
        sqlite3_close_v2(db_);
}

const QList<Connection*>& Connection::all()
{
    QB_JET_REGISTRY();
    return liveList();
}

void Connection::exec(const QString& sql)
{
    QB_JET_CALL(this);
    refuseInsidePumpedStep(this);
    char* err = nullptr;
    const QByteArray u = utf8(sql);
    const int rc = sqlite3_exec(db_, u.constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        raise(rc, sql);
}

qint64 Connection::changes() const
{
    QB_JET_CALL(this);
    return sqlite3_changes64(db_);
}

void Connection::raise(int rc, const QString& context) const
{
    QB_JET_CALL(this);
    const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
    const int primary = rc & 0xff;
    auto after = [&](const char* prefix) {
        const int at = msg.indexOf(QLatin1String(prefix));
        return at < 0 ? QString() : msg.mid(at + static_cast<int>(strlen(prefix))).trimmed();
    };
    if (msg.startsWith(QLatin1String("no such table:")))
        throw JetError(errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                  "Make sure it exists and that its name is spelled correctly.")
                                       .arg(after("no such table:").section(QLatin1Char('.'), -1)));
    if (msg.startsWith(QLatin1String("no such column:")))
        throw JetError(errNoField, QStringLiteral("Unknown field name: '%1'.").arg(after("no such column:")));
    if (msg.contains(QLatin1String("already exists")))
        throw JetError(errTableExists, QStringLiteral("Table '%1' already exists.")
                                           .arg(msg.section(QLatin1Char(' '), 1, 1).remove(QLatin1Char('"'))));
    if (rc == SQLITE_CONSTRAINT_CHECK || msg.startsWith(QLatin1String("CHECK constraint failed"))) {
        if (msg.contains(QLatin1String(kLenCheck)))
            throw JetError(errFieldTooSmall, QStringLiteral("The field is too small to accept the amount of data you "
                                                            "attempted to add.  Try inserting or pasting less data."));
        if (msg.contains(QLatin1String(kRangeCheck)))
            throw JetError(errOverflow, QString::fromLatin1(kOverflowText));
        throw JetError(errTypeMismatch, QString::fromLatin1(kConversionErrorText));
    }
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw JetError(errDuplicateKey,
                       QStringLiteral("The changes you requested to the table were not successful because they would "
                                      "create duplicate values in the index, primary key, or relationship.  Change the "
                                      "data in the field or fields that contain duplicate data, remove the index, or "
                                      "redefine the index to permit duplicate entries and try again."));
    if (rc == SQLITE_CONSTRAINT_NOTNULL)
        throw JetError(errNullKey, QStringLiteral("Index or primary key cannot contain a Null value."));
    if (primary == SQLITE_ERROR && msg.contains(QLatin1String("syntax error")))
        throw JetError(errSyntax, QStringLiteral("Syntax error in query expression: %1").arg(context.simplified()));
    if (primary == SQLITE_READONLY)
        throw JetError(errNotUpdatable, QStringLiteral("Cannot update.  Database or object is read-only."));
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw JetError(3211, QStringLiteral("The database engine could not lock the table because it is already in use."));
    // Errors raised by our own functions carry the engine's words already;
    // the conversions' errors keep their numbers too.
    if (msg == QLatin1String(kConversionErrorText) || msg == QLatin1String("Data type mismatch in criteria expression."))
        throw JetError(errTypeMismatch, msg);
    if (msg == QLatin1String(kOverflowText) || msg == QLatin1String("Overflow"))
        throw JetError(errOverflow, msg);
    // SUM over a Currency column adds the stored counts: past 64 bits it stops.
    if (msg == QLatin1String("integer overflow"))
        throw JetError(errOverflow, QString::fromLatin1(kOverflowText));
    if (msg == QLatin1String("Division by zero"))
        throw JetError(errDivisionByZero, msg);
    throw JetError(errGeneral, msg);
}

QString Connection::tableName(const QString& name) const
{
    QB_JET_CALL(this);
    Stmt s(const_cast<Connection*>(this),
           QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE"));
    s.bind(1, Value(name));
    if (s.step())
        return s.value(0, dbText).toString();
    // NOCASE folds ASCII only; compare the rest ourselves.
    for (const QString& t : tables())
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return QString();
}

QString Connection::requireTable(const QString& name) const
{
    QB_JET_CALL(this);
    const QString real = tableName(name);
    if (real.isEmpty())
        throw JetError(errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                  "Make sure it exists and that its name is spelled correctly.")
                                       .arg(name));
    return real;
}

bool Connection::inTransaction() const
{
    QB_JET_CALL(this);
    return db_ && !sqlite3_get_autocommit(db_);
}

void Connection::beginSavepoint(const QString& name) { exec(QStringLiteral("SAVEPOINT ") + name); }

void Connection::releaseSavepoint(const QString& name)
{
    QB_JET_CALL(this);
    // With no transaction open the engine has rolled it back already: the
    // work is lost and must not be reported as kept.
    if (!inTransaction())
        throw JetError(errGeneral, QStringLiteral("The changes could not be saved: the database engine undid them "
                                                  "after an error."));
    exec(QStringLiteral("RELEASE ") + name);
}

QString Connection::rollbackSavepoint(const QString& name) noexcept
{
    QB_JET_CALL(this);
    if (!inTransaction())
        return QString();
    QString error;
    try {
        exec(QStringLiteral("ROLLBACK TO %1; RELEASE %1").arg(name));
        return QString();
    } catch (const JetError& e) {
        error = e.description();
    } catch (...) {
        error = QStringLiteral("The changes could not be undone.");
    }
    // The savepoint may be gone while a later transaction is open; or the
    // rollback to it failed part-way. Ending the whole transaction puts the
    // file back as it was at its start, from the journal.
    if (inTransaction())
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    bump();
    return error;
}

Savepoint::Savepoint(Connection& c, const QString& name) : c_(c), name_(quoteName(name))
{
    c_.beginSavepoint(name_);
}

Savepoint::~Savepoint()
{
    if (!open_)
        return;
    c_.rollbackSavepoint(name_);
    c_.bump();
}

void Savepoint::commit()
{
    open_ = false;
    c_.releaseSavepoint(name_);
    c_.bump();
}

QStringList Connection::tables() const
{
    QB_JET_CALL(this);
    QStringList out;
    Stmt s(const_cast<Connection*>(this),
           QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                          "ORDER BY name"));
    while (s.step()) {
        const QString n = s.value(0, dbText).toString();
        if (!n.startsWith(QLatin1String("sqlite_")))
            out << n;
    }
    return out;
}

ColumnInfo columnFromDecl(const QString& name, const QString& declIn, bool rowidKey)
{
    QString decl = declIn.trimmed();
    int size = -1;
    const int lp = decl.indexOf(QLatin1Char('('));
    if (lp >= 0) {
        size = decl.mid(lp + 1, decl.indexOf(QLatin1Char(')')) - lp - 1).trimmed().toInt();
        decl = decl.left(lp).trimmed();
    }
    ColumnInfo c;
    if (rowidKey) {
        c.type = dbLong;
        c.size = 4;
        c.attributes = dbFixedField | dbAutoIncrField;
    } else if (auto p = parseTypeName(decl, size)) {
        c = *p;
    } else {
        c.type = dbText;
        c.size = 255;
        c.attributes = dbVariableField;
    }
    c.name = name;
    return c;
}

std::function<ColumnList(const QString& table)> Connection::columnsByName() const
{
    return [this](const QString& table) {
        const QString real = tableName(table);
        return real.isEmpty() ? ColumnList() : columns(real);
    };
}

ColumnList Connection::columns(const QString& table) const
{
    QB_JET_CALL(this);
    ColumnList out;
    Stmt s(const_cast<Connection*>(this), QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?1)"));
    s.bind(1, Value(table));
    std::vector<std::pair<QString, QString>> rows;
    int pkCount = 0;
    std::vector<int> pks;
    while (s.step()) {
        rows.emplace_back(s.value(0, dbText).toString(), s.value(1, dbText).toString());
        pks.push_back(static_cast<int>(s.int64(2)));
        pkCount += pks.back() > 0;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        // The row number as a key is a counter when the engine numbers it
        // (AUTOINCREMENT); a Long key of its own is stored the same way.
        bool rowidKey = pkCount == 1 && pks[i] == 1 && rows[i].second.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
        if (rowidKey) {
            int autoinc = 0;
            rowidKey = sqlite3_table_column_metadata(db_, nullptr, table.toUtf8().constData(),
                                                     rows[i].first.toUtf8().constData(), nullptr, nullptr, nullptr,
                                                     nullptr, &autoinc)
                    != SQLITE_OK
                || autoinc != 0;
        }
        out.push_back(columnFromDecl(rows[i].first, rows[i].second, rowidKey));
    }
    return out;
}

QStringList Connection::primaryKey(const QString& table) const
{
    QB_JET_CALL(this);
    Stmt s(const_cast<Connection*>(this), QStringLiteral("SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk"));
    s.bind(1, Value(table));
    QStringList out;
    while (s.step())
        out << s.value(0, dbText).toString();
    if (out.isEmpty()) {
        // A key added later is a unique index named after the table.
        Stmt ix(const_cast<Connection*>(this), QStringLiteral("SELECT name FROM pragma_index_info(?1) ORDER BY seqno"));
        ix.bind(1, Value(QStringLiteral("qbpk_") + table));
        while (ix.step())
            out << ix.value(0, dbText).toString();
    }
    return out;
}

void Connection::holdTable(const QString& table, int delta)
{
    QB_JET_CALL(this);
    const QString k = table.toLower();
    held_[k] += delta;
    if (held_[k] <= 0)
        held_.remove(k);
}

bool Connection::tableHeld(const QString& table) const
{
    QB_JET_CALL(this);
    return held_.value(table.toLower()) > 0;
}

namespace {

[[noreturn]] void conversionError() { throw JetError(errTypeMismatch, QString::fromLatin1(kConversionErrorText)); }
[[noreturn]] void overflowError() { throw JetError(errOverflow, QString::fromLatin1(kOverflowText)); }

/// The number a value gives a number field: text read as above, a flag as
/// -1 or 0, a date as its serial. Throws on what is no number.
double numberFor(const Value& v)
{
    double d = 0;
    switch (v.kind()) {
    case Kind::Text:
        switch (readNumberText(*v.textPtr(), d)) {
        case NumberRead::Number: return d;
        case NumberRead::TooLarge: overflowError();
        case NumberRead::NotNumber: conversionError();
        }
        conversionError();
    case Kind::Double:
        d = v.toDouble();
        if (std::isnan(d))
            conversionError();
        if (!std::isfinite(d))
            overflowError();
        return d;
    default: return v.toDouble();
    }
}

Value wholeNumber(const Value& v, double lo, double hi)
{
    if (v.kind() == Kind::Long || v.kind() == Kind::Bool || v.isCurrency()) {
        const qint64 i = v.toLong();   // an amount rounds half to even on its digits
        if (static_cast<double>(i) < lo || static_cast<double>(i) > hi)
            overflowError();
        return Value(static_cast<long long>(i));
    }
    const double d = std::nearbyint(numberFor(v));   // half to even, as the engine rounds
    if (d < lo || d > hi)
        overflowError();
    return Value(static_cast<long long>(d));
}

} // namespace

Value coerce(const Value& v, int fieldType)
{
    if (v.isNull())
        return v;
    switch (fieldType) {
    case dbText:
    case dbMemo:
        if (v.kind() == Kind::Double && !std::isfinite(v.toDouble()))
            overflowError();
        return v.isText() ? v : Value(v.toString());
    case dbBoolean: {
        switch (v.kind()) {
        case Kind::Bool: return v;
        case Kind::Text: {
            if (const auto word = readYesNoWord(*v.textPtr()))
                return Value(*word);
            return Value(numberFor(v) != 0.0);
        }
        default: return Value(numberFor(v) != 0.0);
        }
    }
    case dbByte: return wholeNumber(v, 0.0, 255.0);
    case dbInteger: return wholeNumber(v, -32768.0, 32767.0);
    case dbLong: return wholeNumber(v, -2147483648.0, 2147483647.0);
    case dbDouble: return Value(numberFor(v));
    case dbSingle: {
        // From half a step above the largest float on, the float is infinite.
        const double d = numberFor(v);
        if (std::fabs(d) >= kSingleLimit)
            overflowError();
        return Value(singleValue(d));
    }
    case dbCurrency: {
        // Four decimals, the currency type's scale, rounded on the decimal
        // digits as typed (on the shortest decimal of a double), kept exact.
        if (v.isCurrency()) {
            if (v.currency().units < -kCurrencyMaxUnits)
                overflowError();   // the one count below the range
            return v;
        }
        std::optional<Currency> c;
        if (v.kind() == Kind::Long || v.kind() == Kind::Bool) {
            c = currencyOfWhole(v.toLong());
        } else if (v.isText()) {
            const double d = numberFor(v);   // refuses what is no number
            const QByteArray typed = v.textPtr()->trimmed().toLatin1();
            c = currencyOfDecimal(std::string_view(typed.constData(), static_cast<size_t>(typed.size())));
            if (!c && std::fabs(d) < 1e15)
                c = currencyOf(d);   // "5." and other shapes the number reader takes
        } else {
            c = currencyOf(numberFor(v));
        }
        if (!c)
            overflowError();
        return Value(*c);
    }
    case dbDate: {
        DateTime d;
        if (v.kind() == Kind::Date) {
            d = v.toDate();
        } else if (v.isText()) {
            if (auto stored = parseStoredDate(*v.textPtr()))
                return Value(*stored);
            const auto typed = readDateText(*v.textPtr());
            if (!typed)
                conversionError();
            return Value(*typed);
        } else {
            d = DateTime{numberFor(v)};
        }
        if (!dateInRange(d))
            overflowError();
        return Value(d);
    }
    default: return v;
    }
}

} // namespace jet
