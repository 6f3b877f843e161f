// The texts the grid's Filter, Find and Replace dialogs work with: the
// sound-alike code, the conditions handed to the engine, and the replacement
// rule. Plain functions, no windows.
#pragma once
#include <QString>

namespace workbench {

/// The four-character sound-alike code of word: its first character upper
/// case, then the digits of the following consonants, padded with "0".
QString Soundex(const QString& word);

/// The Filter dialog's condition on field (of DAO type daoType) for the typed
/// text; unknownType is set (and "" returned) for a type it cannot filter.
QString filterCondition(const QString& field, int daoType, const QString& text, bool& unknownType);

enum class FindMode { Exact, AnyPart, StartOf };
/// The Find dialog's LIKE condition; the text's own wildcards keep their meaning.
QString findCondition(FindMode mode, const QString& field, const QString& text);

/// Every occurrence of find in text replaced by replacement, ignoring case;
/// an empty find leaves text as it is.
QString replaceIgnoringCase(const QString& text, const QString& find, const QString& replacement);

} // namespace workbench
