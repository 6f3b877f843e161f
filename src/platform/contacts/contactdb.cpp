// The contact database stand-in over its dBase files. Everything is read at
// Open(); the contact table keeps an index from unique id to record and the
// e-mail table one from owner to records, built on first use and again after
// a change of the key column, so Goto and the contact's e-mail field cost a
// hash lookup.
#include "platform/contacts/contactdb.h"

#include "platform/contacts/file_switch.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include <optional>

namespace contacts {
namespace {

const QString kInfoFile = QStringLiteral("DBINFO.DBF");
const QString kFieldsFile = QStringLiteral("FIELDS.DBF");
const QString kEmailFile = QStringLiteral("EMAIL.DBF");
const QString kUsersFile = QStringLiteral("USERS.DBF");
const QString kContactTable = QStringLiteral("CONTACT");
const QString kEmailTable = QStringLiteral("EMAIL");
constexpr int kUniqueIdLength = 12;

/// The file of that name in the folder, found in any letter case.
QString findFile(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return dir.filePath(name);
}

char storageFor(int type)
{
    switch (type) {
    case TypeNumber: return 'N';
    case TypeMemo: return 'M';
    case TypeYesNo: return 'L';
    case TypeDate: return 'D';
    default: return 'C';
    }
}

int defaultLength(int type)
{
    switch (type) {
    case TypeNumber: return 10;
    case TypeDateTime: return 14;
    default: return 60;
    }
}

/// The number of the digits text[from, from + n); -1 when one is no digit.
int digitsAt(const QString& text, int from, int n)
{
    int v = 0;
    for (int i = from; i < from + n; ++i) {
        if (i >= text.size() || !text[i].isDigit() || text[i].unicode() > '9')
            return -1;
        v = v * 10 + (text[i].unicode() - '0');
    }
    return v;
}

/// Calendar parts of a date and time.
struct Stamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool valid() const
    {
        return QDate::isValid(year, month, day) && QTime::isValid(hour, minute, second);
    }
};

/// "yyyyMMdd" or "yyyyMMddhhmmss" as stored; nullopt for anything else.
std::optional<Stamp> storedStamp(const QString& raw, bool withTime)
{
    if (raw.size() != (withTime ? 14 : 8))
        return std::nullopt;
    Stamp s{digitsAt(raw, 0, 4), digitsAt(raw, 4, 2), digitsAt(raw, 6, 2), 0, 0, 0};
    if (withTime) {
        s.hour = digitsAt(raw, 8, 2);
        s.minute = digitsAt(raw, 10, 2);
        s.second = digitsAt(raw, 12, 2);
    }
    return s.valid() ? std::optional<Stamp>(s) : std::nullopt;
}

// "mm/dd/yyyy" with an optional " hh:nn:ss"; one or two digits for month,
// day and the time's parts.
std::optional<Stamp> parseDataDate(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})(?: (\\d{1,2}):(\\d{1,2}):(\\d{1,2}))?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    Stamp s{m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt(), 0, 0, 0};
    if (!m.captured(4).isEmpty()) {
        s.hour = m.captured(4).toInt();
        s.minute = m.captured(5).toInt();
        s.second = m.captured(6).toInt();
    }
    return s.valid() ? std::optional<Stamp>(s) : std::nullopt;
}

QString typeError(const FieldSpec& f, const QString& value, const char* what)
{
    return QStringLiteral("The field %1 cannot hold '%2': it is not %3.").arg(f.label, value, QLatin1String(what));
}

} // namespace

namespace {

/// Writes v as n digits with leading zeros at s[at] (every date is read
/// through here, so no formatting machinery).
void putDigits(QString& s, qsizetype at, int v, int n)
{
    for (int p = n - 1; p >= 0; --p, v /= 10)
        s[at + p] = QChar(char16_t(u'0' + v % 10));
}

} // namespace

QString dateText(int year, int month, int day)
{
    QString s = QStringLiteral("00/00/0000");
    putDigits(s, 0, month, 2);
    putDigits(s, 3, day, 2);
    putDigits(s, 6, year, 4);
    return s;
}

