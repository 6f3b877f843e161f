// Small contact-manager databases for the tests of the contact link, made with
// the database's own calls, and their contents read back by a reader that is
// not ours (Python's dbfread) when the machine has it.
#pragma once

#include "platform/contacts/contactdb.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <vector>

namespace contacttest {

struct Contact {
    std::map<int, QString> values;   ///< by field id
    QString email;                   ///< "" for none
};

/// A long note: more than a text column of 255 holds.
inline QString longNote()
{
    QString s;
    for (int i = 0; s.size() < 300; ++i)
        s += QStringLiteral("note %1; ").arg(i);
    return s;
}

/// The three contacts of most tests. The second one's last meeting is
/// stored as "19990401", for a test to turn into a date the calendar lacks.
inline std::vector<Contact> threeContacts()
{
    using namespace contacts;
    const auto system = [](const char* created) {
        return std::map<int, QString>{{2, QString::fromLatin1(created) + QStringLiteral(" 09:30:00")},
                                      {3, QStringLiteral("02/01/2024 16:45:10")},
                                      {5, QStringLiteral("Public")},
                                      {6, QStringLiteral("Chris Hall")},
                                      {7, QStringLiteral("Contact")},
                                      {8, QString::fromLatin1(created)},
                                      {9, QStringLiteral("02/01/2024")}};
    };
    std::vector<Contact> c(3);
    c[0].values = system("01/15/2020");
    c[0].values.insert({{11, QStringLiteral("Acme")}, {kContactNameField, QStringLiteral("Ann Smith")},
                        {13, QStringLiteral("Ann")}, {14, QStringLiteral("Smith")}, {17, QStringLiteral("boston")},
                        {21, QStringLiteral("555-0101")}, {23, longNote()}, {24, QStringLiteral("03/15/2024")}});
    c[0].email = QStringLiteral("ann@acme.com");
    c[1].values = system("06/30/2021");
    c[1].values.insert({{kContactNameField, QStringLiteral("Bo Lee")}, {13, QStringLiteral("Bo")},
                        {14, QStringLiteral("Lee")}, {17, QStringLiteral("paris")}, {22, QStringLiteral("555-0202")},
                        {24, QStringLiteral("04/01/1999")}});
    c[2].values = system("11/02/2019");
    c[2].values.insert({{11, QStringLiteral("Cork Café")}, {kContactNameField, QStringLiteral("Cy O'Brien")},
                        {13, QStringLiteral("Cy")}, {14, QStringLiteral("O'Brien")}, {17, QStringLiteral("cork")}});
    c[2].email = QStringLiteral("cy@old.ie");
    return c;
}

/// Writes a database with the contacts into folder; returns the contact
/// table's path.
inline QString makeDatabase(const QString& folder, const std::vector<Contact>& people,
                            contacts::NewDatabase spec = contacts::NewDatabase())
{
    const QString path = contacts::createDatabase(folder, spec);
    contacts::Database db;
    db.Open(path);
    EXPECT_TRUE(db.isopen()) << db.openFailure().toStdString();
    for (const Contact& p : people) {
        db.CONTACT().Add();
        for (const auto& [id, value] : p.values)
            db.CONTACT().setData(id, value);
        const QString uid = db.CONTACT().Update();
        if (!p.email.isEmpty()) {
            db.Email().Add();
            db.Email().setData(contacts::kEmailAddressField, p.email);
            db.Email().setData(contacts::kEmailPrimaryField, QStringLiteral("1"));
            db.Email().setData(contacts::kEmailOwnerField, uid);
            db.Email().Update();
        }
    }
    db.Close();
    return path;
}

/// Replaces the first occurrence of from by to (same length) in the file:
/// a way to plant a value the database's own calls refuse.
inline void patchFile(const QString& path, const QByteArray& from, const QByteArray& to)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype at = bytes.indexOf(from);
    ASSERT_GE(at, 0);
    bytes.replace(at, from.size(), to);
    f.seek(0);
    f.write(bytes);
}

/// The records of a dBase file as Python's dbfread reads them, as JSON
/// objects of text values (a date the calendar lacks as its stored text);
/// nullopt when Python or dbfread is not installed.
inline std::optional<QJsonArray> readWithDbfread(const QString& path)
{
    QProcess p;
    const QString script = QStringLiteral(
        "import json, sys\n"
        "try:\n"
        "    from dbfread import DBF, FieldParser\n"
        "except ImportError:\n"
        "    sys.exit(3)\n"
        "class Parser(FieldParser):\n"
        "    def parseD(self, field, data):\n"
        "        try:\n"
        "            return FieldParser.parseD(self, field, data)\n"
        "        except ValueError:\n"
        "            return data.decode('latin1')\n"
        "table = DBF(sys.argv[1], encoding='cp1252', parserclass=Parser)\n"
        "rows = [{k: ('' if v is None else str(v)) for k, v in r.items()} for r in table]\n"
        "print(json.dumps(rows))\n");
    // The system interpreter, where Debian's Python modules are.
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() == 3
        || (p.error() == QProcess::FailedToStart))
        return std::nullopt;
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

/// Every file of a folder with its bytes.
inline std::map<QString, QByteArray> snapshot(const QString& folder)
{
    std::map<QString, QByteArray> out;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile f(QDir(folder).filePath(name));
        if (f.open(QIODevice::ReadOnly))
            out[name] = f.readAll();
    }
    return out;
}

} // namespace contacttest
