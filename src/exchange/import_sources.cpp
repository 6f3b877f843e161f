// What the import procedure and its two choosers decide before any window is
// involved: the source kinds, the remembered kind, the chooser lists, the
// SQL of the worksheet and Access imports, and the savepoint that makes the
// replacement of tblData all or nothing.
//
// Every name read from a file (a path, a sheet, a table, a column) ends up
// between brackets in SQL text, and the engine's brackets cannot be escaped;
// fitsReference() is the guard callers run before building a reference.
#include "exchange/import_sources.h"

#include "platform/drivers/external.h"
#include "platform/files/checked_file.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QFile>

namespace exchange {
namespace {

struct Kind {
    const char* type;
    int filterIndex;
};

// Filter indexes are the positions in the dialog's filter text below.
constexpr Kind kKinds[] = {{"txt", 1}, {"mdb", 2}, {"xls", 3}, {"dbf", 4}};

const QString kSavepoint = QStringLiteral("qb_import");

/// The first field of a line as a sequential read takes it: the text between
/// the opening double quote and the next one, or up to the first comma.
QString firstField(const QString& line)
{
    const QString s = line.trimmed();
    if (s.startsWith(QLatin1Char('"'))) {
        const qsizetype end = s.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? s.mid(1) : s.mid(1, end - 1);
    }
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    return (comma < 0 ? s : s.left(comma)).trimmed();
}

} // namespace

QString importTypeForExtension(const QString& extension)
{
    const QString e = extension.toLower();
    if (e == QLatin1String("csv"))
        return QStringLiteral("txt");
    for (const Kind& k : kKinds)
        if (e == QLatin1String(k.type))
            return e;
    return QString();
}

int importFilterIndex(const QString& importType)
{
    for (const Kind& k : kKinds)
        if (importType == QLatin1String(k.type))
            return k.filterIndex;
    return 0;
}

QString importDialogFilter()
{
    return QStringLiteral("Delimited Text Files (*.txt, *.csv)|*.txt;*.csv|") + QStringLiteral("Access DB Files (*.mdb)|*.mdb|")
           + QStringLiteral("Excel Files  (*.xls)|*.xls|") + QStringLiteral("Act! 6.0 Files (*.dbf)|*.dbf|")
           + QStringLiteral("All Files  (*.*)|*.*|");
}

std::optional<QString> readImportChoice(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One short record; anything long is not ours.
    const QString line = QString::fromUtf8(f.readLine(256));
    const QString field = firstField(line);
    for (const Kind& k : kKinds)
        if (field == QStringLiteral("Import=") + QLatin1String(k.type))
            return QString::fromLatin1(k.type);
    return std::nullopt;
}

bool writeImportChoice(const QString& path, const QString& importType)
{
    return files::writeWholeFile(path, "\"Import=" + importType.toUtf8() + "\"\r\n");
}

QStringList sheetChoices(const QStringList& catalogNames)
{
    QStringList out;
    for (const QString& catalogName : catalogNames) {
        const QString up = catalogName.toUpper();
        if (!up.contains(QLatin1Char('$')) || up.contains(QLatin1String("MSYS")))
            continue;
        QString name = catalogName;
        if (name.startsWith(QLatin1Char('\''))) {
            name = name.mid(1, name.size() - 2);
            name.replace(QStringLiteral("''"), QStringLiteral("'"));
        }
        // A sheet is "<name>$". Anything after the "$" is a range kept on the
        // sheet: the hidden helpers (_FilterDatabase, _xlnm.Print_Area) that
        // spreadsheet programs store there are no list to import.
        if (!name.endsWith(QLatin1Char('$')) || name.size() < 2)
            continue;
        name.chop(1);
        out << name;
    }
    return out;
}

QStringList tableChoices(const QStringList& tableNames)
{
    QStringList out;
    for (const QString& n : tableNames) {
        const QString up = n.toUpper();
        if (up.startsWith(QLatin1String("MSYS")) || up.startsWith(QLatin1String("SWITCHBOARD")))
            continue;
        out << n;
    }
    return out;
}

bool fitsReference(const QString& text, bool insideSpecifier)
{
    if (text.contains(QLatin1Char(']')))
        return false;
    return !(insideSpecifier && text.contains(QLatin1Char(';')));
}

QString excelSource(const QString& workbook, const QString& sheet, bool firstRowHasNames)
{
    return QStringLiteral("[Excel 8.0; HDR=") + (firstRowHasNames ? QStringLiteral("YES") : QStringLiteral("NO"))
           + QStringLiteral("; IMEX=1; Database=") + workbook + QStringLiteral("].[") + sheet + QStringLiteral("$]");
}

QString checkedExcelSource(const QString& workbook, const QString& sheet, bool firstRowHasNames)
{
    if (!fitsReference(workbook, true) || !fitsReference(sheet, false))
        throw jet::JetError(jet::errGeneral, QStringLiteral("The workbook's path or the worksheet's name holds a character "
                                                            "(']' or ';') that cannot be used in a table reference."));
    return excelSource(workbook, sheet, firstRowHasNames);
}

QString columnNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("A column without a name cannot be imported.");
    if (!fitsReference(name, false))
        return QStringLiteral("The column name '%1' holds a ']', which cannot be used in a column reference.").arg(name);
    return QString();
}