QString dateTimeText(int year, int month, int day, int hour, int minute, int second)
{
    QString s = dateText(year, month, day) + QStringLiteral(" 00:00:00");
    putDigits(s, 11, hour, 2);
    putDigits(s, 14, minute, 2);
    putDigits(s, 17, second, 2);
    return s;
}

// ---- field list ----------------------------------------------------------------

int Table::FieldList::FieldIdAt(int index) const
{
    return index >= 0 && index < Count() ? specs_[size_t(index)].id : -1;
}

QString Table::FieldList::Label(int id) const
{
    const auto it = byId_.find(id);
    return it == byId_.end() ? QString() : specs_[size_t(*it)].label;
}

int Table::FieldList::Type(int id) const
{
    const auto it = byId_.find(id);
    return it == byId_.end() ? 0 : specs_[size_t(*it)].type;
}

// ---- table -----------------------------------------------------------------------

void Table::MoveFirst()
{
    editing_ = false;
    pos_ = 0;
    while (pos_ < table_.rowCount() && table_.isRemoved(pos_))
        ++pos_;
}

void Table::MoveNext()
{
    editing_ = false;
    if (pos_ < 0)
        pos_ = 0;
    else if (pos_ < table_.rowCount())
        ++pos_;
    while (pos_ < table_.rowCount() && table_.isRemoved(pos_))
        ++pos_;
}

bool Table::isEOF() const { return pos_ < 0 || pos_ >= table_.rowCount(); }

void Table::requireCurrent() const
{
    if (isEOF() || table_.isRemoved(pos_))
        throw ContactError(QStringLiteral("There is no current record."));
}

int Table::column(int id) const
{
    const auto it = fields_.byId_.find(id);
    if (it == fields_.byId_.end())
        throw ContactError(QStringLiteral("There is no field %1.").arg(id));
    return columns_[size_t(*it)];
}

QString Table::Data(int id) const
{
    requireCurrent();
    const int col = column(id);
    if (col < 0)
        return db_->primaryEmail(table_.text(pos_, keyColumn_));
    const QString raw = table_.text(pos_, col);
    const int type = fields_.Type(id);
    if (type != TypeDate && type != TypeDateTime)
        return raw;
    const auto t = storedStamp(raw, type == TypeDateTime);
    if (!t)
        return raw;
    return type == TypeDate ? dateText(t->year, t->month, t->day)
                            : dateTimeText(t->year, t->month, t->day, t->hour, t->minute, t->second);
}

void Table::setData(int id, const QString& value)
{
    requireCurrent();
    if (!editing_)
        throw ContactError(QStringLiteral("A field was written without Edit or Add."));
    const int col = column(id);
    const FieldSpec& f = fields_.specs_[size_t(fields_.byId_.value(id))];
    if (col < 0)
        throw ContactError(QStringLiteral("The field %1 is kept in the e-mail table.").arg(f.label));
    QString stored = value;
    if (f.type == TypeDate || f.type == TypeDateTime) {
        if (!value.trimmed().isEmpty()) {
            const auto t = parseDataDate(value);
            if (!t)
                throw ContactError(typeError(f, value, "a date"));
            stored = QString::asprintf("%04d%02d%02d", t->year, t->month, t->day);
            if (f.type == TypeDateTime)
                stored += QString::asprintf("%02d%02d%02d", t->hour, t->minute, t->second);
        } else {
            stored.clear();
        }
    }
    if (col == keyColumn_ && contact_) {
        const QString old = table_.text(pos_, col);
        if (stored == old)
            return;
        if (!old.isEmpty())
            throw ContactError(QStringLiteral("The unique id of a contact cannot be changed."));
        indexIds();
        if (byKey_.contains(stored))
            throw ContactError(QStringLiteral("The unique id %1 is taken.").arg(stored));
    }
    try {
        table_.setText(pos_, col, stored);
    } catch (const ContactError& e) {
        // Name the field by its label, as the user knows it.
        throw ContactError(QStringLiteral("%1 (%2)").arg(e.description(), f.label));
    }
    changed();
    if (col == keyColumn_)
        indexed_ = false;
}

