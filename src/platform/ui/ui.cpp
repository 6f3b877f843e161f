// The seam's free functions: they fill in the defaults the callers rely on
// (the application title, the file dialog's remembered fields, cancel as an
// exception) and hand every request to the current handler. Nothing here
// touches a widget; the Qt handler does that.
#include "platform/ui/ui.h"

#include "platform/ui/job.h"
#include "platform/ui/qthandler.h"

#include <QWidget>

namespace ui {

namespace {

Handler* g_installed = nullptr;

QString& titleStore()
{
    static QString title = QStringLiteral("Lumacor Quillabrand Pro");
    return title;
}

QString& helpFileStore()
{
    static QString file;
    return file;
}

}  // namespace

Handler& handler()
{
    return g_installed ? *g_installed : qtHandler();
}

Handler* setHandler(Handler* h)
{
    Handler* previous = g_installed;
    g_installed = h;
    return previous;
}

QString applicationTitle() { return titleStore(); }
void setApplicationTitle(const QString& title) { titleStore() = title; }

QString applicationHelpFile() { return helpFileStore(); }
void setApplicationHelpFile(const QString& path) { helpFileStore() = path; }

QList<int> answersOffered(int style)
{
    switch (style & 0x7) {
    case vbOKCancel: return {vbOK, vbCancel};
    case vbAbortRetryIgnore: return {vbAbort, vbRetry, vbIgnore};
    case vbYesNoCancel: return {vbYes, vbNo, vbCancel};
    case vbYesNo: return {vbYes, vbNo};
    case vbRetryCancel: return {vbRetry, vbCancel};
    default: return {vbOK};
    }
}

QList<FileFilter> parseFileFilter(const QString& filter)
{
    QList<FileFilter> out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f;
        f.description = parts[i];
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (!t.isEmpty())
                f.patterns << t;
        }
        if (f.patterns.isEmpty())
            f.patterns << QStringLiteral("*");
        out << f;
    }
    return out;
}

int msgBox(const QString& prompt, int style, const std::optional<QString>& title, const QString& helpFile,
           int helpContext)
{
    MessageRequest r;
    r.prompt = prompt;
    r.style = style;
    r.title = title ? *title : applicationTitle();
    r.helpFile = helpFile;
    r.helpContext = helpContext;
    return handler().messageBox(r);
}

void notice(const QString& prompt, int style, const std::optional<QString>& title)
{
    MessageRequest r;
    r.prompt = prompt;
    r.style = style;
    r.title = title ? *title : applicationTitle();
    handler().showNotice(r);
}

QString inputBox(const QString& prompt, const std::optional<QString>& title, const QString& defaultText)
{
    InputRequest r;
    r.prompt = prompt;
    r.title = title ? *title : applicationTitle();
    r.defaultText = defaultText;
    return handler().inputBox(r).value_or(QString());
}

std::optional<QString> FileDialog::showOpen() { return show(FileDialogKind::Open); }
std::optional<QString> FileDialog::showSave() { return show(FileDialogKind::Save); }

std::optional<QString> FileDialog::show(FileDialogKind kind)
{
    FileDialogRequest r;
    r.kind = kind;
    r.title = title;
    r.filter = filter;
    r.filterIndex = filterIndex;
    r.fileName = fileName;
    r.initDir = initDir;
    r.flags = flags;
    r.defaultExt = defaultExt;
    const std::optional<FileDialogAnswer> a = handler().fileDialog(r);
    if (!a || a->path.isEmpty()) {
        if (cancelError)
            throw Cancelled();
        return std::nullopt;
    }
    fileName = a->path;
    filterIndex = a->filterIndex;
    return a->path;
}

void doEvents()
{
    // Whatever handler is reached while the events run must not start
    // another job or pull the list from under this one: a pump is a job.
    const JobScope pump;
    handler().processEvents();
}
void setPointer(QWidget* target, Pointer pointer) { handler().setPointer(target, pointer); }
QSize screenSize() { return handler().screenSize(); }
QString clipboardText() { return handler().clipboardText(); }
void setClipboardText(const QString& text) { handler().setClipboardText(text); }
void clearClipboard() { handler().clearClipboard(); }

void winHelp(const QString& helpFile, int command, qint64 data)
{
    handler().showHelp(HelpRequest{helpFile, command, data});
}

bool openWebPage(const QUrl& url) { return handler().openWebPage(url); }

void bringToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace ui