namespace {

bool isBinary(const jet::ColumnInfo& c) { return c.type == jet::dbBinary || c.type == jet::dbLongBinary; }

} // namespace

QStringList accessLeftOutColumns(const jet::ColumnList& columns)
{
    QStringList names;
    for (const jet::ColumnInfo& c : columns)
        if (isBinary(c))
            names << c.name;
    return names;
}

QString leftOutColumnsNote(const QStringList& names)
{
    if (names.isEmpty())
        return QString();
    const QString list = QStringLiteral("[") + names.join(QStringLiteral("], [")) + QStringLiteral("]");
    return names.size() == 1
        ? QStringLiteral("1 column left out (%1): pictures and other binary data cannot be imported.").arg(list)
        : QStringLiteral("%1 columns left out (%2): pictures and other binary data cannot be imported.")
              .arg(names.size())
              .arg(list);
}

QString formulaErrorsNote(long long cells)
{
    if (cells <= 0)
        return QString();
    return cells == 1 ? QStringLiteral("1 cell held a formula error and came in empty.")
                      : QStringLiteral("%1 cells held a formula error and came in empty.").arg(cells);
}

QString accessSelectList(const jet::ColumnList& columns)
{
    QString list;
    for (const jet::ColumnInfo& c : columns) {
        if (isBinary(c))
            continue;
        if (!list.isEmpty())
            list += QStringLiteral(", ");
        if ((c.attributes & jet::dbAutoIncrField) && c.type == jet::dbLong)
            list += QStringLiteral("CLng(T.[") + c.name + QStringLiteral("]) AS [") + c.name + QStringLiteral("]");
        else
            list += QStringLiteral("[") + c.name + QStringLiteral("]");
    }
    return list;
}

QString accessImportSql(const QString& selectList, const QString& file, const QString& table)
{
    return QStringLiteral("SELECT ") + selectList + QStringLiteral(" INTO tblData FROM [") + file + QStringLiteral("].[")
           + table + QStringLiteral("] AS T;");
}

QString accessImportStatement(const QString& file, const QString& table, QStringList* leftOut)
{
    if (!fitsReference(file, true) || !fitsReference(table, false))
        throw jet::JetError(jet::errGeneral, QStringLiteral("The database's path or the table's name holds a character "
                                                            "(']' or ';') that cannot be used in a table reference."));
    const jet::ColumnList columns = accessTableColumns(file, table);
    for (const jet::ColumnInfo& c : columns) {
        const QString problem = columnNameProblem(c.name);
        if (!problem.isEmpty())
            throw jet::JetError(jet::errGeneral, problem);
    }
    const QString list = accessSelectList(columns);
    if (list.isEmpty())
        throw jet::JetError(jet::errGeneral, QStringLiteral("The table '%1' holds no column that can be imported: "
                                                            "pictures and other binary data cannot be imported.")
                                                 .arg(table));
    if (leftOut)
        *leftOut = accessLeftOutColumns(columns);
    return accessImportSql(list, file, table);
}

jet::ColumnList accessTableColumns(const QString& file, const QString& table)
{
    const drivers::Spec spec = drivers::parseSpec(file);
    // A reader describes its columns before the first row is asked for, so a
    // large table costs no more than a small one here.
    return drivers::driverFor(spec).read(spec, table)->columns();
}

QStringList accessTables(const QString& file)
{
    const drivers::Spec spec = drivers::parseSpec(file);
    return drivers::driverFor(spec).tables(spec);
}

QStringList workbookCatalog(const QString& workbook)
{
    drivers::Spec spec;
    spec.kind = QStringLiteral("EXCEL 8.0");
    spec.database = workbook;
    return drivers::driverFor(spec).tables(spec);
}

void allOrNothing(jet::Database& db, const std::function<void()>& work)
{
    db.connection().inSavepoint(kSavepoint, work);
}

} // namespace exchange