void Table::indexIds() const
{
    if (indexed_)
        return;
    byKey_.clear();
    for (int r = 0; r < table_.rowCount(); ++r)
        if (!table_.isRemoved(r))
            byKey_[table_.text(r, keyColumn_)].push_back(r);
    indexed_ = true;
}

void Table::changed()
{
    dirty_ = true;
}

bool Table::Goto(const QString& uniqueId)
{
    editing_ = false;
    indexIds();
    const auto it = byKey_.constFind(uniqueId);
    if (it == byKey_.cend() || it->empty()) {
        pos_ = table_.rowCount();
        return false;
    }
    pos_ = it->front();
    return true;
}

void Table::Edit()
{
    requireCurrent();
    editing_ = true;
}

void Table::Add()
{
    pos_ = table_.appendRow();
    ++live_;
    editing_ = true;
    changed();
}

QString Table::Update()
{
    requireCurrent();
    if (!editing_)
        throw ContactError(QStringLiteral("Update without Edit or Add."));
    editing_ = false;
    if (!contact_)
        return QString();
    QString id = table_.text(pos_, keyColumn_);
    if (id.isEmpty()) {
        indexIds();
        do
            id = QString::number(db_->nextId_++).rightJustified(kUniqueIdLength, QLatin1Char('0'));
        while (byKey_.contains(id));
        table_.setText(pos_, keyColumn_, id);
        byKey_[id].push_back(pos_);
    }
    return id;
}

void Table::Delete()
{
    requireCurrent();
    editing_ = false;
    const QString key = table_.text(pos_, keyColumn_);
    table_.removeRow(pos_);
    --live_;
    indexed_ = false;
    changed();
    if (contact_)
        db_->removeEmailsOf(key);
}

// ---- database --------------------------------------------------------------------

QString Database::primaryEmail(const QString& uniqueId) const
{
    const Table& e = email_;
    e.indexIds();
    const int primary = e.column(kEmailPrimaryField);
    const int address = e.column(kEmailAddressField);
    const auto it = e.byKey_.constFind(uniqueId);
    if (it == e.byKey_.cend())
        return QString();
    for (int r : *it)
        if (!e.table_.isRemoved(r) && e.table_.text(r, primary) == QLatin1String("1"))
            return e.table_.text(r, address);
    return QString();
}

void Database::removeEmailsOf(const QString& uniqueId)
{
    email_.indexIds();
    const std::vector<int> rows = email_.byKey_.value(uniqueId);
    for (int r : rows) {
        email_.table_.removeRow(r);
        --email_.live_;
    }
    if (!rows.empty()) {
        email_.indexed_ = false;
        email_.changed();
    }
}

