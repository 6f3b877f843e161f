// Reading and changing the spelling dictionary file (see dictionary.h for
// the format). Reads stream the file line by line; changes build the whole
// new file in memory (a dictionary is a list of words, small beside any list
// it checks) and hand it to the checked file writer, so the dictionary is
// always either the old file or the complete new one.
#include "workbench/dictionary.h"

#include "app/programfiles.h"
#include "exchange/text_lines.h"
#include "platform/files/checked_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>


namespace spelling {
namespace {

const QString kSettings = QStringLiteral("\\Settings\\");

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

/// The fields of one non-empty line.
void parseLine(const QString& line, QStringList& out)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        QString field;
        if (i < n && line[i] == QLatin1Char('"')) {
            // Quoted: to the closing quote; "" inside is one quote. No closing
            // quote: to the line end.
            ++i;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < n && line[i] != QLatin1Char(','))
                ++i;   // anything between the closing quote and the comma is dropped
        } else {
            qsizetype end = line.indexOf(QLatin1Char(','), i);
            if (end < 0)
                end = n;
            qsizetype last = end;
            while (last > i && isBlank(line[last - 1]))
                --last;
            field = line.mid(i, last - i);
            i = end;
        }
        out << field;
        if (i >= n)
            return;
        ++i;   // past the comma: another field follows, empty when the line ends here
    }
}

/// The file's lines, or nullopt with the reason. missingIsEmpty: a file that
/// does not exist reads as no lines.
std::optional<QStringList> readLines(const QString& path, QString* error, bool missingIsEmpty)
{
    const auto fail = [error](const QString& why) -> std::optional<QStringList> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        if (missingIsEmpty)
            return QStringList();
        return fail(QStringLiteral("File not found"));
    }
    if (info.isDir())
        return fail(QStringLiteral("Path/File access error"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.error() == QFileDevice::OpenError && !info.isReadable() ? QStringLiteral("Permission denied")
                                                                                  : file.errorString());
    const exchange::TextEncoding encoding = exchange::detectTextEncoding(file);
    if (!file.seek(0))
        return fail(file.errorString());
    exchange::TextLineReader reader(file, encoding);
    QStringList lines;
    QString line;
    while (reader.readLine(line))
        lines << line;
    if (reader.hasError())
        return fail(reader.errorString());
    return lines;
}

/// Writes the lines, each ended by CR LF, as the whole new file at path.
Result replaceFile(const QString& path, const QStringList& lines)
{
    const QFileInfo target(path);
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner))
        return {false, files::cannotWrite(path, QStringLiteral("Permission denied"))};
    QByteArray bytes;
    for (const QString& l : lines) {
        bytes += l.toUtf8();
        bytes += "\r\n";
    }
    QString error;
    if (!files::writeWholeFile(path, bytes, &error))
        return {false, error};
    return {};
}

} // namespace

QString dictionaryFile() { return app::programFile(kSettings + QStringLiteral("dict.dic")); }

QStringList parseEntries(const QStringList& lines)
{
    QStringList out;
    for (const QString& line : lines) {
        bool empty = true;
        for (QChar c : line)
            empty = empty && isBlank(c);
        if (empty)
            out << QString();
        else
            parseLine(line, out);
    }
    return out;
}

QString quotedEntry(const QString& entry)
{
    QString q = entry;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString entryLine(const QString& entry)
{
    const bool bare = !entry.isEmpty() && !isBlank(entry.front()) && !isBlank(entry.back())
                      && !entry.contains(QLatin1Char(',')) && !entry.contains(QLatin1Char('"'));
    return bare ? entry : quotedEntry(entry);
}

std::optional<QStringList> readEntries(const QString& path, QString* error)
{
    const auto lines = readLines(path, error, false);
    if (!lines)
        return std::nullopt;
    return parseEntries(*lines);
}

std::optional<QSet<QString>> loadWords(const QString& path, QString* error)
{
    const auto entries = readEntries(path, error);
    if (!entries)
        return std::nullopt;
    return QSet<QString>(entries->begin(), entries->end());
}

Result appendEntry(const QString& path, const QString& entry)
{
    QString error;
    auto lines = readLines(path, &error, true);
    if (!lines)
        return {false, error, true};
    lines->append(entryLine(entry));
    return replaceFile(path, *lines);
}

Result removeEntry(const QString& path, const QString& word, int* removed)
{
    QString error;
    const auto entries = readEntries(path, &error);
    if (!entries)
        return {false, error, true};
    QStringList kept;
    for (const QString& e : *entries)
        if (e != word)
            kept << quotedEntry(e);
    if (removed)
        *removed = int(entries->size() - kept.size());
    return replaceFile(path, kept);
}

} // namespace spelling
