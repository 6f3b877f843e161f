// The main window: its menus and toolbars as actions by control name, the
// five-panel status bar, the load, the quit road, the View/Tools/Help
// commands, the recent files and the switching of the data commands.
//
// The data commands are switched as one set by enable/disable; the filter
// look (workbench) switches Find, Replace, Filter and the filter-off buttons
// within that set, so enable/disable must touch exactly the commands listed
// for them and nothing more.
#include "app/mdimain.h"

#include <QPointer>

#include "app/contextids.h"
#include "app/frmabout.h"
#include "app/frmtipoftheday.h"
#include "app/icons.h"
#include "app/listeditors.h"
#include "app/weblinks.h"
#include "cleaning/list_editors.h"
#include "common/general.h"
#include "email/domain_editors.h"
#include "platform/ui/settings.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"
#include "workbench/frmdataform.h"
#include "workbench/spelling.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

namespace {

MDIMain* gMain = nullptr;

const QString kMruSection = QStringLiteral("MRUFiles");
const char* const kCaption = "Lumacor Quillabrand Pro";
const char* const kNoListText = "Choose 'Import' to Open File or 'Tutorial' to Guide you.";

/// The MDI area with the product picture in its middle until a list is opened.
class Backdrop : public QMdiArea {
public:
    using QMdiArea::QMdiArea;
    bool picture = true;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QMdiArea::paintEvent(e);
        if (!picture || !subWindowList().isEmpty())
            return;
        QPainter p(viewport());
        const QSize size(420, 150);
        const QRect r(QPoint((viewport()->width() - size.width()) / 2, (viewport()->height() - size.height()) / 2), size);
        p.setOpacity(0.9);
        p.drawPixmap(r.topLeft(), app::splashPicture(size));
    }
};

struct Button {
    int position;
    const char* caption;  ///< Toolbar1 only
    const char* key;      ///< nullptr: a separator
    const char* tooltip;
};

// Positions are addressed by number elsewhere (enabling, filter look): keep them.
const Button kToolbar1[] = {
    {2, "Import", "Import", "Import Data"},
    {5, "Export", "Export", "Export to Various File Formats"},
    {8, "Tutorial", "Wizard", "Basic Tutorial"},
    {11, "A>Z", "atoz", "Sort in Ascending Order"},
    {12, "Z>A", "ztoa", "Sort in Descending Order"},
    {15, "Find", "Find", ""},
    {18, "Spelling", "Spelling", ""},
    {21, "Filter On", "refresh", "Filter On"},
    {24, "Help", "Help", "Help"},
};
constexpr int kToolbar1Count = 24;

const Button kToolbar2[] = {
    {1, "", "Import", "Import File"},
    {2, "", "Export", "Export to Various File Formats"},
    {3, "", nullptr, "Save Document"},
    {4, "", "Tutorial", "Basic Tutorial"},
    {5, "", "cut", "Cut"},
    {6, "", "copy", "Copy"},
    {7, "", "paste", "Paste"},
    {8, "", "find", "Find"},
    {9, "", nullptr, ""},
    {10, "", "Spell", "Spell"},
    {11, "", nullptr, "Paste"},
    {12, "", "Asc", "Sort in Ascending Order"},
    {13, "", "des", "Sort in Descending Order"},
    {14, "", nullptr, ""},
    {15, "", "refresh", "Filter On"},
    {16, "", nullptr, ""},
    {17, "", "help", "Help"},
};
constexpr int kToolbar2Count = 17;

// The separator keys of Toolbar2 (gap1, gap, gap3, gap2) carry no command.
const char* const kToolbar2SeparatorKeys[] = {"", "", "gap1", "", "", "", "", "", "gap", "", "gap3", "", "", "gap2"};

QString escapeAmpersands(QString s) { return s.replace(QLatin1Char('&'), QStringLiteral("&&")); }

/// The selected tab of the workbench's tab strip "tab1", counted from 1; 0 when there is none.
int workbenchTab()
{
    QWidget* w = frmdataform::loaded();
    if (!w)
        return 0;
    if (auto* t = w->findChild<QTabWidget*>(QStringLiteral("tab1")))
        return t->currentIndex() + 1;
    if (auto* t = w->findChild<QTabBar*>(QStringLiteral("tab1")))
        return t->currentIndex() + 1;
    return 0;
}

}  // namespace

