// qb-bench: the project's benchmarks and engine tools as subcommands.
#include "registry.h"

#include <QCoreApplication>
#include <cstdio>

namespace bench {

std::map<std::string, Entry>& commands()
{
    static std::map<std::string, Entry> all;
    return all;
}

QString option(const QStringList& args, const QString& name, const QString& fallback)
{
    const int i = args.indexOf(name);
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : fallback;
}

QStringList options(const QStringList& args, const QString& name)
{
    QStringList out;
    for (int i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name)
            out << args[++i];
    return out;
}

bool flag(const QStringList& args, const QString& name) { return args.contains(name); }

void out(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout); }

void outLine(const QString& text, const char* line) { out(text.toUtf8() + line); }

void figure(const char* name, double value, const char* unit)
{
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

void figure(const char* name, double value, const char* unit, bool dumping)
{
    if (dumping)
        std::fprintf(stderr, "%s %.3f %s\n", name, value, unit);
    else
        figure(name, value, unit);
}

} // namespace bench

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty() || !bench::commands().count(args.first().toStdString())) {
        std::fprintf(stderr, "usage: qb-bench COMMAND [options]\n");
        for (const auto& [name, e] : bench::commands())
            std::fprintf(stderr, "  %-8s %s\n", name.c_str(), e.help.c_str());
        return 2;
    }
    const std::string cmd = args.takeFirst().toStdString();
    return bench::commands()[cmd].run(args);
}
