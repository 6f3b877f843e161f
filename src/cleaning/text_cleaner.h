// The Text Cleaner's cleaning steps: per-value rewrites of a text column, and
// the fixed order in which a run applies the ticked ones.
#pragma once

#include <QString>

namespace cleaning {

// Each step walks the value once and returns the characters it keeps or the
// replacements it makes, in order. Digits are the ten ASCII digits; letters are
// the letters of every script, with the combining marks that belong to them.
// A step that changes nothing hands back the input itself (shared, no copy).

/// Drops the control characters U+0000 to U+001F and U+007F; everything else,
/// the C1 range and the no-break space included, stays.
QString Remov_Non_Print(const QString& s);
/// Collapses each run of identical characters that are neither letters, marks
/// nor digits into one: "Hello!!!  World((" gives "Hello! World(".
QString Remov_Repeat(const QString& s);
/// "0" becomes "o" and "1" becomes "l" (lower-case letters).
QString Conv_1(const QString& s);
/// Keeps letters (any script, with their marks) and digits only.
QString Remov_NonDigitAlpha(const QString& s);
/// Drops the digits.
QString Remov_Digits(const QString& s);
/// "O" and "o" become "0"; "L", "l", "I" and "i" become "1".
QString Conv_2(const QString& s);
/// Keeps digits, spaces (U+0020, U+00A0) and the three characters ' , . only.
QString Remov_NonDigitExcept3(const QString& s);
/// Drops every ' , and .
QString Remov_3(const QString& s);
/// Drops the space and the no-break space.
QString Remov_Space(const QString& s);
/// Leading and trailing U+0020 removed, as the engine's TRIM does; tabs and
/// no-break spaces at the ends stay.
QString trimSpaces(const QString& s);

/// The ticked boxes of the Text Cleaner, one per step, in run order.
struct CleanSteps {
    bool trim = false;                 ///< "Remove leading and trailing spaces"
    bool removNonPrint = false;        ///< Remov_Non_Print
    bool removRepeat = false;          ///< Remov_Repeat
    bool conv1 = false;                ///< Conv_1 (alpha-only group)
    bool removNonDigitAlpha = false;   ///< Remov_NonDigitAlpha (alpha-only group)
    bool removDigits = false;          ///< Remov_Digits (alpha-only group)
    bool conv2 = false;                ///< Conv_2 (numeric-only group)
    bool removNonDigitExcept3 = false; ///< Remov_NonDigitExcept3 (numeric-only group)
    bool remov3 = false;               ///< Remov_3 (numeric-only group)
    bool removSpace = false;           ///< Remov_Space (numeric-only group)

    bool any() const;
};

/// Applies the ticked steps to one value in the fixed order above, whatever
/// order they were ticked in. Equal to running each ticked step as a pass of its
/// own over the column, each pass seeing what the earlier ones left. At most one
/// allocation per changed value; an unchanged value comes back shared.
QString cleanValue(const QString& s, const CleanSteps& steps);

/// The condition that selects the rows a run cleans, with a leading blank:
/// " WHERE [c] IS NOT NULL" for all values, or " WHERE [c] LIKE "pattern""
/// (double quotes in the pattern doubled) for the rows the typed filter lists.
/// Null values are never selected either way.
QString cleanCondition(const QString& column, const QString& likePattern, bool allValues);

} // namespace cleaning
