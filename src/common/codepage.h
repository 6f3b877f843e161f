// Character codes as the system counts them: Windows-1252, its single-byte
// code page. Text is Unicode inside the program; these two functions give a
// character's code and a code's character.
#pragma once

#include <QChar>

namespace codepage {

/// The character of a Windows-1252 code 0 to 255. The five codes the code
/// page leaves undefined (129, 141, 143, 144, 157) stand for the control
/// characters of the same number, as Windows converts them.
QChar charOfCode(int code);

/// The Windows-1252 code of a character (0 to 255), or -1 when the code page
/// has none for it (a Cyrillic letter, a CJK character, a surrogate).
int codeOf(QChar c);

} // namespace codepage
