// The help window. It is made once and reused, as the old help engine kept
// one window per help file open: a second help call replaces the page
// instead of stacking windows. Links between pages work as in a browser;
// links to web pages open in the desktop's browser.
#include "platform/ui/helpwindow.h"

#include "platform/ui/ui.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTextBrowser>

namespace ui {

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , browser_(new QTextBrowser(this))
    , index_(new QListWidget(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    browser_->setObjectName(QStringLiteral("helpPage"));
    index_->setObjectName(QStringLiteral("helpIndex"));
    browser_->setOpenExternalLinks(true);
    auto* split = new QSplitter(this);
    split->addWidget(index_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 3);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    resize(760, 560);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { current_ = url; });
    connect(index_, &QListWidget::itemActivated, this, &HelpWindow::openIndexEntry);
    connect(index_, &QListWidget::itemClicked, this, &HelpWindow::openIndexEntry);
}

HelpWindow* HelpWindow::instance()
{
    static QPointer<HelpWindow> window;
    if (!window)
        window = new HelpWindow;
    return window;
}

void HelpWindow::showCommand(const HelpBook& book, int command, qint64 data)
{
    setWindowTitle(applicationTitle() + QStringLiteral(" Help"));
    if (!book.isValid()) {
        showMissing(book.folder());
    } else {
        QUrl page = book.contents();
        if (command == HelpContext) {
            const QUrl t = book.topic(data);
            if (!t.isEmpty())
                page = t;
        }
        browser_->clearHistory();
        browser_->setSource(page);
        index_->clear();
        for (const HelpIndexEntry& e : book.index()) {
            auto* item = new QListWidgetItem(e.title, index_);
            item->setData(Qt::UserRole, e.page);
        }
    }
    index_->setVisible(command == HelpFinder && book.isValid());
    bringToFront(this);
}

QUrl HelpWindow::currentPage() const
{
    return current_;
}

bool HelpWindow::indexVisible() const
{
    return !index_->isHidden();
}

void HelpWindow::openIndexEntry(QListWidgetItem* item)
{
    if (item)
        browser_->setSource(item->data(Qt::UserRole).toUrl());
}

void HelpWindow::showMissing(const QString& folder)
{
    browser_->setPlainText(QStringLiteral("The help pages are not installed.\n\nExpected in: ") + folder);
    index_->clear();
    current_ = QUrl();
}

}  // namespace ui
