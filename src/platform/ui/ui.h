// The user-interface seam: every message box, input box, file dialog, help
// call, browser start, pointer change, event pump, screen query and clipboard
// access of the program goes through the functions here, and they all go
// through one replaceable Handler. The default handler is the real Qt one;
// tests install a ScriptedHandler (platform/ui/scripted.h) and drive whole
// flows without a window ever blocking.
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <stdexcept>

class QWidget;

namespace ui {

// Message box styles: one button set + one icon + one default button, summed.
// These numbers are the ones the program's callers write; do not renumber.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
/// Adds a Help button that opens the request's help file at its context and
/// leaves the box open.
inline constexpr int vbMsgBoxHelpButton = 16384;

// Answers of a message box.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

/// The answers a style offers, e.g. {vbYes, vbNo, vbCancel} for 3 + 48.
/// An unknown button set counts as OK only.
QList<int> answersOffered(int style);

// Help commands of winHelp().
inline constexpr int HelpContext = 1;   ///< data = context id
inline constexpr int HelpQuit = 2;      ///< closes the help window
inline constexpr int HelpContents = 3;
inline constexpr int HelpFinder = 11;   ///< contents with the index beside it

/// Mouse pointers by the numbers the callers use.
enum class Pointer { Default = 0, Arrow = 1, Hourglass = 11 };

// File dialog flags (sum them). Without OverwritePrompt a save dialog asks
// nothing about an existing file: the callers ask their own question.
inline constexpr int FileReadOnly = 0x1;
inline constexpr int FileOverwritePrompt = 0x2;
inline constexpr int FileHideReadOnly = 0x4;
inline constexpr int FileNoChangeDir = 0x8;
inline constexpr int FilePathMustExist = 0x800;
inline constexpr int FileMustExist = 0x1000;

/// Raised by a file dialog whose cancelError is set when the user cancels.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error(kDescription) {}
    static constexpr int kNumber = 32755;
    static constexpr const char* kDescription = "Cancel was selected.";
    int number() const { return kNumber; }
    QString description() const { return QString::fromLatin1(kDescription); }
};

struct MessageRequest {
    QString prompt;     ///< as the caller wrote it; "\r" and "\r\n" break lines
    int style = 0;
    QString title;      ///< already defaulted to the application title
    QString helpFile;   ///< for vbMsgBoxHelpButton
    int helpContext = 0;
};

struct InputRequest {
    QString prompt;
    QString title;
    QString defaultText;
};

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    QString filter;       ///< "description|pattern|description|pattern|"
    int filterIndex = 1;  ///< 1-based
    QString fileName;
    QString initDir;
    int flags = 0;
    QString defaultExt;
};

struct FileDialogAnswer {
    QString path;
    int filterIndex = 1;  ///< the filter the user left selected, 1-based
};

struct FileFilter {
    QString description;
    QStringList patterns;  ///< "*.txt", "*.csv"
};

/// Splits "desc|pat;pat|desc|pat|" into its entries; a trailing bar and an
/// unpaired last description are ignored, an empty pattern means "*".
QList<FileFilter> parseFileFilter(const QString& filter);

struct HelpRequest {
    QString helpFile;
    int command = 0;
    qint64 data = 0;
};

/// Everything the program asks of the desktop. One instance is current.
class Handler {
public:
    virtual ~Handler() = default;
    virtual int messageBox(const MessageRequest& request) = 0;
    /// Shows a message box that nobody waits for: it returns at once and the
    /// box stays up while the program runs on, until the user closes it.
    /// While a notice of the same text is still up, that one is brought to
    /// the front and no second one is shown.
    virtual void showNotice(const MessageRequest& request) = 0;
    /// nullopt when the user cancelled.
    virtual std::optional<QString> inputBox(const InputRequest& request) = 0;
    /// nullopt when the user cancelled.
    virtual std::optional<FileDialogAnswer> fileDialog(const FileDialogRequest& request) = 0;
    virtual void processEvents() = 0;
    /// target nullptr: the whole application (the screen's pointer).
    virtual void setPointer(QWidget* target, Pointer pointer) = 0;
    virtual QSize screenSize() = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual void clearClipboard() = 0;
    virtual void showHelp(const HelpRequest& request) = 0;
    /// false when no browser could be started.
    virtual bool openWebPage(const QUrl& url) = 0;
};

/// The current handler: the one installed last, else the Qt one.
Handler& handler();
/// Installs a handler (nullptr: back to the Qt one); returns the previous
/// one, nullptr when that was the Qt one. The caller keeps ownership.
Handler* setHandler(Handler* h);

/// Installs a handler for the scope and puts the previous one back.
class ScopedHandler {
public:
    explicit ScopedHandler(Handler* h) : previous_(setHandler(h)) {}
    ~ScopedHandler() { setHandler(previous_); }
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;

private:
    Handler* previous_;
};

/// The title of message and input boxes that name none; "Lumacor Quillabrand Pro".
QString applicationTitle();
void setApplicationTitle(const QString& title);

/// The process-wide help file that help calls use; every caller sets it
/// before its call. Empty at start.
QString applicationHelpFile();
void setApplicationHelpFile(const QString& path);

/// Shows a message box and returns the answer (vbOK ...). No title: the
/// application title. The text is shown as plain text, never as markup.
int msgBox(const QString& prompt, int style = vbOKOnly, const std::optional<QString>& title = std::nullopt,
           const QString& helpFile = QString(), int helpContext = 0);

/// Shows a message without waiting for it (Handler::showNotice): for a
/// message given while a job runs, which must not stop the job. No title:
/// the application title.
void notice(const QString& prompt, int style = vbOKOnly, const std::optional<QString>& title = std::nullopt);

/// Asks for a line of text; "" when the user cancels.
QString inputBox(const QString& prompt, const std::optional<QString>& title = std::nullopt,
                 const QString& defaultText = QString());

/// The common file dialog. Set the fields, call showOpen or showSave; on a
/// choice fileName and filterIndex hold what the user chose. On cancel the
/// fields stay as they were and the result is nullopt, or Cancelled is
/// thrown when cancelError is set. One object may serve several dialogs in a
/// row and keeps its filter index between them.
class FileDialog {
public:
    QString title;
    QString filter;
    int filterIndex = 1;
    QString fileName;
    QString initDir;
    int flags = 0;
    bool cancelError = false;
    QString defaultExt;

    std::optional<QString> showOpen();
    std::optional<QString> showSave();

private:
    std::optional<QString> show(FileDialogKind kind);
};

/// Lets pending events run (timers, repaints, the progress bar) as a modal
/// progress would: user input and commands are held off meanwhile
/// (platform/ui/job.h).
void doEvents();
void setPointer(QWidget* target, Pointer pointer);
/// The screen's size in pixels.
QSize screenSize();
QString clipboardText();
void setClipboardText(const QString& text);
void clearClipboard();

/// Help in place of the old help engine: command HelpContext (data = the
/// context id), HelpContents or HelpFinder on the pages that belong to
/// helpFile (see platform/ui/help.h). Failures are not reported.
void winHelp(const QString& helpFile, int command, qint64 data = 0);

/// Opens the page in the desktop's browser; false when none could be started.
bool openWebPage(const QUrl& url);

/// Restores a window if minimised, raises it and gives it the focus.
void bringToFront(QWidget* window);

}  // namespace ui
