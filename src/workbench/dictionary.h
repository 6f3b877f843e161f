// The spelling dictionary: a text file of whole cell values, one entry a
// line, in the settings folder ("dict.dic"). The spell check and the
// dictionary manager read and change it only through the functions here.
//
// The file format, as older versions wrote it and as it is written now:
//   - a line holds entries separated by commas; an entry in double quotes may
//     hold commas, a doubled double quote inside it stands for one;
//   - an unquoted entry runs from its first to its last non-blank character
//     before the next comma or the line end; an empty line is an empty entry;
//   - an added entry is appended bare when that reads back as itself, else in
//     quotes; a rewrite (after a removal) quotes every entry.
// Entries compare exactly, with letter case; order carries no meaning and an
// entry may stand more than once. An entry cannot hold a line break.
//
// Every change writes the whole new file through the program's checked file
// writer (a temporary file beside it, every write checked, synced, then
// renamed over "dict.dic"): a failed step leaves the dictionary as it was. A
// dictionary whose write permission is taken away is treated as read-only and
// left unchanged. The seed copy "dict0.dic" that ships beside it is not read:
// a removal keeps the other entries as they are.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace spelling {

/// The dictionary under the program folder's settings.
QString dictionaryFile();

/// The entries of the file's lines, in file order (empty entries included).
QStringList parseEntries(const QStringList& lines);

/// The line that stores entry so that it reads back as exactly that one
/// entry: the bare text when it can stand bare, else quoted.
QString entryLine(const QString& entry);
/// The entry in quotes, inner quotes doubled.
QString quotedEntry(const QString& entry);

/// The outcome of reading or changing the dictionary; error holds the reason
/// when ok is false, worded as the file system gave it.
struct Result {
    bool ok = true;
    QString error;
    bool unreadable = false;   ///< the dictionary itself could not be read (nothing was written)
};

/// The entries of the file; nullopt when it cannot be opened or read (the
/// reason in error). Read as UTF-8 when valid, else as Windows-1252.
std::optional<QStringList> readEntries(const QString& path, QString* error = nullptr);

/// The dictionary's entries as a set for lookups; nullopt as readEntries.
std::optional<QSet<QString>> loadWords(const QString& path, QString* error = nullptr);

/// Adds entry at the end of the dictionary at path (made when missing).
Result appendEntry(const QString& path, const QString& entry);

/// Removes every entry equal to word; the new dictionary is the kept entries,
/// each quoted. removed (when given) is set to the number of entries dropped.
Result removeEntry(const QString& path, const QString& word, int* removed = nullptr);

} // namespace spelling
