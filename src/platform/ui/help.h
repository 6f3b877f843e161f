// Help pages in place of the old help files. Each help file name the program
// uses stands for a folder of HTML pages beside it, with a map from the
// numeric context ids the program passes to the page that explains them.
//   <program folder>/Tutorial.HLP        -> <program folder>/help/tutorial
//   <program folder>/LumacorProHelp.HLP  -> <program folder>/help/reference
// A folder holds "contents.html" and "topics.map" (lines "id=page.html" or
// "id=page.html#anchor"; "#" at the start makes a comment line).
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

namespace ui {

/// The page folder that stands for helpFile; names match ignoring letter
/// case and "\" counts as "/". Other help file names map to
/// help/<base name in small letters>. The folder need not exist.
QString helpFolderFor(const QString& helpFile);

/// Reads a context map; lines that are not "number=page" are skipped.
QHash<qint64, QString> parseHelpMap(const QString& text);

struct HelpIndexEntry {
    QString title;
    QUrl page;
};

/// One folder of pages, read once. Cheap: a handful of small files.
class HelpBook {
public:
    static HelpBook load(const QString& folder);

    /// True when the folder has its contents page.
    bool isValid() const { return !contents_.isEmpty(); }
    QString folder() const { return folder_; }
    QUrl contents() const { return contents_; }
    /// The page of a context id; an empty URL when the map has none or the
    /// page is missing.
    QUrl topic(qint64 contextId) const;
    /// Every page with its title, sorted by title ignoring case.
    const QList<HelpIndexEntry>& index() const { return index_; }

private:
    QString folder_;
    QUrl contents_;
    QHash<qint64, QUrl> topics_;
    QList<HelpIndexEntry> index_;
};

}  // namespace ui
