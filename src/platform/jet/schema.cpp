// Column types: between the engine's type words and SQLite declarations.
#include "platform/jet/schema.h"

#include <sqlite3.h>

namespace jet {

QString quoteName(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

std::optional<ColumnInfo> parseTypeName(const QString& wordIn, int size)
{
    const QString w = wordIn.trimmed().toUpper();
    ColumnInfo c;
    auto set = [&](int type, int sz, int attrs = dbFixedField) {
        c.type = type;
        c.size = sz;
        c.attributes = attrs;
        return std::optional<ColumnInfo>(c);
    };
    if (w == QLatin1String("TEXT") || w == QLatin1String("VARCHAR") || w == QLatin1String("CHAR")
        || w == QLatin1String("STRING") || w == QLatin1String("ALPHANUMERIC") || w == QLatin1String("NVARCHAR")
        || w == QLatin1String("CHARACTER") || w == QLatin1String("NCHAR")) {
        int n = size < 0 ? 255 : size;
        if (n < 1 || n > 255)
            n = 255;
        return set(dbText, n, dbVariableField);
    }
    if (w == QLatin1String("LONGTEXT") || w == QLatin1String("MEMO") || w == QLatin1String("NOTE")
        || w == QLatin1String("LONGCHAR") || w == QLatin1String("NTEXT"))
        return set(dbMemo, 0, dbVariableField);
    if (w == QLatin1String("DOUBLE") || w == QLatin1String("FLOAT") || w == QLatin1String("FLOAT8")
        || w == QLatin1String("NUMBER") || w == QLatin1String("NUMERIC") || w == QLatin1String("DECIMAL"))
        return set(dbDouble, 8);
    if (w == QLatin1String("SINGLE") || w == QLatin1String("REAL") || w == QLatin1String("FLOAT4")
        || w == QLatin1String("IEEESINGLE"))
        return set(dbSingle, 4);
    if (w == QLatin1String("LONG") || w == QLatin1String("INT") || w == QLatin1String("INTEGER")
        || w == QLatin1String("INTEGER4"))
        return set(dbLong, 4);
    if (w == QLatin1String("SHORT") || w == QLatin1String("SMALLINT") || w == QLatin1String("INTEGER2"))
        return set(dbInteger, 2);
    if (w == QLatin1String("BYTE") || w == QLatin1String("TINYINT") || w == QLatin1String("INTEGER1"))
        return set(dbByte, 1);
    if (w == QLatin1String("YESNO") || w == QLatin1String("BIT") || w == QLatin1String("LOGICAL")
        || w == QLatin1String("LOGICAL1") || w == QLatin1String("BOOLEAN"))
        return set(dbBoolean, 1);
    if (w == QLatin1String("DATETIME") || w == QLatin1String("DATE") || w == QLatin1String("TIME")
        || w == QLatin1String("TIMESTAMP"))
        return set(dbDate, 8);
    if (w == QLatin1String("CURRENCY") || w == QLatin1String("MONEY"))
        return set(dbCurrency, 8);
    if (w == QLatin1String("COUNTER") || w == QLatin1String("AUTOINCREMENT") || w == QLatin1String("IDENTITY"))
        return set(dbLong, 4, dbFixedField | dbAutoIncrField);
    if (w == QLatin1String("LONGBINARY") || w == QLatin1String("OLEOBJECT") || w == QLatin1String("GENERAL")
        || w == QLatin1String("IMAGE") || w == QLatin1String("BINARY") || w == QLatin1String("VARBINARY"))
        return set(dbLongBinary, 0, dbVariableField);
    if (w == QLatin1String("GUID") || w == QLatin1String("UNIQUEIDENTIFIER"))
        return set(dbGUID, 16);
    return std::nullopt;
}

QString columnDefinition(const ColumnInfo& c, bool notNull, bool autoKey)
{
    const QString q = quoteName(c.name);
    QString tag = c.name;
    tag.replace(QLatin1Char('"'), QLatin1String("\"\""));
    QString def = q + QLatin1Char(' ');
    if (autoKey)
        return def + QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT");
    auto typeCheck = [&](const char* allowed) {
        return QStringLiteral(" CONSTRAINT \"%1%2\" CHECK (typeof(%3) IN (%4))")
            .arg(QLatin1String(kTypeCheck), tag, q, QLatin1String(allowed));
    };
    // The range of the type: no write can store a number the column cannot
    // hold, whichever way it comes. Null passes (the comparison is unknown).
    auto rangeCheck = [&](const char* lo, const char* hi) {
        return QStringLiteral(" CONSTRAINT \"%1%2\" CHECK (%3 BETWEEN %4 AND %5)")
            .arg(QLatin1String(kRangeCheck), tag, q, QLatin1String(lo), QLatin1String(hi));
    };
    const char* whole = "'integer','null'";
    const char* number = "'integer','real','null'";
    switch (c.type) {
    case dbText:
        def += QStringLiteral("TEXT(%1) COLLATE JETCI CONSTRAINT \"%2%3\" CHECK (length(%4) <= %1)")
                   .arg(c.size > 0 ? c.size : 255)
                   .arg(QLatin1String(kLenCheck), tag, q);
        break;
    case dbMemo: def += QLatin1String("LONGTEXT COLLATE JETCI"); break;
    case dbDouble:
        // 1e999 reads as infinity: every finite double is inside.
        def += QLatin1String("DOUBLE") + typeCheck(number)
            + QStringLiteral(" CONSTRAINT \"%1%2\" CHECK (%3 > -1e999 AND %3 < 1e999)").arg(QLatin1String(kRangeCheck), tag, q);
        break;
    case dbSingle:
        def += QLatin1String("SINGLE") + typeCheck(number) + rangeCheck("-3.4028236e38", "3.4028236e38");
        break;
    case dbCurrency:
        // The exact count of ten-thousandths; the one count below the range
        // (the negative of the largest and one more) is left out.
        def += QLatin1String("CURRENCY") + typeCheck(whole) + rangeCheck("-9223372036854775807", "9223372036854775807");
        break;
    case dbLong: def += QLatin1String("LONG") + typeCheck(whole) + rangeCheck("-2147483648", "2147483647"); break;
    case dbInteger: def += QLatin1String("SHORT") + typeCheck(whole) + rangeCheck("-32768", "32767"); break;
    case dbByte: def += QLatin1String("BYTE") + typeCheck(whole) + rangeCheck("0", "255"); break;
    // A Yes/No field is No until set: rows that exist when the column is added,
    // and rows inserted without it, read False rather than Null.
    case dbBoolean: def += QLatin1String("YESNO DEFAULT 0") + typeCheck(whole); break;
    // Dates are kept in the stored text form "yyyy-mm-dd hh:mm:ss", years 100 to 9999.
    case dbDate:
        def += QStringLiteral("DATETIME CONSTRAINT \"%1%2\" CHECK (%3 IS NULL OR (typeof(%3) = 'text' "
                              "AND %3 GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]' "
                              "AND %3 >= '0100'))")
                   .arg(QLatin1String(kTypeCheck), tag, q);
        break;
    case dbLongBinary: def += QLatin1String("LONGBINARY"); break;
    case dbGUID: def += QLatin1String("GUID"); break;
    default: def += QLatin1String("TEXT(255) COLLATE JETCI"); break;
    }
    if (notNull)
        def += QLatin1String(" NOT NULL");
    return def;
}

int fieldTypeOfStorage(int sqliteType, bool looksDate)
{
    switch (sqliteType) {
    case SQLITE_INTEGER: return dbLong;
    case SQLITE_FLOAT: return dbDouble;
    case SQLITE_BLOB: return dbLongBinary;
    case SQLITE_TEXT: return looksDate ? dbDate : dbText;
    default: return dbText;
    }
}

} // namespace jet
