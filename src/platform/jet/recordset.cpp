// Recordsets over a key snapshot; see recordset.h for the states.
#include "platform/jet/recordset.h"

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/thread_check.h"
#include "platform/jet/translator.h"

#include <sqlite3.h>

#include <cstring>

namespace jet {
namespace {

int tempCounter = 0;

[[noreturn]] void noCurrent() { throw JetError(errNoCurrentRecord, QStringLiteral("No current record.")); }

} // namespace

Recordset::Recordset(std::shared_ptr<Connection> c, const QString& sql, int type, RowFeed* knownRows)
    : conn_(std::move(c)), sql_(sql), type_(type)
{
    QB_JET_CALL(conn_);
    build(knownRows);
}

Recordset::Recordset(std::shared_ptr<Connection> c, const SqliteText& sql)
    : conn_(std::move(c)), sqliteSql_(sql.sql), type_(dbOpenSnapshot)
{
    QB_JET_CALL(conn_);
    build();
}

Recordset::~Recordset()
{
    try {
        close();
    } catch (...) {
    }
}

void Recordset::build(RowFeed* knownRows)
{
    Translated t;
    if (!sqliteSql_.isEmpty()) {
        t.kind = StatementKind::Select;
        t.sql = sqliteSql_;
    } else {
        // The columns' types, for the operators and comparisons that depend on them.
        t = translate(sql_, conn_->columnsByName());
    }
    if (t.kind != StatementKind::Select)
        throw JetError(errSyntax, QStringLiteral("A recordset needs a SELECT statement: ") + sql_.simplified());
    if (t.singleTable && t.externals.empty()) {
        table_ = conn_->tableName(t.baseTable);
        if (table_.isEmpty())
            throw JetError(errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                      "Make sure it exists and that its name is spelled correctly.")
                                           .arg(t.baseTable));
        selectList_ = t.selectList;
        where_ = t.whereClause;
        order_ = t.orderClause;
        topRows_ = t.topRows;
        updatable_ = type_ == dbOpenDynaset || type_ == dbOpenTable;
    } else {
        if (!t.externals.empty())
            throw JetError(errSyntax, QStringLiteral("Open external tables through Database::openRecordset."));
        table_ = QStringLiteral("qb_rs_%1").arg(++tempCounter);
        createTableFromSelect(*conn_, QStringLiteral("temp"), table_, t.sql, knownRows);
        tempTable_ = true;
        selectList_ = QStringLiteral("*");
        updatable_ = false;
    }
    conn_->holdTable(table_, 1);
    // Field descriptions from the row fetch statement.
    const QString from = tempTable_ ? QStringLiteral("temp.") + quoteName(table_) : quoteName(table_);
    fetch_ = std::make_unique<Stmt>(conn_.get(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(selectList_, from));
    const ColumnList base = conn_->columns(table_);
    fields_.clear();
    for (int i = 0; i < fetch_->columnCount(); ++i) {
        Field f;
        f.name = fetch_->columnName(i);
        const char* origin = sqlite3_column_origin_name(fetch_->get(), i);
        const QString decl = fetch_->declType(i);
        if (origin) {
            const QString o = QString::fromUtf8(origin);
            for (const ColumnInfo& c : base)
                if (c.name == o) {
                    f.type = c.type;
                    f.size = c.size;
                    f.attributes = c.attributes;
                }
            if (updatable_ && !(f.attributes & dbAutoIncrField))
                f.sourceColumn = o;
            if (updatable_)
                f.attributes |= dbUpdatableField;
        } else if (!decl.isEmpty()) {
            const ColumnInfo c = columnFromDecl(f.name, decl, false);
            f.type = c.type;
            f.size = c.size;
            f.attributes = c.attributes;
        } else {
            f.type = 0;   // by storage class
        }
        fields_.push_back(f);
    }
    loadKeys();
}

void Recordset::loadKeys()
{
    const QString from = tempTable_ ? QStringLiteral("temp.") + quoteName(table_) : quoteName(table_);
    QString q = QStringLiteral("SELECT rowid FROM ") + from;
    if (!where_.isEmpty())
        q += QLatin1String(" WHERE ") + where_;
    q += QLatin1String(" ORDER BY ") + (order_.isEmpty() ? QStringLiteral("rowid") : order_ + QLatin1String(", rowid"));
    if (!topRows_.isEmpty())
        q += QLatin1String(" LIMIT ") + topRows_;
    Stmt s(conn_.get(), q);
    keys_.clear();
    while (s.step())
        keys_.push_back(s.int64(0));
    keys_.shrink_to_fit();
    pages_.clear();
    pos_ = keys_.empty() ? -1 : 0;
    deleted_ = false;
    mode_ = Mode::None;
}

void Recordset::close()
{
    if (!conn_)
        return;
    {
        // Let go before the connection may go with the last recordset.
        QB_JET_CALL(conn_);
        conn_->holdTable(table_, -1);
        fetch_.reset();
        fetchRange_.reset();
        if (tempTable_) {
            try {
                conn_->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(table_));
            } catch (...) {
            }
        }
    }
    conn_.reset();
    keys_.clear();
    pages_.clear();
}

