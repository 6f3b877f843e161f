// The engine's error: a number and a description in the engine's own words.
#pragma once

#include <QString>
#include <stdexcept>

namespace jet {

class JetError : public std::runtime_error {
public:
    JetError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

// Error numbers callers may test. Stored in no file; kept stable anyway.
enum ErrorNumber : int {
    errSyntax = 3075,            ///< syntax error or unsupported statement
    errNoTable = 3078,           ///< input table or query not found
    errTableExists = 3010,       ///< table already exists
    errNoField = 3265,           ///< item not found in this collection
    errFieldTooSmall = 3163,     ///< value longer than its column
    errDuplicateKey = 3022,      ///< duplicate value in a key
    errNullKey = 3058,           ///< key cannot contain Null
    errNoCurrentRecord = 3021,   ///< BOF or EOF, or the record was deleted
    errTypeMismatch = 3464,      ///< data type mismatch
    errNotUpdatable = 3027,      ///< database or object is read-only
    errUpdateWithoutEdit = 3020, ///< Update without AddNew or Edit
    errCannotOpen = 3024,        ///< could not find or open file
    errExternal = 3274,          ///< external table is not in the expected format
    errOverflow = 3349,          ///< a number outside the range of its column or type
    errDivisionByZero = 11,      ///< division by zero in an expression
    errUndefinedFunction = 3085, ///< a function the dialect does not have
    errGeneral = 3000,
};

/// The engine's words for a value its column cannot take: of another kind,
/// or a number outside the column's range.
inline const char* const kConversionErrorText = "Data type conversion error.";
inline const char* const kOverflowText = "Numeric field overflow.";

} // namespace jet