MDIMain& MDIMain::instance()
{
    if (!gMain)
        gMain = new MDIMain;
    return *gMain;
}

MDIMain* MDIMain::loaded() { return gMain; }

MDIMain::MDIMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MDIMain"));
    setWindowTitle(ui::applicationTitle());
    mdi_ = new Backdrop(this);
    mdi_->setObjectName(QStringLiteral("MDIArea"));
    mdi_->setBackground(QColor(0x8a, 0x9b, 0xb0));
    setCentralWidget(mdi_);
    setContextMenuPolicy(Qt::NoContextMenu);
    buildMenus();
    buildToolbars();
    buildStatusBar();
    qApp->installEventFilter(this);
}

MDIMain::~MDIMain()
{
    if (gMain == this)
        gMain = nullptr;
}

// ---- building --------------------------------------------------------------

QAction* MDIMain::addItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut)
{
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    commands_.insert(name.toLower(), a);
    return a;
}

QAction* MDIMain::addSeparator(QMenu* menu, const QString& name)
{
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    commands_.insert(name.toLower(), a);
    return a;
}

QMenu* MDIMain::addMenu(QMenu* parent, const QString& name, const QString& caption)
{
    QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    commands_.insert(name.toLower(), m->menuAction());
    return m;
}

void MDIMain::buildMenus()
{
    const auto key = [](const char* s) { return QKeySequence(QString::fromLatin1(s)); };

    QMenu* file = addMenu(nullptr, QStringLiteral("mnufile"), QStringLiteral("&File"));
    connect(addItem(file, QStringLiteral("mnuimport"), QStringLiteral("&Import File"), key("Ctrl+O")),
            &QAction::triggered, this, [this] { Open_Source_File(); });
    connect(addItem(file, QStringLiteral("mnuClose"), QStringLiteral("&Close")), &QAction::triggered, this, [] {
        if (frmdataform::loaded())
            frmdataform::unload();
    });
    addSeparator(file, QStringLiteral("Space9"));
    connect(addItem(file, QStringLiteral("mnuexport"), QStringLiteral("&Export"), key("Ctrl+S")),
            &QAction::triggered, this, [this] { ExportFile(); });
    mru_[0] = file->addSeparator();
    mru_[0]->setVisible(false);
    commands_.insert(QStringLiteral("mnumru:0"), mru_[0]);
    for (int i = 1; i <= 4; ++i) {
        mru_[i] = file->addAction(QString());
        mru_[i]->setVisible(false);
        commands_.insert(QStringLiteral("mnumru:%1").arg(i), mru_[i]);
        connect(mru_[i], &QAction::triggered, this, [this, i] { mnuMRU_Click(i); });
    }
    connect(addItem(file, QStringLiteral("mnuExit"), QStringLiteral("&Exit"), key("Ctrl+E")), &QAction::triggered,
            this, [this] { close(); });

    QMenu* edit = addMenu(nullptr, QStringLiteral("menuEdit"), QStringLiteral("&Edit"));
    addItem(edit, QStringLiteral("mnucut"), QStringLiteral("&Cut"), key("Ctrl+X"));
    addItem(edit, QStringLiteral("mnucopy"), QStringLiteral("&Copy"), key("Ctrl+C"));
    addItem(edit, QStringLiteral("mnuPaste"), QStringLiteral("&Paste"), key("Ctrl+V"));
    addSeparator(edit, QStringLiteral("mnuspace4"));
    addItem(edit, QStringLiteral("mnufind"), QStringLiteral("&Find"), key("Ctrl+F"));
    addItem(edit, QStringLiteral("mnureplace"), QStringLiteral("&Replace"), key("Ctrl+R"));
    addSeparator(edit, QStringLiteral("mnuspave4a"));
    addItem(edit, QStringLiteral("delrow"), QStringLiteral("&Delete Row"), key("Ctrl+D"));

    QMenu* view = addMenu(nullptr, QStringLiteral("mnuView"), QStringLiteral("&View"));
    QMenu* bars = addMenu(view, QStringLiteral("mnutoolbars"), QStringLiteral("&Toolbars"));
    QAction* small = addItem(bars, QStringLiteral("mnusmall"), QStringLiteral("Small Icons"));
    QAction* large = addItem(bars, QStringLiteral("mnuLarge"), QStringLiteral("Large Icons"));
    small->setCheckable(true);
    large->setCheckable(true);
    small->setChecked(true);
    connect(small, &QAction::triggered, this, [this] { mnusmall_Click(); });
    connect(large, &QAction::triggered, this, [this] { mnuLarge_Click(); });

    QMenu* records = addMenu(nullptr, QStringLiteral("mnuRecords"), QStringLiteral("&Records"));
    QMenu* sort = addMenu(records, QStringLiteral("mnusort"), QStringLiteral("&Sort"));
    addItem(sort, QStringLiteral("mnuascending"), QStringLiteral("&Ascending"));
    addItem(sort, QStringLiteral("mnudesc"), QStringLiteral("&Descending"));
    addItem(records, QStringLiteral("mnufilter"), QStringLiteral("&Filter"));
    addSeparator(records, QStringLiteral("mnuspace21"));
    addItem(records, QStringLiteral("mnufirst"), QStringLiteral("Move First Record"));
    addItem(records, QStringLiteral("mnulast"), QStringLiteral("Move Last Record"));

    QMenu* tools = addMenu(nullptr, QStringLiteral("mnuTools"), QStringLiteral("&Tools"));
    addItem(tools, QStringLiteral("mnuspell"), QStringLiteral("Spelling..."), key("F7"));
    const auto editor = [this](QMenu* m, const char* name, const char* caption, const char* form, bool modal) {
        QAction* a = addItem(m, QString::fromLatin1(name), QString::fromLatin1(caption));
        connect(a, &QAction::triggered, this, [this, form, modal] { listeditors::showEditor(QString::fromLatin1(form), this, modal); });
        // The lists of the program folder can be edited at any time, with or
        // without an open list.
        if (qstrcmp(form, "frmSpellManager") != 0)
            return;
        // An editor not built yet keeps its place in the menu, disabled.
        const QPointer<QAction> guard(a);
        const auto follow = [guard, form] {
            if (guard)
                guard->setEnabled(listeditors::hasEditor(QString::fromLatin1(form)));
        };
        follow();
        listeditors::onEditorsChanged(follow);
    };
    cleaning::registerListEditors();
    email::registerDomainEditors();
    workbench::registerSpellManager();
    editor(tools, "mnuspace20", "Spelling Manager", "frmSpellManager", true);
    addSeparator(tools, QStringLiteral("mnugap11"));
    editor(tools, "mnudomains", "&Country Code Domains", "frmccTLDs", true);
    editor(tools, "mnugeneric", "&Generic Domains", "frmgTLDs", false);
    editor(tools, "mnuprefixes", "&Prefixes", "frmPrefixes", true);
    editor(tools, "mnuexceptions", "&Exceptions", "frmExceptions", true);

    QMenu* windows = addMenu(nullptr, QStringLiteral("mnuWIndows"), QStringLiteral("&Window"));
    addItem(windows, QStringLiteral("mnuSpli"), QStringLiteral("Add Split"));
    addItem(windows, QStringLiteral("mnuRemoveSplit"), QStringLiteral("Remove Splits"));

    QMenu* help = addMenu(nullptr, QStringLiteral("mnuHelp"), QStringLiteral("&Help"));
    connect(addItem(help, QStringLiteral("mnuContents"), QStringLiteral("&Contents and Index")), &QAction::triggered,
            this, [] {
                ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
                ContextIDs::ShowHelpFinder();
            });
    connect(addItem(help, QStringLiteral("mnuTutorial"), QStringLiteral("&Tutorial")), &QAction::triggered, this, [] {
        ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kTutorialHelp));
        ContextIDs::ShowHelpContents();
    });
    connect(addItem(help, QStringLiteral("mnutips"), QStringLiteral("&Tip of the Day")), &QAction::triggered, this,
            [this] { frmTipoftheDay::showFromMenu(this); });
    addSeparator(help, QStringLiteral("space3"));
    QMenu* online = addMenu(help, QStringLiteral("Online"), QStringLiteral("&Lumacor Quillabrand Pro Online"));
    connect(addItem(online, QStringLiteral("support"), QStringLiteral("Support Section")), &QAction::triggered, this,
            [] { weblinks::openPage(weblinks::supportPage()); });
    addSeparator(online, QStringLiteral("space5"));
    connect(addItem(online, QStringLiteral("mnuHomepage"), QStringLiteral("Lumacor Home Page")), &QAction::triggered,
            this, [] { weblinks::openPage(weblinks::homePage()); });
    connect(addItem(online, QStringLiteral("feedback"), QStringLiteral("Send Feedback")), &QAction::triggered, this,
            [] { weblinks::openPage(weblinks::supportPage()); });
    addSeparator(help, QStringLiteral("space4"));
    connect(addItem(help, QStringLiteral("mnuabout"), QStringLiteral("&About Lumacor Quillabrand Pro")),
            &QAction::triggered, this, [this] {
                frmAbout about(this);
                about.exec();
            });

    // Disabled until a list is open.
    setEnabled({QStringLiteral("mnuClose"), QStringLiteral("mnuexport"), QStringLiteral("mnucut"),
                QStringLiteral("mnucopy"), QStringLiteral("mnuPaste"), QStringLiteral("mnufind"),
                QStringLiteral("mnureplace"), QStringLiteral("delrow"), QStringLiteral("mnusort"),
                QStringLiteral("mnufilter"), QStringLiteral("mnufirst"), QStringLiteral("mnulast"),
                QStringLiteral("mnuspell"), QStringLiteral("mnuSpli"), QStringLiteral("mnuRemoveSplit")},
               false);

    // The toolbars' right-click menu, with check marks of its own.
    mnutools_ = new QMenu(QStringLiteral("menus"), this);
    mnutools_->setObjectName(QStringLiteral("mnutools"));
    popupSmall_ = mnutools_->addAction(QStringLiteral("&Small Icons"));
    popupSmall_->setObjectName(QStringLiteral("mnusmall"));
    popupLarge_ = mnutools_->addAction(QStringLiteral("&Large Icons"));
    popupLarge_->setObjectName(QStringLiteral("mnularge"));
    popupSmall_->setCheckable(true);
    popupLarge_->setCheckable(true);
    popupSmall_->setChecked(true);
    connect(popupLarge_, &QAction::triggered, this, [this] {
        mnuLarge_Click();
        popupLarge_->setChecked(true);
        popupSmall_->setChecked(false);
    });
    connect(popupSmall_, &QAction::triggered, this, [this] {
        mnusmall_Click();
        popupSmall_->setChecked(true);
        popupLarge_->setChecked(false);
    });
}

