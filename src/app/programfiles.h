// Files of the program folder by the names the program writes for them.
// Callers write "\settings\TIPOFDAY.TXT" or "Settings/PreFixes.txt"; on a
// case-sensitive file system those must still find "Settings/TIPOFDAY.TXT"
// and "Settings/Prefixes.txt", so every name goes through programFile().
#pragma once

#include <QString>

namespace app {

/// The path of a file under the program folder. "\" counts as "/"; each part
/// of the path that exists is taken in the letter case it has on disk, and
/// the parts that do not exist are kept as written (so the result can be
/// used to create the file). A leading separator is allowed and ignored.
QString programFile(const QString& relative);

/// Resolves relative under folder the same way.
QString resolveIgnoringCase(const QString& folder, const QString& relative);

}  // namespace app