void Recordset::requery()
{
    QB_JET_CALL(conn_);
    if (!conn_)
        throw JetError(3420, QStringLiteral("Object invalid or no longer set."));
    if (tempTable_) {
        conn_->holdTable(table_, -1);
        fetch_.reset();
        fetchRange_.reset();
        conn_->exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + quoteName(table_));
        tempTable_ = false;
        build();
        return;
    }
    loadKeys();
}

// ---- moving ---------------------------------------------------------------------

void Recordset::requireCurrent() const
{
    if (deleted_)
        throw JetError(3167, QStringLiteral("Record is deleted."));
    if (pos_ < 0 || pos_ >= static_cast<long>(keys_.size()))
        noCurrent();
}

void Recordset::moveFirst()
{
    QB_JET_CALL(conn_);
    if (keys_.empty())
        noCurrent();
    cancelUpdate();
    pos_ = 0;
    deleted_ = false;
}

void Recordset::moveLast()
{
    QB_JET_CALL(conn_);
    if (keys_.empty())
        noCurrent();
    if (type_ == dbOpenForwardOnly && pos_ > static_cast<long>(keys_.size()) - 1)
        noCurrent();
    cancelUpdate();
    pos_ = static_cast<long>(keys_.size()) - 1;
    deleted_ = false;
}

void Recordset::moveNext()
{
    QB_JET_CALL(conn_);
    cancelUpdate();
    if (deleted_) {
        deleted_ = false;   // the next record has moved into the deleted one's place
        return;
    }
    if (eof())
        noCurrent();
    ++pos_;
}

void Recordset::movePrevious()
{
    QB_JET_CALL(conn_);
    if (type_ == dbOpenForwardOnly)
        throw JetError(3219, QStringLiteral("Invalid operation."));
    cancelUpdate();
    deleted_ = false;
    if (bof())
        noCurrent();
    --pos_;
}

void Recordset::move(long rows)
{
    QB_JET_CALL(conn_);
    cancelUpdate();
    if (keys_.empty() && rows != 0)
        noCurrent();
    const long n = static_cast<long>(keys_.size());
    long target = pos_ + rows - ((deleted_ && rows > 0) ? 1 : 0);
    deleted_ = false;
    if (target < -1)
        target = -1;
    if (target > n)
        target = n;
    pos_ = target;
}

long Recordset::absolutePosition() const
{
    if (pos_ < 0 || pos_ >= static_cast<long>(keys_.size()))
        return -1;
    return pos_;
}

