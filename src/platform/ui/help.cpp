// Finding and reading the help pages: which folder a help file name stands
// for, the context map, and the index of page titles. No widgets here; the
// help window (helpwindow.cpp) shows what this finds.
#include "platform/ui/help.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace ui {

namespace {

const QString kContents = QStringLiteral("contents.html");
const QString kMap = QStringLiteral("topics.map");

/// The entry of dir whose name equals name ignoring case; name itself when
/// none does (so a path to a missing folder is still returned).
QString childIgnoringCase(const QString& dir, const QString& name)
{
    const QDir d(dir);
    if (d.exists(name))
        return d.filePath(name);
    const QStringList entries = d.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    return d.filePath(name);
}

QString pageTitle(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    // The title sits in the head; the first few KB are enough.
    const QString head = QString::fromUtf8(f.read(8192));
    static const QRegularExpression re(QStringLiteral("<title>(.*?)</title>"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(head);
    return m.hasMatch() ? m.captured(1).simplified() : QString();
}

}  // namespace

QString helpFolderFor(const QString& helpFile)
{
    QString path = helpFile.trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(path);
    const QString base = info.completeBaseName().toLower();
    QString sub = base;
    if (base == QLatin1String("lumacorprohelp"))
        sub = QStringLiteral("reference");
    else if (base == QLatin1String("tutorial"))
        sub = QStringLiteral("tutorial");
    const QString helpDir = childIgnoringCase(info.path(), QStringLiteral("help"));
    return childIgnoringCase(helpDir, sub);
}

QHash<qint64, QString> parseHelpMap(const QString& text)
{
    QHash<qint64, QString> map;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        bool ok = false;
        const qint64 id = line.left(eq).trimmed().toLongLong(&ok);
        const QString page = line.mid(eq + 1).trimmed();
        if (!ok || page.isEmpty())
            continue;
        map.insert(id, page);
    }
    return map;
}

HelpBook HelpBook::load(const QString& folder)
{
    HelpBook book;
    book.folder_ = folder;
    const QDir dir(folder);
    if (!dir.exists())
        return book;

    const QString contentsPath = childIgnoringCase(folder, kContents);
    if (QFileInfo(contentsPath).isFile())
        book.contents_ = QUrl::fromLocalFile(contentsPath);

    QFile mapFile(childIgnoringCase(folder, kMap));
    if (mapFile.open(QIODevice::ReadOnly)) {
        const QHash<qint64, QString> map = parseHelpMap(QString::fromUtf8(mapFile.readAll()));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QString& entry = it.value();
            const qsizetype hash = entry.indexOf(QLatin1Char('#'));
            const QString file = hash < 0 ? entry : entry.left(hash);
            const QString path = childIgnoringCase(folder, file);
            if (!QFileInfo(path).isFile())
                continue;  // a map line naming a missing page is treated as unmapped
            QUrl url = QUrl::fromLocalFile(path);
            if (hash >= 0)
                url.setFragment(entry.mid(hash + 1));
            book.topics_.insert(it.key(), url);
        }
    }

    const QStringList pages = dir.entryList({QStringLiteral("*.html"), QStringLiteral("*.htm")}, QDir::Files);
    for (const QString& p : pages) {
        const QString path = dir.filePath(p);
        QString title = pageTitle(path);
        if (title.isEmpty())
            title = QFileInfo(p).completeBaseName();
        book.index_.push_back({title, QUrl::fromLocalFile(path)});
    }
    std::sort(book.index_.begin(), book.index_.end(), [](const HelpIndexEntry& a, const HelpIndexEntry& b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    return book;
}

QUrl HelpBook::topic(qint64 contextId) const
{
    return topics_.value(contextId);
}

}  // namespace ui
