// The help window. It is made once and reused, as the old help engine kept
// one window per help file open: a second help call replaces the page
// instead of stacking windows. Links between pages work as in a browser;
// links to web pages open in the desktop's browser.
#include "platform/ui/helpwindow.h"

#include "platform/ui/ui.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
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
    placeOnScreen();
    bringToFront(this);
}

QRect HelpWindow::fitInside(const QRect& frame, const QRect& available)
{
    QRect r(frame.topLeft(), frame.size().boundedTo(available.size()));
    if (r.right() > available.right())
        r.moveRight(available.right());
    if (r.bottom() > available.bottom())
        r.moveBottom(available.bottom());
    if (r.left() < available.left())
        r.moveLeft(available.left());
    if (r.top() < available.top())
        r.moveTop(available.top());
    return r;
}

void HelpWindow::placeOnScreen()
{
    const QWidget* over = QApplication::activeWindow();
    QScreen* screen = isVisible() ? this->screen() : nullptr;
    if (!screen && over && over != this)
        screen = over->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // Before the first show the frame is not known yet: room is kept for a
    // title bar and borders as desktops draw them.
    const QMargins frameMargins = isVisible() && frameGeometry() != geometry()
        ? QMargins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom())
        : QMargins(8, 32, 8, 8);
    QRect frame = geometry().marginsAdded(frameMargins);
    if (!isVisible() && over && over != this)
        frame.moveCenter(over->frameGeometry().center());   // opens over the window it helps with
    const QRect fitted = fitInside(frame, available);
    const QRect client = fitted.marginsRemoved(frameMargins);
    if (client.size() != size())
        resize(client.size());
    if (fitted.topLeft() != pos())
        move(fitted.topLeft());   // a window's position is its frame's
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