void Database::Open(const QString& path)
{
    open_ = false;
    error_ = false;
    try {
        const QFileInfo fi(path);
        if (!fi.isFile())
            throw ContactError(QStringLiteral("'%1' does not exist.").arg(path));
        folder_ = fi.absolutePath();
        // A change that a crash interrupted is finished or cleared away first.
        recoverSwitch(folder_);
        const DbfTable info = DbfTable::read(findFile(folder_, kInfoFile));
        const int cContacts = info.fieldIndex(QStringLiteral("CONTACTS"));
        const int cVersion = info.fieldIndex(QStringLiteral("VERSION"));
        const int cMulti = info.fieldIndex(QStringLiteral("MULTIUSER"));
        if (info.rowCount() < 1 || cContacts < 0 || cVersion < 0 || cMulti < 0)
            throw ContactError(QStringLiteral("%1 is not a database description.").arg(kInfoFile));
        if (info.text(0, cContacts).compare(fi.fileName(), Qt::CaseInsensitive) != 0)
            throw ContactError(QStringLiteral("'%1' is not the contact table of its database.").arg(fi.fileName()));
        version_ = info.text(0, cVersion).toInt();
        multiUser_ = info.text(0, cMulti) == QLatin1String("T") || info.text(0, cMulti) == QLatin1String("Y");

        users_.clear();
        if (multiUser_) {
            const DbfTable users = DbfTable::read(findFile(folder_, kUsersFile));
            const int cName = users.fieldIndex(QStringLiteral("USERNAME"));
            const int cPass = users.fieldIndex(QStringLiteral("PASSWORD"));
            if (cName < 0 || cPass < 0)
                throw ContactError(QStringLiteral("%1 is not a list of users.").arg(kUsersFile));
            for (int r = 0; r < users.rowCount(); ++r)
                users_.emplace_back(users.text(r, cName).trimmed(), users.text(r, cPass));
        }

        const DbfTable fields = DbfTable::read(findFile(folder_, kFieldsFile));
        const int cTable = fields.fieldIndex(QStringLiteral("TABLENAME"));
        const int cId = fields.fieldIndex(QStringLiteral("FIELDID"));
        const int cLabel = fields.fieldIndex(QStringLiteral("LABEL"));
        const int cType = fields.fieldIndex(QStringLiteral("FIELDTYPE"));
        const int cCol = fields.fieldIndex(QStringLiteral("COLNAME"));
        if (cTable < 0 || cId < 0 || cLabel < 0 || cType < 0 || cCol < 0)
            throw ContactError(QStringLiteral("%1 is not a field list.").arg(kFieldsFile));

        const auto load = [&](Table& t, const QString& file, const QString& tableName, bool contact) {
            t = Table();
            t.db_ = this;
            t.contact_ = contact;
            t.file_ = file;
            t.memoFile_ = DbfTable::memoPath(file);
            t.table_ = DbfTable::read(file);
            for (int r = 0; r < fields.rowCount(); ++r) {
                if (fields.text(r, cTable).compare(tableName, Qt::CaseInsensitive) != 0)
                    continue;
                FieldSpec f;
                f.id = fields.text(r, cId).toInt();
                f.label = fields.text(r, cLabel);
                f.type = fields.text(r, cType).toInt();
                f.column = fields.text(r, cCol);
                if (t.fields_.byId_.contains(f.id))
                    throw ContactError(QStringLiteral("The field id %1 is listed twice.").arg(f.id));
                int col = -1;
                if (!f.column.isEmpty()) {
                    col = t.table_.fieldIndex(f.column);
                    if (col < 0 || t.table_.fields()[size_t(col)].type != storageFor(f.type))
                        throw ContactError(QStringLiteral("The field %1 has no column %2 of its type.").arg(f.label, f.column));
                } else if (!(contact && f.id == kEmailField)) {
                    throw ContactError(QStringLiteral("The field %1 has no column.").arg(f.label));
                }
                t.fields_.byId_.insert(f.id, int(t.fields_.specs_.size()));
                t.fields_.specs_.push_back(f);
                t.columns_.push_back(col);
            }
            const int key = contact ? kUniqueIdField : kEmailOwnerField;
            if (!t.fields_.byId_.contains(key) || t.column(key) < 0)
                throw ContactError(QStringLiteral("The %1 table has no field %2.").arg(tableName).arg(key));
            t.keyColumn_ = t.column(key);
            t.live_ = t.table_.rowCount();
        };
        load(contact_, fi.absoluteFilePath(), kContactTable, true);
        load(email_, findFile(folder_, kEmailFile), kEmailTable, false);
        for (int id : {kEmailAddressField, kEmailPrimaryField})
            if (!email_.fields_.byId_.contains(id))
                throw ContactError(QStringLiteral("The EMAIL table has no field %1.").arg(id));

        nextId_ = 1;
        for (int r = 0; r < contact_.table_.rowCount(); ++r) {
            bool ok = false;
            const qint64 n = contact_.table_.text(r, contact_.keyColumn_).toLongLong(&ok);
            if (ok && n >= nextId_)
                nextId_ = n + 1;
        }
        open_ = true;
        failure_.clear();
    } catch (const ContactError& e) {
        failure_ = e.description();
        contact_ = Table();
        email_ = Table();
    }
}

