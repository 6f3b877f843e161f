// What the workbench does to a freshly imported tblData before it shows it:
// column checks, the counter key, the grid's column list and record-source
// texts, the five settings lists and the nine work tables.
//
// The settings files are the sequential-write format of the list editors:
// quoted items separated by commas, one entry per line. A line that cannot be
// used is skipped, so a damaged or hand-edited file never keeps a list from
// opening; the arrays hold at most 1000 entries and the rest is ignored.
#include "workbench/opening.h"

#include "common/general.h"
#include "exchange/act_module.h"
#include "platform/files/checked_file.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

namespace workbench {
namespace {

const QString kKey = QStringLiteral("LumacorPrimK");

constexpr int kListSize = 1000;

/// The 32 punctuation codes offered as special characters, in their order.
const std::vector<int>& defaultSpecChars()
{
    static const std::vector<int> codes = [] {
        std::vector<int> c;
        for (int i = 33; i <= 47; ++i)
            c.push_back(i);
        for (int i = 58; i <= 64; ++i)
            c.push_back(i);
        for (int i = 91; i <= 96; ++i)
            c.push_back(i);
        for (int i = 123; i <= 126; ++i)
            c.push_back(i);
        return c;
    }();
    return codes;
}

/// The file's lines, decoded as UTF-8 when it is valid UTF-8, else as the
/// Windows code page the older files were written in. nullopt when unreadable.
std::optional<QStringList> readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

/// The items of one line as the sequential-input statement reads them: a
/// quoted item runs to the next quote (commas inside are kept), an unquoted
/// one to the next comma, trimmed.
QStringList lineItems(const QString& line)
{
    QStringList items;
    int i = 0;
    const int n = int(line.size());
    auto skipBlanks = [&] {
        while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
    };
    skipBlanks();
    if (i >= n)
        return items;
    while (i <= n) {
        skipBlanks();
        QString item;
        if (i < n && line[i] == QLatin1Char('"')) {
            const int close = int(line.indexOf(QLatin1Char('"'), i + 1));
            const int end = close < 0 ? n : close;
            item = line.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
        } else {
            int end = int(line.indexOf(QLatin1Char(','), i));
            if (end < 0)
                end = n;
            item = line.mid(i, end - i).trimmed();
            i = end;
        }
        items << item;
        if (i >= n)
            break;
        ++i;   // past the comma
        if (i == n) {
            items << QString();   // a trailing comma ends an empty item
            break;
        }
    }
    return items;
}

} // namespace

std::vector<Column> listColumns(jet::Database& db)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT TOP 1 * FROM tblData;"), jet::dbOpenSnapshot);
    std::vector<Column> cols;
    cols.reserve(size_t(rs->fieldCount()));
    for (int i = 0; i < rs->fieldCount(); ++i)
        cols.push_back(Column{rs->field(i).name, rs->field(i).type});
    rs->close();
    return cols;
}

QString columnRefusal(const std::vector<Column>& columns)
{
    if (int(columns.size()) - 1 >= 254)
        return QStringLiteral("Too many fields defined. Maximum allowed is 254.");
    for (const Column& c : columns) {
        const QString upper = c.name.toUpper();
        // A "]" would end the name's brackets in every statement of the tools.
        if (upper == QLatin1String("LUMACORPRIMK") || upper == QLatin1String("COUNT") || c.name.contains(u']'))
            return QStringLiteral("Column Name ") + c.name
                   + QStringLiteral(" is disallowed. Please change the column name and re-try importing");
        if (c.name.contains(QLatin1Char('"')))
            return QStringLiteral("Double quotation marks are not allowed in column names.\r\rImport cannot continue.");
    }
    return QString();
}

void appendKey(jet::Database& db)
{
    db.appendField(QStringLiteral("tblData"), jet::FieldDef{kKey, jet::dbLong, 4, jet::dbAutoIncrField, 0});
    db.execute(QStringLiteral("ALTER TABLE tblData ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK)"));
}

