// A working database in a temporary folder, with a small contact list.
#pragma once

#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("work.sys"));
        db = jet::Database::open(path, true);
    }
    void TearDown() override { db.close(); }

    /// tblData with Name, City, Email, Age, Born and the counter key.
    void makeContacts()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ( [Name]  TEXT (255), [City]  TEXT (255), [Email] TEXT(255), "
                                  "[Age]  DOUBLE, [Born] DATETIME);"));
        const char* rows[] = {
            "(\"Ann Smith\", \"Boston\", \"ann@x.com\", 34, #01/05/1990 00:00:00#)",
            "(\"bob jones\", \"boston\", \"bob@y.org\", 41, #12/31/1979 13:30:00#)",
            "(\"Cara O'Neil\", \"Chicago\", Null, Null, Null)",
            "(\"Dan McKay\", \"\", \"dan@@z.com\", 29, #02/29/2000 00:00:00#)",
            "(\"José Müller\", \"Zürich\", \"jose@ch.ch\", 52, #07/04/1971 00:00:00#)",
        };
        for (const char* r : rows)
            db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City], [Email], [Age], [Born]) VALUES ") + QString::fromUtf8(r),
                       jet::dbFailOnError);
        jet::FieldDef key{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0};
        db.appendField(QStringLiteral("tblData"), key);
        db.execute(QStringLiteral("ALTER TABLE tblData ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK)"), jet::dbFailOnError);
    }

    /// The rows of a query as "a|b|c" lines, Null shown as <null>.
    QStringList rows(const QString& sql)
    {
        QStringList out;
        auto rs = db.openRecordset(sql, jet::dbOpenSnapshot);
        while (!rs->eof()) {
            QStringList cells;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const jet::Value v = rs->value(i);
                cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            out << cells.join(QLatin1Char('|'));
            rs->moveNext();
        }
        return out;
    }

    /// The value of one expression over the test's table (t unless named) as
    /// the engine's text, "<null>" for Null, or "error: " and the description.
    QString eval(const QString& expression, const QString& table = QStringLiteral("t"))
    {
        try {
            auto rs = db.openRecordset(QStringLiteral("SELECT ") + expression + QStringLiteral(" AS V FROM ") + table,
                                       jet::dbOpenSnapshot);
            const jet::Value v = rs->value(0);
            return v.isNull() ? QStringLiteral("<null>") : v.toString();
        } catch (const jet::JetError& e) {
            return QStringLiteral("error: ") + e.description();
        }
    }

    /// Runs the statement; "" when it ran, else "error: " and the description.
    QString run(const QString& sql)
    {
        try {
            db.execute(sql, jet::dbFailOnError);
            return QString();
        } catch (const jet::JetError& e) {
            return QStringLiteral("error: ") + e.description();
        }
    }

    QString scalar(const QString& sql)
    {
        const QStringList r = rows(sql);
        return r.isEmpty() ? QStringLiteral("<none>") : r.first();
    }

    QTemporaryDir dir;
    QString path;
    jet::Database db;
};
