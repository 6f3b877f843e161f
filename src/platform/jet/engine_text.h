// Text as the engine stores it. The engine keeps text as UTF-8, and every
// text goes to it in that form, converted by us: never through its UTF-16
// calls, which take a U+FEFF or U+FFFE at the start of a text for a
// byte-order mark (whatever byte order they are told) and join half a
// surrogate pair with whatever follows it. Half a pair, which UTF-8 proper
// cannot hold, is written as the three bytes of its own code unit (the form
// the engine itself gives such a half at the end of a text), and
// textFromUtf8 (value.h) reads it back as itself.
#pragma once

#include <QByteArray>
#include <QStringView>

namespace jet {

/// The text in the engine's form, every character kept.
QByteArray utf8OfText(QStringView text);

/// The same written at out, which has room for 3 bytes a code unit; returns
/// the end of what was written.
char* writeUtf8(const char16_t* text, qsizetype n, char* out);

} // namespace jet