QString buildFieldList(const std::vector<Column>& columns)
{
    QString list;
    for (const Column& c : columns)
        if (c.name.toUpper() != QLatin1String("LUMACORPRIMK"))
            list += QLatin1Char('[') + c.name + QLatin1String("], ");
    list.chop(2);   // no columns at all leaves nothing to chop but the text stays usable
    return list + QLatin1Char(' ');
}

QString recordSource(const QString& fieldList, const QString& filter, const QString& sort)
{
    QString s = QStringLiteral("SELECT ") + fieldList + QStringLiteral(" ") + QStringLiteral("FROM tblData ");
    if (!filter.isEmpty())
        s += QStringLiteral("WHERE ") + filter + QStringLiteral(" ");
    if (!sort.isEmpty())
        s += QStringLiteral("ORDER BY ") + sort;
    return s;
}

QString wholeListSource(const QString& fieldList) { return QStringLiteral("SELECT ") + fieldList + QStringLiteral(" FROM tblData"); }

QString sortOrder(const QString& column, bool ascending)
{
    return QStringLiteral(" [") + column + (ascending ? QStringLiteral("] ASC ") : QStringLiteral("] DESC "));
}

QString statusText(long totalRecords, const QString& column, long row)
{
    return QStringLiteral("Total Records = %1 : Column = %2 : Row = %3 ").arg(totalRecords).arg(column).arg(row);
}

void loadSpecChars(const QString& path)
{
    auto& rows = general::gintSpecChars;
    const std::vector<int>& defaults = defaultSpecChars();
    const QSet<int> allowed(defaults.begin(), defaults.end());
    QSet<int> seen;
    int n = 0;
    if (const auto lines = readLines(path)) {
        for (const QString& line : *lines) {
            const QStringList items = lineItems(line);
            if (items.size() != 2)
                continue;
            bool okCode = false, okFlag = false;
            const int code = items[0].toInt(&okCode);
            const int flag = items[1].toInt(&okFlag);
            if (!okCode || !okFlag || flag < -32768 || flag > 32767 || !allowed.contains(code) || seen.contains(code))
                continue;
            seen.insert(code);
            ++n;
            rows[size_t(n)] = {0, code, flag};
        }
    }
    for (int code : defaults)
        if (!seen.contains(code)) {
            ++n;
            rows[size_t(n)] = {0, code, 0};
        }
    QByteArray text;
    for (int i = 1; i <= 32; ++i)
        text += QByteArray::number(rows[size_t(i)][1]) + ',' + QByteArray::number(rows[size_t(i)][2]) + "\r\n";
    // A read-only settings folder still lets the list open; the old file stays whole.
    files::writeWholeFile(path, text);
}

void loadList(const QString& path, std::array<QString, 1001>& list)
{
    const auto lines = readLines(path);
    if (!lines)
        return;
    QSet<QString> seen;
    int n = 0;
    for (const QString& line : *lines) {
        for (const QString& item : lineItems(line)) {
            if (n >= kListSize)
                break;
            if (item.isEmpty() || seen.contains(item))
                continue;
            seen.insert(item);
            list[size_t(++n)] = item;
        }
    }
    for (int i = n + 1; i <= kListSize; ++i)
        list[size_t(i)].clear();
}

void loadCountryCodes(const QString& path)
{
    const auto lines = readLines(path);
    if (!lines)
        return;
    auto& list = general::gstrCCTLDs;
    QSet<QString> seen;
    int n = 0;
    for (const QString& line : *lines) {
        if (n >= kListSize)
            break;
        const QStringList items = lineItems(line);
        if (items.isEmpty())
            continue;
        const QString code = items[0];
        const QString name = items.size() > 1 ? items[1] : QString();
        if (code.isEmpty() || code.size() > 2 || name.size() > 255 || seen.contains(code.toLower()))
            continue;
        seen.insert(code.toLower());
        ++n;
        list[size_t(n)] = {code, name};
    }
    for (int i = n + 1; i <= kListSize; ++i)
        list[size_t(i)] = {QString(), QString()};
}