void Recordset::setAbsolutePosition(long pos)
{
    QB_JET_CALL(conn_);
    if (pos < 0 || pos >= static_cast<long>(keys_.size()))
        throw JetError(3001, QStringLiteral("Invalid argument."));
    cancelUpdate();
    pos_ = pos;
    deleted_ = false;
}

QByteArray Recordset::bookmark() const
{
    requireCurrent();
    const qint64 k = keys_[static_cast<size_t>(pos_)];
    return QByteArray(reinterpret_cast<const char*>(&k), sizeof k);
}

void Recordset::setBookmark(const QByteArray& b)
{
    QB_JET_CALL(conn_);
    if (b.size() != sizeof(qint64))
        throw JetError(3159, QStringLiteral("Not a valid bookmark."));
    qint64 k = 0;
    std::memcpy(&k, b.constData(), sizeof k);
    cancelUpdate();
    // Nearby first: a bookmark usually points close to where we are.
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == k) {
            pos_ = static_cast<long>(i);
            deleted_ = false;
            return;
        }
    throw JetError(3159, QStringLiteral("Not a valid bookmark."));
}

// ---- finding --------------------------------------------------------------------

const std::unordered_set<qint64>& Recordset::matches(const QString& criteria)
{
    if (criteria == findCriteria_ && findGen_ == conn_->generation())
        return findSet_;
    const QString from = tempTable_ ? QStringLiteral("temp.") + quoteName(table_) : quoteName(table_);
    // The table's column types: a date column compares with a number by its serial,
    // a Currency column by its amount.
    const ColumnList columns = tempTable_ ? ColumnList() : conn_->columns(table_);
    Stmt s(conn_.get(), QStringLiteral("SELECT rowid FROM %1 WHERE (%2)").arg(from, translateExpression(criteria, columns)));
    findSet_.clear();
    while (s.step())
        findSet_.insert(s.int64(0));
    findCriteria_ = criteria;
    findGen_ = conn_->generation();
    return findSet_;
}

void Recordset::findFrom(long start, int step, const QString& criteria)
{
    QB_JET_CALL(conn_);
    if (!conn_)
        throw JetError(3420, QStringLiteral("Object invalid or no longer set."));
    cancelUpdate();
    const auto& set = matches(criteria);
    noMatch_ = true;
    if (set.empty())
        return;
    const long n = static_cast<long>(keys_.size());
    for (long i = start; i >= 0 && i < n; i += step) {
        if (set.count(keys_[static_cast<size_t>(i)])) {
            pos_ = i;
            deleted_ = false;
            noMatch_ = false;
            return;
        }
    }
}

void Recordset::findFirst(const QString& c) { findFrom(0, 1, c); }
void Recordset::findLast(const QString& c) { findFrom(static_cast<long>(keys_.size()) - 1, -1, c); }
void Recordset::findNext(const QString& c)
{
    findFrom(deleted_ ? pos_ : (pos_ < 0 ? 0 : pos_ + 1), 1, c);
}
void Recordset::findPrevious(const QString& c)
{
    findFrom(pos_ >= static_cast<long>(keys_.size()) ? static_cast<long>(keys_.size()) - 1 : pos_ - 1, -1, c);
}

// ---- fields ---------------------------------------------------------------------

const Recordset::Field& Recordset::field(int i) const
{
    if (i < 0 || i >= static_cast<int>(fields_.size()))
        throw JetError(errNoField, QStringLiteral("Item not found in this collection."));
    return fields_[static_cast<size_t>(i)];
}

int Recordset::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

int Recordset::fieldOrThrow(const QString& name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw JetError(errNoField, QStringLiteral("Item not found in this collection."));
    return i;
}

