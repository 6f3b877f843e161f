// qb-bench subcommands register themselves here; main() dispatches on argv[1].
// Each benchmark prints one line per figure: "name value unit".
#pragma once

#include <QStringList>
#include <functional>
#include <map>
#include <string>

namespace bench {

using Command = std::function<int(const QStringList& args)>;

struct Entry {
    std::string help;
    Command run;
};

std::map<std::string, Entry>& commands();

struct Registrar {
    Registrar(const std::string& name, const std::string& help, Command run)
    {
        commands()[name] = Entry{help, std::move(run)};
    }
};

/// Value of "--name value" in args, or fallback.
QString option(const QStringList& args, const QString& name, const QString& fallback = QString());
/// All values of a repeatable "--name value".
QStringList options(const QStringList& args, const QString& name);
bool flag(const QStringList& args, const QString& name);

/// Writes the bytes to stdout as they are, a U+0000 in a value included.
void out(const QByteArray& bytes);
/// The text as UTF-8, then line (a dump's line end).
void outLine(const QString& text, const char* line = "\r\n");

/// Prints "name value unit" on stdout.
void figure(const char* name, double value, const char* unit);
/// The same on stderr when dumping, since the dump then holds stdout.
void figure(const char* name, double value, const char* unit, bool dumping);

} // namespace bench
