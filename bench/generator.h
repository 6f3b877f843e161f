// Seeded generator of realistic contact lists for the benchmarks: the same
// options and seed always give the same rows, on any machine.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

namespace bench {

/// What to generate. Rates are shares of all rows (dupRate, typoRate) or of
/// the filled Email cells (badEmailRate); each lies in 0..1 and dupRate +
/// typoRate must not exceed 1.
struct GenOptions {
    qint64 rows = 1000;
    quint64 seed = 1;
    double dupRate = 0.03;      ///< rows that repeat an earlier record exactly
    double typoRate = 0.02;     ///< rows that repeat an earlier record with one letter changed
    double badEmailRate = 0.10; ///< filled Email cells that fail the address rules
};

/// What a run produced; every count is of rows handed to the sink.
struct GenStats {
    qint64 rows = 0;
    qint64 duplicates = 0;   ///< exact copies of an earlier row
    qint64 misspellings = 0; ///< copies of an earlier row with FirstName, LastName or City off by one letter
    qint64 badEmails = 0;    ///< Email cells that fail the address rules
    qint64 emptyEmails = 0;  ///< Email cells left empty
};

using RowSink = std::function<void(const QStringList& row)>;

/// The 12 column names, in row order.
QStringList generatorColumns();

/// Generic top-level domains the valid addresses use (load these as the
/// generic domain list so that the address rules accept them).
QStringList generatorGenericDomains();
/// Country-code top-level domains the valid addresses use, with country names.
QList<QPair<QString, QString>> generatorCountryDomains();

/// Checks the options; false with a reason in error when they cannot be used.
bool checkOptions(const GenOptions& options, QString* error);

/// Hands options.rows rows to sink, in order. Returns false (and calls sink
/// never) when the options are unusable.
bool generate(const GenOptions& options, const RowSink& sink, GenStats* stats = nullptr,
              QString* error = nullptr);

/// Writes the rows as CSV: a header row, every non-empty value in double
/// quotes with inner quotes doubled, CR LF line ends, UTF-8 without a byte
/// order mark. The file is replaced only when the whole write succeeds.
bool writeCsv(const GenOptions& options, const QString& path, QString* error,
              GenStats* stats = nullptr);

} // namespace bench

namespace bench {

/// Writes the rows as a contact-manager database of its standard fields into
/// folder (made when missing; the files of an earlier database there are
/// replaced): CONTACTS.DBF with the ten system fields filled as the contact
/// manager fills them, one primary e-mail record per filled Email cell, and,
/// with users, a multi-user database whose users log on with those names and
/// passwords. Returns the contact table's path, "" with a reason in error.
QString writeContacts(const GenOptions& options, const QString& folder, QString* error, GenStats* stats = nullptr,
                      const QList<QPair<QString, QString>>& users = {});

} // namespace bench
