// Checking one e-mail address: the verdict, the reason it failed, its split
// into account, sub-domain, domain and country code, and at most one suggested
// correction for an address that failed. Pure functions over the domain lists;
// safe to call from several threads at once.
#pragma once

#include "email/domain_lists.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <span>

namespace email {

/// Why an address failed. The numbered ones are the failure codes the
/// correction search works from; the last two get no suggestion.
enum class Fault : int {
    None = 0,           ///< valid
    NoAt = 1,           ///< no "@"
    WideAccountChar = 3,///< a character of the account beyond U+00FF
    NoDotInDomain = 4,  ///< nothing after the "@" holds a "."
    BadLabel = 5,       ///< a label shorter than 2, or not only a-z, 0-9 and "-"
    UnknownTopLevel = 6,///< the last label is in neither list
    NotOneAt = 7,       ///< more than one "@"
    EmptyAccount = 8,   ///< nothing but blanks before the "@"
};

/// One row's worth of results. A field that the check leaves Null is nullopt;
/// "" is a real empty value (an empty sub-domain, the country of an address on
/// a generic domain, the account of an address that has none).
struct EmailCheck {
    bool isValid = false;
    Fault fault = Fault::None;
    std::optional<QString> account;    ///< lower case, blanks removed
    std::optional<QString> subDomain;
    std::optional<QString> domain;     ///< the top-level label itself for a generic domain
    std::optional<QString> country;    ///< "" for a generic domain
    std::optional<QString> suggestion; ///< only for an invalid address
};

/// Counters for one check, for tests and benchmarks.
struct SearchProbe {
    /// Candidate addresses validated by the correction search (each distinct
    /// candidate once, unless memoise is off).
    int candidatesChecked = 0;
    /// Off only to compare with the plain search: without the memo an address
    /// ending in many stray characters costs time exponential in their number.
    bool memoise = true;
};

/// The 32 ASCII punctuation characters in the default order of the special-
/// character table: codes 33-47, 58-64, 91-96 and 123-126.
QString defaultSpecialChars();

/// The special-character table's codes (ANSI, Windows-1252) as characters, in
/// row order. Codes outside 1-255 are dropped.
QString specialCharsFromCodes(std::span<const int> ansiCodes);

/// Removes leading and trailing spaces (U+0020 only; tabs stay), as the column
/// run does to each cell before checking it.
QStringView trimBlanks(QStringView s);

/// Checks one address (the cell as it will be stored, already trimmed).
/// specialChars: the special-character table in row order; the correction
/// search for an address without "@" tries each of them, in order, as a
/// mistyped "@". With suggest false no correction is searched for.
EmailCheck checkEmail(const QString& address, const DomainLists& domains,
                      QStringView specialChars, bool suggest = true,
                      SearchProbe* probe = nullptr);

} // namespace email