void Database::validateuser(const QString& userName, const QString& password)
{
    error_ = true;
    if (!open_)
        return;
    if (!multiUser_) {
        error_ = false;
        return;
    }
    for (const auto& [name, pass] : users_)
        if (name.compare(userName.trimmed(), Qt::CaseInsensitive) == 0 && pass == password)
            error_ = false;
}

void Database::Close()
{
    if (!open_)
        return;
    closeWarning_.clear();
    std::vector<FileSwap> swaps;   // new file, old file; memos first
    try {
        for (Table* t : {&contact_, &email_}) {
            if (!t->dirty_)
                continue;
            const QString staged = t->file_ + QLatin1String(kStagedSuffix);
            const QString stagedMemo = t->memoFile_ + QLatin1String(kStagedSuffix);
            if (t->table_.hasMemo())
                swaps.push_back({stagedMemo, t->memoFile_});
            swaps.push_back({staged, t->file_});
            t->table_.write(staged, stagedMemo);
        }
    } catch (...) {
        for (const FileSwap& s : swaps)
            QFile::remove(s.staged);
        throw;
    }
    // Every file is written: they replace the old ones in one step.
    closeWarning_ = switchFiles(folder_, swaps);
    contact_.dirty_ = email_.dirty_ = false;
    open_ = false;
}

// ---- new databases -------------------------------------------------------------

std::vector<FieldSpec> NewDatabase::standardContactFields()
{
    return {
        {11, QStringLiteral("Company"), TypeText, QStringLiteral("COMPANY"), 60},
        {kContactNameField, QStringLiteral("Contact"), TypeText, QStringLiteral("CONTACT"), 60},
        {12, QStringLiteral("Title"), TypeText, QStringLiteral("TITLE"), 20},
        {13, QStringLiteral("First Name"), TypeText, QStringLiteral("FIRSTNAME"), 30},
        {14, QStringLiteral("Last Name"), TypeText, QStringLiteral("LASTNAME"), 30},
        {15, QStringLiteral("Address 1"), TypeText, QStringLiteral("ADDRESS1"), 80},
        {16, QStringLiteral("Address 2"), TypeText, QStringLiteral("ADDRESS2"), 80},
        {17, QStringLiteral("City"), TypeText, QStringLiteral("CITY"), 40},
        {18, QStringLiteral("State"), TypeText, QStringLiteral("STATE"), 30},
        {19, QStringLiteral("Zip"), TypeText, QStringLiteral("ZIP"), 12},
        {20, QStringLiteral("Country"), TypeText, QStringLiteral("COUNTRY"), 40},
        {21, QStringLiteral("Phone"), TypeText, QStringLiteral("PHONE"), 30},
        {22, QStringLiteral("Alt. Phone"), TypeText, QStringLiteral("ALTPHONE"), 30},
        {kEmailField, QStringLiteral("E-mail"), TypeText, QString(), 0},
        {23, QStringLiteral("Notes"), TypeMemo, QStringLiteral("NOTES"), 0},
        {24, QStringLiteral("Last Meeting"), TypeDate, QStringLiteral("LASTMEET"), 0},
        {29, QStringLiteral("User 1"), TypeText, QStringLiteral("USER1"), 40},
        {30, QStringLiteral("User 2"), TypeText, QStringLiteral("USER2"), 40},
        {kUniqueIdField, QStringLiteral("Unique Id"), TypeText, QStringLiteral("UNIQUEID"), kUniqueIdLength},
        {2, QStringLiteral("Create TimeStamp"), TypeDateTime, QStringLiteral("CREATETS"), 0},
        {3, QStringLiteral("Edit TimeStamp"), TypeDateTime, QStringLiteral("EDITTS"), 0},
        {4, QStringLiteral("Merge TimeStamp"), TypeDateTime, QStringLiteral("MERGETS"), 0},
        {5, QStringLiteral("Public/Private"), TypeText, QStringLiteral("PUBPRIV"), 7},
        {6, QStringLiteral("Record Manager"), TypeText, QStringLiteral("RECMANAGER"), 40},
        {7, QStringLiteral("Contact Type"), TypeText, QStringLiteral("CONTTYPE"), 12},
        {8, QStringLiteral("Create Date"), TypeDate, QStringLiteral("CREATEDT"), 0},
        {9, QStringLiteral("Edit Date"), TypeDate, QStringLiteral("EDITDT"), 0},
        {10, QStringLiteral("Merge Date"), TypeDate, QStringLiteral("MERGEDT"), 0},
        {201, QStringLiteral("Sync Stamp"), TypeText, QStringLiteral("SYNCSTAMP"), 14},
        {202, QStringLiteral("Sync Flag"), TypeYesNo, QStringLiteral("SYNCFLAG"), 0},
        {203, QStringLiteral("Owner Id"), TypeText, QStringLiteral("OWNERID"), kUniqueIdLength},
    };
}