const std::vector<Value>& Recordset::rowAt(long pos) const
{
    QB_JET_CALL(conn_);
    if (cacheGen_ != conn_->generation()) {
        pages_.clear();
        cacheGen_ = conn_->generation();
    }
    const long page = pos / kPage;
    auto it = pages_.find(page);
    if (it == pages_.end()) {
        if (pages_.size() >= 64)
            pages_.clear();   // a bounded cache: about 16k rows at most
        std::vector<std::vector<Value>> rows;
        const long first = page * kPage;
        const long last = std::min<long>(first + kPage, static_cast<long>(keys_.size()));
        rows.reserve(static_cast<size_t>(last - first));
        // Keys in ascending order and close together (an unsorted list, or a
        // light filter): one range scan reads the whole page.
        const qint64 lo = keys_[static_cast<size_t>(first)];
        const qint64 hi = keys_[static_cast<size_t>(last - 1)];
        bool ascending = hi - lo <= 4 * kPage;
        for (long p = first + 1; ascending && p < last; ++p)
            ascending = keys_[static_cast<size_t>(p)] > keys_[static_cast<size_t>(p - 1)];
        if (ascending) {
            if (!fetchRange_) {
                const QString from = tempTable_ ? QStringLiteral("temp.") + quoteName(table_) : quoteName(table_);
                fetchRange_ = std::make_unique<Stmt>(
                    conn_.get(), QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid")
                                     .arg(selectList_, from));
            }
            fetchRange_->reset();
            fetchRange_->bindInt(1, lo);
            fetchRange_->bindInt(2, hi);
            long p = first;
            while (p < last && fetchRange_->step()) {
                const qint64 k = fetchRange_->int64(0);
                while (p < last && keys_[static_cast<size_t>(p)] < k) {
                    rows.emplace_back(fields_.size());   // gone since the snapshot
                    ++p;
                }
                if (p < last && keys_[static_cast<size_t>(p)] == k) {
                    std::vector<Value> row(fields_.size());
                    for (size_t i = 0; i < fields_.size(); ++i)
                        row[i] = fetchRange_->value(static_cast<int>(i + 1), fields_[i].type);
                    rows.push_back(std::move(row));
                    ++p;
                }
            }
            while (p++ < last)
                rows.emplace_back(fields_.size());
            fetchRange_->reset();
            it = pages_.insert(page, std::move(rows));
            return (*it)[static_cast<size_t>(pos - page * kPage)];
        }
        for (long p = first; p < last; ++p) {
            fetch_->reset();
            fetch_->bindInt(1, keys_[static_cast<size_t>(p)]);
            std::vector<Value> row(fields_.size());
            if (fetch_->step()) {
                for (size_t i = 0; i < fields_.size(); ++i)
                    row[i] = fetch_->value(static_cast<int>(i), fields_[i].type);
            }
            rows.push_back(std::move(row));
        }
        fetch_->reset();
        it = pages_.insert(page, std::move(rows));
    }
    return (*it)[static_cast<size_t>(pos - page * kPage)];
}

qint64 Recordset::memoryUse() const
{
    qint64 bytes = static_cast<qint64>(keys_.capacity() * sizeof(qint64));
    for (const auto& page : pages_)
        for (const auto& row : page) {
            bytes += static_cast<qint64>(row.capacity() * sizeof(Value));
            for (const Value& v : row)
                if (const QString* s = v.textPtr())
                    bytes += s->capacity() * 2 + 32;
        }
    return bytes + static_cast<qint64>(findSet_.size() * 24);
}

Value Recordset::value(int i) const
{
    QB_JET_CALL(conn_);
    field(i);
    if (mode_ != Mode::None)
        return buffer_[static_cast<size_t>(i)];
    requireCurrent();
    return rowAt(pos_)[static_cast<size_t>(i)];
}

Value Recordset::value(const QString& name) const { return value(fieldOrThrow(name)); }

