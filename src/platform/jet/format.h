// The dialect's Round and Format, for the SQL functions of the same names.
// Both work on the decimal digits of a number (the shortest decimal text
// that reads back as the double), so that 2.675 rounds as the 2.675 typed.
//
// Format knows the named formats whose text does not hang on the machine's
// settings beyond the engine's own (US) date and number texts, and custom
// formats built of the usual parts; everything else is refused with a
// reason, never given a text of another meaning:
//   numbers  General Number, Fixed, Standard, Percent, Yes/No, True/False,
//            On/Off; custom sections (positive;negative;zero) of 0 # . , %
//            with literals (\x, "text", - + $ ( ) and blanks)
//   dates    General Date, Long Date, Medium Date, Short Date, Long Time,
//            Medium Time, Short Time; custom d dd ddd dddd m mm mmm mmmm
//            yy yyyy h hh n nn s ss AM/PM am/pm A/P a/p with / : - . ,
//            blanks and literals (m right after h or hh is the minute)
// Refused: Currency and Scientific, exponents, @ & < > ! text formats, the
// settings' own date parts (c, ddddd, dddddd, ttttt, w, ww, q, y), a fourth
// section, and a text that would read back as a stored date.
#pragma once

#include "platform/jet/value.h"

#include <QString>
#include <optional>

namespace jet {

/// d rounded half to even to the given number of decimals (0 or more), on
/// its decimal digits: 2.5 -> 2, 3.5 -> 4, 2.675 at 2 -> 2.68, 0.125 -> 0.12.
double roundHalfEven(double d, int decimals);

struct Formatted {
    std::optional<QString> text;   ///< nullopt: Null (the value was Null)
    QString refusal;               ///< not empty: the format is refused, with why
};

/// Format(value, format) as the dialect gives it; an empty format gives the
/// value's own text.
Formatted formatValue(const Value& value, const QString& format);

} // namespace jet
