// The two lists that decide whether an address ends in a known top-level
// domain: the country codes (each with its country's name) and the generic
// domains. Built once per run from the settings lists and then only read, so a
// list of a thousand entries costs one hash look-up per address, not a walk.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace email {

struct CountryDomain {
    QString code;  ///< as listed; only a lower-case code can ever match
    QString name;
    friend bool operator==(const CountryDomain&, const CountryDomain&) = default;
};

class DomainLists {
public:
    /// Empty lists: no address is valid.
    DomainLists();
    /// Empty entries are skipped. Entries are kept exactly as given (they are
    /// compared case-sensitively with the lower-cased last label).
    DomainLists(const QStringList& generic, const std::vector<CountryDomain>& countries);

    bool isCountry(QStringView label) const;
    bool isGeneric(QStringView label) const;

    /// The generic domains, each once, in list order.
    const QStringList& generic() const;
    /// The country codes in list order, one per code compared without regard
    /// to case (the country table's key refuses "UK" beside "uk"); the first
    /// listed spelling wins. Every listed spelling still counts for isCountry.
    const std::vector<CountryDomain>& countries() const;

    /// Position of a generic domain in list order (its first listing), -1 if
    /// it is not listed. The correction search tries domain endings by it.
    int genericRank(QStringView label) const;
    /// Length of the longest generic domain (0 for none).
    int longestGeneric() const;

private:
    struct Data;
    std::shared_ptr<const Data> d_;
};

/// Reads the text of the generic-domain settings file: one double-quoted entry
/// per line, as the list editor writes it. Every item of a line counts (an
/// unquoted comma separates items); empty items and repeats are skipped.
QStringList parseGenericDomains(QStringView fileText);

/// Reads the text of the country-code settings file: per line a quoted code, a
/// comma and a quoted country name. Lines without a code, with a code longer
/// than two characters (the country table cannot hold it) or with a code
/// already read (exactly the same) are skipped; a missing name reads as "".
/// skippedLines, when given, receives the number of non-blank lines dropped.
std::vector<CountryDomain> parseCountryDomains(QStringView fileText, int* skippedLines = nullptr);

} // namespace email
