// Makes the Access export templates in the given folder: "acs1", an empty
// Access 97 (Jet 3) database, and "acs2", an empty Access 2000 (Jet 4) one.
// Run by the build; the export copies them before it adds its table.
#include "platform/drivers/jet_writer.h"

#include <QDir>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* name;
        drivers::JetVersion version;
    } templates[] = {{"acs1", drivers::JetVersion::Jet3}, {"acs2", drivers::JetVersion::Jet4}};
    for (const auto& t : templates) {
        QSaveFile f(dir.filePath(QLatin1String(t.name)));
        const QByteArray bytes = drivers::emptyJetDatabase(t.version);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], qPrintable(f.fileName()),
                         qPrintable(f.errorString()));
            return 1;
        }
    }
    return 0;
}