void MDIMain::buildToolbars()
{
    const auto build = [this](QToolBar* bar, std::vector<QAction*>& buttons, const Button* table, size_t n, int count,
                              int which) {
        buttons.assign(size_t(count), nullptr);
        for (size_t i = 0; i < n; ++i) {
            const Button& b = table[i];
            if (!b.key)
                continue;
            const QString key = QString::fromLatin1(b.key);
            auto* a = new QAction(app::toolIcon(key.toLower()), QString::fromLatin1(b.caption), bar);
            a->setObjectName(key);
            a->setData(key);
            a->setToolTip(QString::fromLatin1(b.tooltip));
            if (which == 2 && a->text().isEmpty())
                a->setIconText(QString::fromLatin1(b.tooltip));
            buttons[size_t(b.position - 1)] = a;
            const int position = b.position;
            connect(a, &QAction::triggered, this, [this, which, position] { toolbarClick(which, position); });
        }
        for (int p = 0; p < count; ++p) {
            if (!buttons[size_t(p)]) {
                auto* s = new QAction(bar);
                s->setSeparator(true);
                if (which == 2 && p < int(std::size(kToolbar2SeparatorKeys)))
                    s->setData(QString::fromLatin1(kToolbar2SeparatorKeys[p]));
                buttons[size_t(p)] = s;
            }
            bar->addAction(buttons[size_t(p)]);
            commands_.insert(QStringLiteral("toolbar%1:%2").arg(which).arg(p + 1), buttons[size_t(p)]);
        }
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        bar->toggleViewAction()->setVisible(false);
        addToolBar(Qt::TopToolBarArea, bar);
    };

    toolbar1_ = new QToolBar(QStringLiteral("Toolbar1"), this);
    toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar1_->setIconSize(QSize(32, 32));
    toolbar1_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    build(toolbar1_, buttons1_, kToolbar1, std::size(kToolbar1), kToolbar1Count, 1);

    toolbar2_ = new QToolBar(QStringLiteral("Toolbar2"), this);
    toolbar2_->setObjectName(QStringLiteral("Toolbar2"));
    toolbar2_->setIconSize(QSize(16, 16));
    toolbar2_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    build(toolbar2_, buttons2_, kToolbar2, std::size(kToolbar2), kToolbar2Count, 2);

    // As designed: only import, tutorial and help act until a list is open.
    for (int p : {5, 11, 12, 15, 18, 21})
        buttons1_[size_t(p - 1)]->setEnabled(false);
    for (int p : {2, 5, 6, 7, 8, 10, 12, 13, 15})
        buttons2_[size_t(p - 1)]->setEnabled(false);
    toolbar1_->setVisible(false);
}

void MDIMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbarMain"));
    bar->setSizeGripEnabled(true);
    const char* names[] = {"Msg", "Filter", "NumLock", "CapsLock", "Date"};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(bar);
        l->setObjectName(QString::fromLatin1(names[i]));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setTextFormat(Qt::PlainText);
        l->setContentsMargins(4, 0, 4, 0);
        panels_[size_t(i)] = l;
        if (i == 0)
            bar->addWidget(l, 1);
        else
            bar->addPermanentWidget(l);
    }
    panels_[1]->setText(QStringLiteral("No Filter"));
    panels_[1]->setMinimumWidth(160);
    panels_[2]->setText(QStringLiteral("NUM"));
    panels_[3]->setText(QStringLiteral("CAPS"));
    panels_[2]->setEnabled(false);
    panels_[3]->setEnabled(false);
    const auto today = [this] { panels_[4]->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)); };
    today();
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, today);
    clock->start(60 * 1000);
}

QAction* MDIMain::command(const QString& name) const { return commands_.value(name.toLower(), nullptr); }

void MDIMain::setEnabled(const QStringList& names, bool on)
{
    for (const QString& n : names)
        if (QAction* a = command(n))
            a->setEnabled(on);
}

// ---- status bar ------------------------------------------------------------

void MDIMain::setPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 5)
        panels_[size_t(panel - 1)]->setText(text);
}