void loadSettings(const QString& folder)
{
    loadSpecChars(folder + QStringLiteral("/SpecChars.txt"));
    loadList(folder + QStringLiteral("/PreFixes.txt"), general::gstrPrefixes);
    loadList(folder + QStringLiteral("/Exceptions.txt"), general::gstrExceptions);
    loadList(folder + QStringLiteral("/gTLDs.txt"), general::gstrGTLDs);
    loadCountryCodes(folder + QStringLiteral("/ccTLDs.txt"));
}

const std::vector<QString>& workTableNames()
{
    static const std::vector<QString> names = {
        QStringLiteral("tblSingle_Col_Filtered"), QStringLiteral("tblSingle_Col_NoFilter"),
        QStringLiteral("tblSpecSearch1"),         QStringLiteral("tblSpecSearch1_Temp"),
        QStringLiteral("tblCounts1"),             QStringLiteral("tblDupes_Min"),
        QStringLiteral("tblDupes_Del"),           QStringLiteral("tblEMails"),
        QStringLiteral("Z_ccTLD"),
    };
    return names;
}

bool rebuildWorkTables(jet::Database& db)
{
    for (const QString& name : workTableNames())
        if (general::DropTable(db, name))
            return false;
    static const char* const creates[] = {
        "CREATE TABLE tblSingle_Col_Filtered (Column1 TEXT(255), Part1 TEXT(255), Part2 TEXT(1), Part3 TEXT(255), "
        "CONSTRAINT pk PRIMARY KEY (Column1));",
        "CREATE TABLE tblSingle_Col_NoFilter (Column1 TEXT(255), Part1 TEXT(255), Part2 TEXT(1), Part3 TEXT(255), "
        "CONSTRAINT pk PRIMARY KEY (Column1));",
        "CREATE TABLE tblSpecSearch1 (Column1 TEXT(255), Count1 TEXT(15), Convert1 TEXT(1), Column2 TEXT(255), "
        "Count2 TEXT(15), Convert2 TEXT(1), DummyField TEXT(1), CONSTRAINT pk PRIMARY KEY (Column1, Column2));",
        "CREATE TABLE tblSpecSearch1_Temp (Column1 TEXT(255), Count1 TEXT(15), Convert1 TEXT(1), Column2 TEXT(255), "
        "Count2 TEXT(15), Convert2 TEXT(1), DummyField TEXT(1));",
        "CREATE TABLE tblCounts1 (Column1 TEXT(255), Count1 INT, CONSTRAINT pk PRIMARY KEY (Column1));",
        "CREATE TABLE tblDupes_Min (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));",
        "CREATE TABLE tblDupes_Del (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));",
        "CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
        "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), Suggest2 TEXT(255), Suggest3 TEXT(255), "
        "Suggest4 TEXT(255),  Suggest5 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK));",
        "CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255), CONSTRAINT pk PRIMARY KEY (ccTLD));",
    };
    for (const char* sql : creates)
        db.execute(QString::fromLatin1(sql), jet::dbFailOnError);
    return true;
}

void fillCountryTable(jet::Database& db)
{
    jet::Connection& c = db.connection();
    const QString table = c.tableName(QStringLiteral("Z_ccTLD"));
    if (table.isEmpty())
        throw jet::JetError(jet::errNoTable, QStringLiteral("The database engine cannot find the input table or query 'Z_ccTLD'."));
    // One savepoint around one prepared insert: a thousand rows cost one
    // journal write, and a failure leaves the table as empty as it was.
    c.inSavepoint(QStringLiteral("qb_cctld"), [&] {
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO \"%1\" (ccTLD, ccTLD_Name) VALUES (?1, ?2)").arg(table));
        QSet<QString> seen;
        for (int i = 1; i <= kListSize; ++i) {
            const auto& entry = general::gstrCCTLDs[size_t(i)];
            if (entry[0].isEmpty() || entry[0].size() > 2 || seen.contains(entry[0].toLower()))
                continue;
            seen.insert(entry[0].toLower());
            ins.bind(1, jet::Value(entry[0]));
            ins.bind(2, jet::Value(entry[1].left(255)));
            ins.step();
            ins.reset();
        }
    });
}

int splitHiddenFields() { return Act_Module1::SplitActHiddenFields(); }

} // namespace workbench
