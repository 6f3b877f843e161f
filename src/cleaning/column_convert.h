// The Column Cleaner's conversion: every row of tblData whose column holds
// one of the chosen old values receives one new value (Null when it is
// empty), in one UPDATE inside a workspace transaction.
#pragma once

#include "platform/jet/database.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace cleaning {

struct ConvertRequest {
    QString column;       ///< the column's name, as in cmbColumn1
    QString delimiter;    ///< "#" for a date, a double quote for text and memo, "" otherwise
    QStringList oldValues;///< the texts of lstOld; "" is the empty value
    QString newValue;     ///< "" converts to Null
    int fieldType = 0;    ///< the column's field type code, for the message on a value it cannot hold
    int fieldSize = 0;    ///< a Text column's length (0: not checked)
};

/// The condition text "WHERE ... " for the old values, or nullopt when one of
/// them equals the new value ignoring case. Throws jet::JetError when a value
/// cannot be written as a literal of the column (not a date, not a number),
/// with a description that names the column and what it holds. A number is
/// written as the number read, every digit kept.
std::optional<QString> convertCondition(const ConvertRequest& request);

/// "UPDATE tblData SET [c]=... " followed by the condition. Throws as above.
QString convertStatement(const ConvertRequest& request, const QString& condition);

/// The date literal's inside for a value as the lists show it:
/// "mm/dd/yyyy hh:nn:ss"; nullopt when the text is no date.
std::optional<QString> dateLiteralText(const QString& shown);

enum class ConvertOutcome { Converted, Clash, Failed };

struct ConvertResult {
    ConvertOutcome outcome = ConvertOutcome::Failed;
    QString message;         ///< the text to show for Clash and Failed
    qint64 rowsChanged = 0;
};

/// The clash message of a new value that is also one of the old values.
extern const char* const kClashMessage;

/// Runs the conversion on db. Nothing is changed unless it succeeds: a
/// failing statement rolls the transaction back. Empty oldValues: Converted, 0 rows.
ConvertResult runColumnConvert(jet::Database& db, const ConvertRequest& request);

} // namespace cleaning
