// The program's own help window: one small top-level window with the page
// and, for the contents-and-index command, the list of page titles beside it.
// Used by the Qt handler only; everyone else calls ui::winHelp.
#pragma once

#include "platform/ui/help.h"

#include <QWidget>

class QListWidget;
class QListWidgetItem;
class QTextBrowser;

namespace ui {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    /// Shows the book for one help command (HelpContext, HelpContents or
    /// HelpFinder); an unknown context id shows the contents page.
    void showCommand(const HelpBook& book, int command, qint64 data);

    /// The one help window of the program, made on first use.
    static HelpWindow* instance();

    QUrl currentPage() const;
    bool indexVisible() const;

    /// The frame's place inside available: as large as it fits, moved in
    /// from whichever edge it passes, and never above or left of it.
    static QRect fitInside(const QRect& frame, const QRect& available);

private:
    /// Keeps the whole window, frame included, on its screen's free area.
    void placeOnScreen();
    void openIndexEntry(QListWidgetItem* item);
    void showMissing(const QString& folder);

    QTextBrowser* browser_;
    QListWidget* index_;
    QUrl current_;  ///< empty while the missing-pages note is shown
};

}  // namespace ui