std::vector<FieldSpec> NewDatabase::standardEmailFields()
{
    return {
        {kEmailAddressField, QStringLiteral("Address"), TypeText, QStringLiteral("ADDRESS"), 128},
        {kEmailPrimaryField, QStringLiteral("Primary"), TypeNumber, QStringLiteral("PRIMARY"), 1},
        {kEmailOwnerField, QStringLiteral("Contact Id"), TypeText, QStringLiteral("CONTACTID"), kUniqueIdLength},
    };
}

QString createDatabase(const QString& folder, const NewDatabase& spec)
{
    if (!QDir().mkpath(folder))
        throw ContactError(QStringLiteral("Cannot make the folder '%1'.").arg(folder));
    const QDir dir(folder);
    const auto save = [&](const DbfTable& t, const QString& name) {
        const QString path = dir.filePath(name);
        t.write(path, DbfTable::memoPath(path));
    };
    const auto columnsOf = [](const std::vector<FieldSpec>& specs) {
        std::vector<DbfField> cols;
        for (const FieldSpec& f : specs)
            if (!f.column.isEmpty())
                cols.push_back({f.column, storageFor(f.type), f.length > 0 ? f.length : defaultLength(f.type), 0});
        return cols;
    };

    DbfTable info({{QStringLiteral("CONTACTS"), 'C', 64, 0},
                   {QStringLiteral("VERSION"), 'N', 4, 0},
                   {QStringLiteral("MULTIUSER"), 'L', 1, 0}});
    info.appendRow();
    info.setText(0, 0, spec.contactFile);
    info.setText(0, 1, QString::number(spec.version));
    info.setText(0, 2, spec.multiUser ? QStringLiteral("T") : QStringLiteral("F"));
    save(info, kInfoFile);

    DbfTable fields({{QStringLiteral("TABLENAME"), 'C', 10, 0},
                     {QStringLiteral("FIELDID"), 'N', 6, 0},
                     {QStringLiteral("LABEL"), 'C', 60, 0},
                     {QStringLiteral("FIELDTYPE"), 'N', 3, 0},
                     {QStringLiteral("COLNAME"), 'C', 10, 0}});
    for (const auto& [table, specs] : {std::pair{kContactTable, &spec.contactFields}, std::pair{kEmailTable, &spec.emailFields}})
        for (const FieldSpec& f : *specs) {
            const int r = fields.appendRow();
            fields.setText(r, 0, table);
            fields.setText(r, 1, QString::number(f.id));
            fields.setText(r, 2, f.label);
            fields.setText(r, 3, QString::number(f.type));
            fields.setText(r, 4, f.column);
        }
    save(fields, kFieldsFile);

    DbfTable users({{QStringLiteral("USERNAME"), 'C', 40, 0}, {QStringLiteral("PASSWORD"), 'C', 40, 0}});
    for (const auto& [name, pass] : spec.users) {
        const int r = users.appendRow();
        users.setText(r, 0, name);
        users.setText(r, 1, pass);
    }
    save(users, kUsersFile);

    save(DbfTable(columnsOf(spec.emailFields)), kEmailFile);
    save(DbfTable(columnsOf(spec.contactFields)), spec.contactFile);
    return dir.filePath(spec.contactFile);
}

} // namespace contacts
