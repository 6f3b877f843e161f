// The generated list as a contact-manager database: the generator's twelve
// columns go to the contact fields of the same meaning, the system fields get
// the values the contact manager gives a contact (dates spread over the
// years by the row number, so the same options give the same files).
#include "generator.h"

#include "platform/contacts/contactdb.h"

#include <QDate>
#include <QDir>

namespace bench {
namespace {

/// A spread of the row number, stable across runs.
quint32 mix(qint64 row, quint32 salt)
{
    quint64 x = quint64(row) * 0x9E3779B97F4A7C15ull + salt;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    return quint32(x >> 32);
}

/// The text in the contact files' code page: a letter it lacks becomes its
/// base letter (Ł stays L), anything else "?".
QString encodable(const QString& s)
{
    QString out;
    for (QChar c : s) {
        if (contacts::hasWindows1252Code(c)) {
            out += c;
            continue;
        }
        const QString base = QString(c).normalized(QString::NormalizationForm_KD);
        out += !base.isEmpty() && contacts::hasWindows1252Code(base[0]) ? base[0] : QLatin1Char('?');
    }
    return out;
}

QString dateOf(const QDate& d) { return contacts::dateText(d.year(), d.month(), d.day()); }

} // namespace

QString writeContacts(const GenOptions& o, const QString& folder, QString* error, GenStats* stats,
                      const QList<QPair<QString, QString>>& users)
{
    try {
        contacts::NewDatabase spec;
        spec.multiUser = !users.isEmpty();
        for (const auto& u : users)
            spec.users.emplace_back(u.first, u.second);
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.dbf"), QStringLiteral("*.dbt")}, QDir::Files))
            QDir(folder).remove(name);
        const QString path = contacts::createDatabase(folder, spec);

        contacts::Database db;
        db.Open(path);
        if (!db.isopen())
            throw contacts::ContactError(db.openFailure());
        contacts::Table& contact = db.CONTACT();
        contacts::Table& email = db.Email();
        const QStringList columns = generatorColumns();
        const auto col = [&](const char* name) { return int(columns.indexOf(QLatin1String(name))); };
        const int cTitle = col("Title"), cFirst = col("FirstName"), cLast = col("LastName"), cCompany = col("Company"),
                  cAddress = col("Address"), cCity = col("City"), cState = col("State"), cZip = col("ZIP"),
                  cCountry = col("Country"), cPhone = col("Phone"), cEmail = col("Email"), cNotes = col("Notes");
        const QDate epoch(1998, 1, 1);
        qint64 row = 0;
        QString failure;
        const bool ok = generate(
            o,
            [&](const QStringList& r) {
                const QDate created = epoch.addDays(mix(row, 1) % 2500);
                const QDate edited = created.addDays(mix(row, 2) % 900);
                contact.Add();
                const std::pair<int, QString> values[] = {
                    {11, r[cCompany]},
                    {contacts::kContactNameField, (r[cFirst] + QLatin1Char(' ') + r[cLast]).trimmed()},
                    {12, r[cTitle]},
                    {13, r[cFirst]},
                    {14, r[cLast]},
                    {15, r[cAddress]},
                    {17, r[cCity]},
                    {18, r[cState]},
                    {19, r[cZip]},
                    {20, r[cCountry]},
                    {21, r[cPhone]},
                    {22, mix(row, 3) % 10 == 0 ? r[cPhone] : QString()},
                    {23, r[cNotes]},
                    {24, mix(row, 4) % 5 == 0 ? dateOf(edited.addDays(mix(row, 5) % 60)) : QString()},
                    {2, dateOf(created) + QStringLiteral(" 09:%1:00").arg(mix(row, 6) % 60, 2, 10, QLatin1Char('0'))},
                    {3, dateOf(edited) + QStringLiteral(" 16:%1:30").arg(mix(row, 7) % 60, 2, 10, QLatin1Char('0'))},
                    {5, mix(row, 8) % 20 == 0 ? QStringLiteral("Private") : QStringLiteral("Public")},
                    {6, QStringLiteral("Chris Hall")},
                    {7, QStringLiteral("Contact")},
                    {8, dateOf(created)},
                    {9, dateOf(edited)},
                    {201, QString::number(20240101000000ll + row)},
                    {202, QStringLiteral("F")},
                };
                for (const auto& [id, value] : values)
                    contact.setData(id, encodable(value));
                const QString uid = contact.Update();
                if (!r[cEmail].isEmpty()) {
                    email.Add();
                    email.setData(contacts::kEmailAddressField, encodable(r[cEmail]));
                    email.setData(contacts::kEmailPrimaryField, QStringLiteral("1"));
                    email.setData(contacts::kEmailOwnerField, uid);
                    email.Update();
                }
                ++row;
            },
            stats, &failure);
        if (!ok)
            throw contacts::ContactError(failure);
        db.Close();
        return path;
    } catch (const contacts::ContactError& e) {
        if (error)
            *error = e.description();
        return QString();
    }
}

} // namespace bench
