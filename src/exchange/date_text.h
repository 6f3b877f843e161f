// The text wizard's own reader of date and time texts. It follows the date
// order and the date and time delimiters the user chose in the wizard, never
// the machine's locale. Used by the type guess of the preview and, for every
// value of a date column, by both passes of the text import.
#pragma once

#include "platform/jet/value.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

namespace exchange {

/// The order of month, day and year in a date text.
enum class DateOrder { MDY, DMY, MYD, DYM, YMD, YDM };

/// "MDY", "DMY", "MYD", "DYM", "YMD" or "YDM" exactly; nullopt for anything else.
std::optional<DateOrder> dateOrderFromText(QStringView text);

struct DateSettings {
    /// nullopt (an order text the wizard does not know): no text has a date part,
    /// though a time alone is still read.
    std::optional<DateOrder> order = DateOrder::MDY;
    std::optional<QChar> dateDelimiter = QChar(u'/'); ///< none: no date part is ever found
    std::optional<QChar> timeDelimiter = QChar(u':'); ///< none: no time part is ever found

    /// From the wizard's boxes; each delimiter box counts by its first character.
    static DateSettings fromTexts(const QString& order, const QString& dateDelimiter,
                                  const QString& timeDelimiter);
};

/// The date-time a text stands for, or nullopt when it is empty or not a date.
///
/// Accepted: a date of three parts split by the date delimiter, in the chosen
/// order (day and month one or two digits, year one to four); a time of hour and
/// minutes, optionally seconds, split by the time delimiter (each one or two
/// digits, 24-hour clock); or a date, one or more blanks and a time. A time alone
/// falls on the zero date, 30 December 1899.
/// Years of one or two digits: 0-29 are 2000-2029, 30-99 are 1930-1999; three or
/// four digits are the year itself and must be 100 or more.
/// Not dates: a day the month does not have (31/02), AM/PM or any other word,
/// signs, blanks inside a part, a date followed by a blank and no time, and text
/// other than blanks ahead of a time that has no date.
std::optional<jet::DateTime> parseDateTime(QStringView text, const DateSettings& settings);

} // namespace exchange
