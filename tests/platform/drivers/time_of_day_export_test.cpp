// A time of day alone (midnight included) leaves the program as a time on
// every export: its time of day in the text and HTML files, a time cell (a
// number from 0 to below 1 in a time format) in the Excel workbooks, as
// xlrd, a reader that is not ours, reads it. A date without a time and a
// date with a time keep their forms beside it.
#include "support/outside_need.h"

#include "platform/jet/database.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TimeOfDayExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
        db.execute(QStringLiteral("CREATE TABLE tblData (k LONG, d DATETIME)"));
        const char* values[] = {"#0:00:00#", "#12:00:00#", "#13:30:05#", "#1/5/2000#", "#12/31/1979 13:30:00#"};
        int k = 0;
        for (const char* v : values)
            db.execute(QStringLiteral("INSERT INTO tblData (k, d) VALUES (%1, %2)").arg(++k).arg(QLatin1String(v)),
                       jet::dbFailOnError);
    }
    void TearDown() override { db.close(); }

    QString readAll(const QString& name)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromUtf8(f.readAll());
    }

    QTemporaryDir dir;
    jet::Database db;
};

TEST_F(TimeOfDayExport, TextAndHtmlWriteATimeOfDayAsItsTime)
{
    db.execute(QStringLiteral("SELECT k, d INTO [TEXT;Database=%1].[out.txt] FROM tblData ORDER BY k").arg(dir.path()),
               jet::dbFailOnError);
    EXPECT_EQ(readAll(QStringLiteral("out.txt")).toStdString(),
              "\"k\",\"d\"\r\n1,0:00:00\r\n2,12:00:00\r\n3,13:30:05\r\n4,1/5/2000 0:00:00\r\n5,12/31/1979 13:30:00\r\n");

    db.execute(QStringLiteral("SELECT k, d INTO [HTML Export;Database=%1].[out.html] FROM tblData ORDER BY k").arg(dir.path()),
               jet::dbFailOnError);
    const QString html = readAll(QStringLiteral("out.html"));
    for (const char* row : {"<tr><td>1</td><td>0:00:00</td></tr>", "<tr><td>2</td><td>12:00:00</td></tr>",
                            "<tr><td>3</td><td>13:30:05</td></tr>", "<tr><td>4</td><td>1/5/2000 0:00:00</td></tr>",
                            "<tr><td>5</td><td>12/31/1979 13:30:00</td></tr>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(row))) << row << "\n" << html.toStdString();
}

TEST_F(TimeOfDayExport, ExcelWritesATimeOfDayAsATimeCell)
{
    // xlrd's view of the second column: the cell type (3 a date or time),
    // the stored number and the cell's number format.
    static const char* kScript = R"PY(
import sys, json
try:
    import xlrd
except Exception as e:
    print(json.dumps({"missing": str(e)})); sys.exit(0)
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s = b.sheet_by_index(0)
out = []
for r in range(1, s.nrows):
    c = s.cell(r, 1)
    out.append([c.ctype, c.value, b.format_map[b.xf_list[c.xf_index].format_key].format_str])
print(json.dumps({"cells": out}))
)PY";
    for (const char* driver : {"Excel 8.0", "Excel 5.0"}) {
        SCOPED_TRACE(driver);
        const QString book = dir.filePath(QStringLiteral("%1.xls").arg(QLatin1String(driver).left(7)));
        db.execute(QStringLiteral("SELECT k, d INTO [%1;Database=%2].[Times] FROM tblData ORDER BY k")
                       .arg(QLatin1String(driver), book),
                   jet::dbFailOnError);
        QProcess p;
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("command -p python3 -c \"$0\" \"$1\""),
                                            QString::fromUtf8(kScript), book});
        const bool ran = p.waitForFinished(60000) && p.exitCode() == 0;
        const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        QB_NEED_OUTSIDE(ran && !o.contains(QStringLiteral("missing")), "python3 with xlrd is needed to read the workbook");
        const QJsonArray cells = o.value(QStringLiteral("cells")).toArray();
        ASSERT_EQ(cells.size(), 5) << p.readAllStandardError().toStdString();
        const struct {
            double number;
            bool timeFormat;   ///< hours but no day in the format
        } want[] = {{0.0, true}, {0.5, true}, {(13 * 3600 + 30 * 60 + 5) / 86400.0, true}, {36530.0, false},
                    {29220.0 + 13.5 / 24, false}};
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QJsonArray c = cells[i].toArray();
            SCOPED_TRACE(QJsonDocument(c).toJson(QJsonDocument::Compact).toStdString());
            EXPECT_EQ(c[0].toInt(), 3);   // a date or time cell, never text
            EXPECT_NEAR(c[1].toDouble(), want[i].number, 1e-9);
            const QString format = c[2].toString().toLower();
            EXPECT_EQ(format.contains(QLatin1Char('h')) && !format.contains(QLatin1Char('d')), want[i].timeFormat);
        }
    }
}

} // namespace