void Recordset::setValue(int i, const Value& v)
{
    QB_JET_CALL(conn_);
    const Field& f = field(i);
    if (mode_ == Mode::None)
        throw JetError(errUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    if (f.sourceColumn.isEmpty())
        throw JetError(3164, QStringLiteral("Field cannot be updated."));
    Value c = coerce(v, f.type);
    if (f.type == dbText && c.isText() && c.textPtr()->size() > f.size)
        throw JetError(errFieldTooSmall, QStringLiteral("The field is too small to accept the amount of data you "
                                                        "attempted to add.  Try inserting or pasting less data."));
    buffer_[static_cast<size_t>(i)] = std::move(c);
    dirty_[static_cast<size_t>(i)] = true;
}

void Recordset::setValue(const QString& name, const Value& v) { setValue(fieldOrThrow(name), v); }

// ---- editing --------------------------------------------------------------------

void Recordset::edit()
{
    QB_JET_CALL(conn_);
    if (!updatable_)
        throw JetError(errNotUpdatable, QStringLiteral("Cannot update.  Database or object is read-only."));
    requireCurrent();
    buffer_ = rowAt(pos_);
    dirty_.assign(fields_.size(), false);
    mode_ = Mode::Edit;
}

void Recordset::addNew()
{
    QB_JET_CALL(conn_);
    if (!updatable_)
        throw JetError(errNotUpdatable, QStringLiteral("Cannot update.  Database or object is read-only."));
    buffer_.assign(fields_.size(), Value());
    dirty_.assign(fields_.size(), false);
    savedPos_ = pos_;
    mode_ = Mode::Add;
}

void Recordset::cancelUpdate()
{
    QB_JET_CALL(conn_);
    if (mode_ == Mode::Add)
        pos_ = savedPos_;
    mode_ = Mode::None;
    buffer_.clear();
    dirty_.clear();
}

void Recordset::update()
{
    QB_JET_CALL(conn_);
    if (mode_ == Mode::None)
        throw JetError(errUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    QStringList cols;
    std::vector<size_t> idx;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (dirty_[i]) {
            cols << quoteName(fields_[i].sourceColumn);
            idx.push_back(i);
        }
    if (mode_ == Mode::Edit) {
        if (!idx.empty()) {
            QStringList sets;
            for (const QString& c : cols)
                sets << c + QLatin1String(" = ?");
            Stmt s(conn_.get(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoteName(table_), sets.join(QLatin1String(", "))));
            int b = 1;
            for (size_t i : idx)
                s.bind(b++, buffer_[i]);
            s.bindInt(b, keys_[static_cast<size_t>(pos_)]);
            s.step();
            conn_->bump();
        }
        lastModified_ = bookmark();
        mode_ = Mode::None;
    } else {
        QString q;
        if (idx.empty()) {
            q = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(table_));
        } else {
            QStringList marks;
            for (size_t k = 0; k < idx.size(); ++k)
                marks << QStringLiteral("?");
            q = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(quoteName(table_), cols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
        }
        Stmt s(conn_.get(), q);
        int b = 1;
        for (size_t i : idx)
            s.bind(b++, buffer_[i]);
        s.step();
        const qint64 key = sqlite3_last_insert_rowid(conn_->handle());
        keys_.push_back(key);
        conn_->bump();
        lastModified_ = QByteArray(reinterpret_cast<const char*>(&key), sizeof key);
        mode_ = Mode::None;
        pos_ = savedPos_;
        if (pos_ < 0 && keys_.size() == 1)
            pos_ = 0;
    }
    buffer_.clear();
    dirty_.clear();
}

void Recordset::deleteRecord()
{
    QB_JET_CALL(conn_);
    if (!updatable_)
        throw JetError(errNotUpdatable, QStringLiteral("Cannot update.  Database or object is read-only."));
    if (mode_ != Mode::None)
        cancelUpdate();
    requireCurrent();
    Stmt s(conn_.get(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(table_)));
    s.bindInt(1, keys_[static_cast<size_t>(pos_)]);
    s.step();
    keys_.erase(keys_.begin() + pos_);
    conn_->bump();
    deleted_ = true;
}

} // namespace jet