QString MDIMain::panelText(int panel) const
{
    return panel >= 1 && panel <= 5 ? panels_[size_t(panel - 1)]->text() : QString();
}

bool MDIMain::eventFilter(QObject* watched, QEvent* event)
{
    // One application-wide filter: a press that a disabled button passes on
    // to its toolbar comes by twice, and is handled once.
    static const QEvent* lastPress = nullptr;
    if (event->type() == QEvent::MouseButtonPress && event != lastPress) {
        QObject* bar = watched == toolbar1_ || watched == toolbar2_ ? watched : watched->parent();
        if (bar && (bar == toolbar1_ || bar == toolbar2_)) {
            lastPress = event;
            auto* me = static_cast<QMouseEvent*>(event);
            const int button = me->button() == Qt::RightButton ? 2 : me->button() == Qt::LeftButton ? 1 : 4;
            const QPoint at = static_cast<QWidget*>(watched)->mapTo(static_cast<QWidget*>(bar), me->position().toPoint());
            if (bar == toolbar1_)
                Toolbar1_MouseDown(button, 0, at.x(), at.y());
            else
                Toolbar2_MouseDown(button, 0, at.x(), at.y());
            if (button == 2)
                return true;
        }
    }
    if (event->type() == QEvent::Close) {
        // The workbench window's close box runs the workbench's own closing road.
        auto* sub = qobject_cast<QMdiSubWindow*>(watched);
        if (sub && sub->mdiArea() == mdi_ && frmdataform::loaded() && sub->widget() == frmdataform::loaded()) {
            event->ignore();
            frmdataform::unload();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        // The lock keys' state is not offered by the desktop: it is read off
        // the keys the user types (a letter without Shift in capitals means
        // Caps Lock; a keypad digit means Num Lock).
        auto* ke = static_cast<QKeyEvent*>(event);
        const QString t = ke->text();
        if (t.size() == 1 && t[0].isLetter() && t[0].toUpper() != t[0].toLower()) {
            const bool shift = ke->modifiers() & Qt::ShiftModifier;
            capsLock_ = t[0].isUpper() != shift;
            panels_[3]->setEnabled(capsLock_);
        }
        if (ke->modifiers() & Qt::KeypadModifier) {
            if (ke->key() >= Qt::Key_0 && ke->key() <= Qt::Key_9)
                numLock_ = true;
            else if (ke->key() == Qt::Key_Home || ke->key() == Qt::Key_End || ke->key() == Qt::Key_Insert ||
                     ke->key() == Qt::Key_PageUp || ke->key() == Qt::Key_PageDown)
                numLock_ = false;
            panels_[2]->setEnabled(numLock_);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- load and quit ---------------------------------------------------------

bool MDIMain::MDIForm_Load()
{
    const QSize screen = ui::screenSize();
    if (screen.width() < 1024 || screen.height() < 768) {
        ui::msgBox(QStringLiteral("Your screen size needs to be at least 1024 x 768 (small fonts).  "
                                  "Please alter the Screen Size and try again."),
                   ui::vbInformation + ui::vbOKOnly);
        emit programEnded(0);
        return false;
    }
    toolbar2_->setVisible(true);
    resize(813, 697);   // 12200 x 10455 twips at 15 twips a pixel
    setWindowTitle(QString::fromLatin1(kCaption));
    setPanelText(1, QString::fromLatin1(kNoListText));
    GetMenuItems();
    return true;
}

void MDIMain::closeEvent(QCloseEvent* event)
{
    if (quitting_) {
        event->accept();
        return;
    }
    if (!MDIForm_QueryUnload()) {
        event->ignore();
        return;
    }
    quitting_ = true;
    event->accept();
    MDIForm_Unload();
}

bool MDIMain::MDIForm_QueryUnload()
{
    if (ui::msgBox(QStringLiteral("Are you sure you want to quit Lumacor Quillabrand Pro Y/N?"),
                   ui::vbYesNo + ui::vbQuestion, QStringLiteral("Quit Lumacor Quillabrand Pro Y/N?")) != ui::vbYes)
        return false;
    // The workbench closes its own database as it unloads; closing it here
    // first would leave a broken grid behind when its export question
    // cancels the quit.
    if (frmdataform::loaded() && !frmdataform::unload())
        return false;
    return true;
}

void MDIMain::MDIForm_Unload()
{
    SaveMenuItems();
    emit programEnded(0);
    deleteLater();
    if (gMain == this)
        gMain = nullptr;
}

void MDIMain::showWorkbench()
{
    frmdataform& w = frmdataform::instance();
    QMdiSubWindow* sub = nullptr;
    for (QMdiSubWindow* s : mdi_->subWindowList())
        if (s->widget() == &w)
            sub = s;
    if (!sub) {
        sub = mdi_->addSubWindow(&w);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(general::gstrSourceFile);
        // A frame whose workbench went by a road that did not pass
        // workbenchClosed() goes with it.
        connect(&w, &QObject::destroyed, sub, [sub] {
            sub->hide();
            sub->deleteLater();
        });
        connect(sub, &QObject::destroyed, mdi_->viewport(), qOverload<>(&QWidget::update));
    }
    sub->showMaximized();
    w.show();
}

void MDIMain::workbenchClosed()
{
    // The frame may be closing already (its close box is how the workbench
    // was closed): a second close() inside that one would do nothing, so the
    // frame is hidden now and deleted once the events of this close are done.
    // The workbench is the MDI area's only child.
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        sub->hide();
        sub->deleteLater();
    }
    mdi_->viewport()->update();
    setWindowTitle(QString::fromLatin1(kCaption));
    setPanelText(1, QString::fromLatin1(kNoListText));
}

// ---- toolbars --------------------------------------------------------------

void MDIMain::mnuLarge_Click()
{
    toolbar1_->setVisible(true);
    toolbar2_->setVisible(false);
    command(QStringLiteral("mnusmall"))->setChecked(false);
    command(QStringLiteral("mnuLarge"))->setChecked(true);
}

void MDIMain::mnusmall_Click()
{
    toolbar1_->setVisible(false);
    toolbar2_->setVisible(true);
    command(QStringLiteral("mnusmall"))->setChecked(true);
    command(QStringLiteral("mnuLarge"))->setChecked(false);
}

bool MDIMain::largeIcons() const { return !toolbar1_->isHidden(); }

void MDIMain::Toolbar1_MouseDown(int button, int, double x, double y)
{
    if (button == 2)
        mnutools_->popup(toolbar1_->mapToGlobal(QPoint(int(x), int(y))));
    else
        ui::doEvents();
}

void MDIMain::Toolbar2_MouseDown(int button, int, double x, double y)
{
    if (button == 2)
        mnutools_->popup(toolbar2_->mapToGlobal(QPoint(int(x), int(y))));
    else
        ui::doEvents();
}

void MDIMain::toolbarClick(int which, int position)
{
    const std::vector<QAction*>& buttons = which == 1 ? buttons1_ : buttons2_;
    if (position < 1 || position > int(buttons.size()))
        return;
    const QString key = buttons[size_t(position - 1)]->data().toString().toLower();
    if (key == QLatin1String("import")) {
        Open_Source_File();
    } else if (key == QLatin1String("export")) {
        ExportFile();
    } else if ((which == 1 && key == QLatin1String("wizard")) || (which == 2 && key == QLatin1String("tutorial"))) {
        ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kTutorialHelp));
        ContextIDs::ShowHelpContents();
    } else if ((which == 1 && key == QLatin1String("atoz")) || (which == 2 && key == QLatin1String("asc"))) {
        command(QStringLiteral("mnuascending"))->trigger();
    } else if ((which == 1 && key == QLatin1String("ztoa")) || (which == 2 && key == QLatin1String("des"))) {
        command(QStringLiteral("mnudesc"))->trigger();
    } else if (key == QLatin1String("refresh")) {
        refreshgrids();
    } else if (which == 1 && key == QLatin1String("spelling")) {
        command(QStringLiteral("mnuspell"))->trigger();
    } else if (which == 2 && (key == QLatin1String("cut") || key == QLatin1String("copy") || key == QLatin1String("paste"))) {
        command(QStringLiteral("mnu") + key)->trigger();
    } else if (key == QLatin1String("help")) {
        showToolbarHelp();
    }
    // "find" and "spell" open the workbench's own dialogs: their owners
    // connect to these buttons.
}

void MDIMain::showToolbarHelp()
{
    if (general::gintFileOpen != 0) {
        const int id = ContextIDs::helpIdForTab(workbenchTab());
        if (id == 0)
            return;
        ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
        ContextIDs::ShowHelpContext(id);
        return;
    }
    ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
    ContextIDs::ShowHelpContext(ContextIDs::kNoListHelpId);
}

bool MDIMain::hasBackgroundPicture() const { return static_cast<Backdrop*>(mdi_)->picture; }

// ---- command enabling ------------------------------------------------------

void MDIMain::disable()
{
    for (int p : {5, 11, 12, 18, 21, 15})
        buttons1_[size_t(p - 1)]->setEnabled(false);
    setEnabled({QStringLiteral("mnuexport"), QStringLiteral("mnucopy"), QStringLiteral("mnucut"),
                QStringLiteral("mnuPaste"), QStringLiteral("mnureplace"), QStringLiteral("mnufilter"),
                QStringLiteral("mnufind"), QStringLiteral("mnufirst"), QStringLiteral("mnulast"),
                QStringLiteral("mnuSpli"), QStringLiteral("mnuRemoveSplit"), QStringLiteral("mnusort"),
                QStringLiteral("mnuspell"), QStringLiteral("delrow")},
               false);
    for (int p : {2, 5, 6, 7, 8, 10, 12, 13})
        buttons2_[size_t(p - 1)]->setEnabled(false);
}

void MDIMain::enable()
{
    for (int p : {2, 5})
        buttons1_[size_t(p - 1)]->setEnabled(true);
    setEnabled({QStringLiteral("mnuexport"), QStringLiteral("mnuClose"), QStringLiteral("mnufind")}, true);
    for (int p : {8, 11, 12, 15, 18})
        buttons1_[size_t(p - 1)]->setEnabled(true);
    setEnabled({QStringLiteral("mnucopy"), QStringLiteral("mnucut"), QStringLiteral("mnuPaste"),
                QStringLiteral("mnureplace"), QStringLiteral("mnufilter"), QStringLiteral("mnuSpli"),
                QStringLiteral("mnuRemoveSplit"), QStringLiteral("mnufirst"), QStringLiteral("mnulast"),
                QStringLiteral("mnuspell")},
               true);
    static_cast<Backdrop*>(mdi_)->picture = false;
    mdi_->viewport()->update();
    setEnabled({QStringLiteral("mnusort"), QStringLiteral("delrow")}, true);
    for (int p : {1, 2, 4, 5, 6, 7, 8, 10, 12, 13})
        buttons2_[size_t(p - 1)]->setEnabled(true);
}

// ---- recent files ----------------------------------------------------------

void MDIMain::showRecentFiles(const QStringList& paths)
{
    mruPaths_ = paths.mid(0, 4);
    for (int i = 1; i <= 4; ++i) {
        const bool used = i <= mruPaths_.size();
        mru_[size_t(i)]->setText(used ? escapeAmpersands(mruPaths_[i - 1]) : QString());
        mru_[size_t(i)]->setData(used ? mruPaths_[i - 1] : QString());
        mru_[size_t(i)]->setVisible(used);
    }
}

void MDIMain::GetMenuItems()
{
    QStringList paths;
    for (int i = 1; i <= 4; ++i) {
        const QString v = ui::getSetting(ui::applicationTitle(), kMruSection, QString::number(i), QString());
        if (!v.isEmpty())
            paths << v;
    }
    if (!paths.isEmpty())
        mru_[0]->setVisible(true);
    showRecentFiles(paths);
}

void MDIMain::AddToMRU(const QString& fileName)
{
    mru_[0]->setVisible(true);
    QStringList paths{fileName};
    for (const QString& p : mruPaths_)
        if (p != fileName && !p.isEmpty())   // exact comparison: other letter case is another entry
            paths << p;
    showRecentFiles(paths);
}

void MDIMain::SaveMenuItems()
{
    for (int i = 0; i < mruPaths_.size(); ++i)
        ui::saveSetting(ui::applicationTitle(), kMruSection, QString::number(i + 1), mruPaths_[i]);
}

QStringList MDIMain::recentFiles() const { return mruPaths_; }

void MDIMain::mnuMRU_Click(int index)
{
    if (ui::jobRunning())
        return;
    if (index < 1 || index > mruPaths_.size())
        return;
    const QString path = mruPaths_[index - 1];
    if (!general::FileExists(path)) {
        ui::msgBox(QStringLiteral("The File may have been removed, renamed or deleted"),
                   ui::vbExclamation + ui::vbOKOnly);
        return;
    }
    const bool wasOpen = general::gintFileOpen == 1;
    // A closing that the user cancels (its export failed or was cancelled)
    // keeps the open list: the clicked file is not opened over it.
    if (wasOpen && frmdataform::loaded() && !frmdataform::unload())
        return;
    general::gstrMRUFile = path;
    general::gstrFileName = path;
    general::gstrSourceFile = path;
    mstrSourceExt = path.right(3);
    mintMRUReopen = 1;
    Open_Source_File();
    if (wasOpen)
        AddToMRU(path);
}
