// The Excel drivers behind "[Excel 8.0;...]", "[Excel 97;...]" and
// "[Excel 5.0;...]": listing a workbook's sheets, reading a sheet (HDR, IMEX)
// with our own reader of its records (xls_reader.h), and writing a new
// workbook of one sheet (xls_writer.h). A workbook that already exists is
// never written into: the export deletes it first, and anything else is
// refused, so no sheet of the user's is overwritten.
//
// Listing and reading run in a child process (read_boundary.h), as every
// read of a file that others wrote: the reader refuses a file whose
// structure does not hold together before it takes a value from it, and the
// child bounds what no check of the structure can, the time and memory a
// read takes. The child sends the columns, then the rows as it makes them;
// the count of cells whose formula ended in an error comes back with the
// columns.
#include "platform/drivers/builtin.h"
#include "platform/drivers/external.h"
#include "platform/drivers/read_boundary.h"
#include "platform/drivers/xls_reader.h"
#include "platform/drivers/xls_writer.h"
#include "platform/jet/error.h"

#include <QFileInfo>

#include <utility>

namespace drivers {
namespace {

bool optionYes(const Spec& spec, const char* key, bool fallback)
{
    const QString v = spec.options.value(QLatin1String(key)).trimmed().toUpper();
    if (v.isEmpty())
        return fallback;
    return v == QLatin1String("YES") || v == QLatin1String("1") || v == QLatin1String("TRUE");
}

// A sheet's rows, made from its cells as they are handed out: the child
// sends the first rows while it makes the next.
class SheetReader : public RowReader {
public:
    explicit SheetReader(XlsSheetRows rows) : rows_(std::move(rows)) {}
    const jet::ColumnList& columns() const override { return rows_.columns(); }
    long long emptiedCells() const override { return rows_.formulaErrors(); }
    bool next(std::vector<jet::Value>& row) override { return rows_.next(row); }
    bool nextView(std::vector<CellView>& row) override { return rows_.nextView(row); }

private:
    XlsSheetRows rows_;
};

thread_local long long formulaErrors = 0;

[[noreturn]] void external(const QString& why)
{
    throw jet::JetError(jet::errExternal, why);
}

class ExcelDriver : public Driver {
public:
    explicit ExcelDriver(XlsVersion v) : version_(v) {}

    std::unique_ptr<RowReader> read(const Spec& spec, const QString& table) override
    {
        // The count of formula errors comes back across the boundary with
        // the columns; the import's closing message names it.
        std::unique_ptr<RowReader> r = readExcelSheet(spec, table);
        formulaErrors += r->emptiedCells();
        return r;
    }

    void write(const Spec& spec, const QString& table, const jet::ColumnList& columns, const RowSource& rows) override
    {
        if (QFileInfo::exists(spec.database))
            throw jet::JetError(jet::errTableExists, QStringLiteral("Table '%1' already exists.").arg(table));
        QString error;
        if (!writeXls(spec.database, version_, table, columns, rows, &error))
            external(error);
    }

    QStringList tables(const Spec& spec) override
    {
        return listInChild(spec.database, [&] { return tablesHere(spec); });
    }

    static std::unique_ptr<RowReader> readHere(const Spec& spec, const QString& table)
    {
        XlsWorkbook wb;
        QString error;
        if (!wb.open(spec.database, &error))
            external(error);
        XlsReadOptions o;
        o.firstRowHasNames = optionYes(spec, "HDR", true);
        o.mixedAsText = spec.options.value(QStringLiteral("IMEX")).trimmed() == QLatin1String("1");
        const int sheet = wb.findSheet(table);
        if (sheet < 0)
            throw jet::JetError(jet::errNoTable,
                                QStringLiteral("The database engine could not find the object '%1'.  Make sure the "
                                               "object exists and that you spell its name and the path name correctly.")
                                    .arg(table));
        XlsSheetRows rows;
        if (!wb.openSheet(sheet, o, rows, &error))
            external(error);
        return std::make_unique<SheetReader>(std::move(rows));
    }

private:
    static QStringList tablesHere(const Spec& spec)
    {
        XlsWorkbook wb;
        QString error;
        if (!wb.open(spec.database, &error))
            external(error);
        return wb.catalogNames();
    }

    XlsVersion version_;
};

} // namespace

std::unique_ptr<RowReader> readExcelSheet(const Spec& spec, const QString& table, const ReadLimits& limits)
{
    return readInChild(spec.database, [&] { return ExcelDriver::readHere(spec, table); }, limits);
}

long long takeExcelFormulaErrors()
{
    return std::exchange(formulaErrors, 0);
}

void registerExcelDrivers()
{
    registerDriver(QStringLiteral("EXCEL 8.0"), std::make_shared<ExcelDriver>(XlsVersion::Biff8));
    registerDriver(QStringLiteral("EXCEL 5.0"), std::make_shared<ExcelDriver>(XlsVersion::Biff5));
    registerDriver(QStringLiteral("EXCEL 97"), std::make_shared<ExcelDriver>(XlsVersion::Biff8));
}

} // namespace drivers
