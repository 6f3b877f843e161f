// A handler for tests: it records every box and dialog the program shows and
// answers each from a script written in advance, in order. A box nobody
// scripted, an answer of the wrong kind, an answer the box does not offer or
// a text other than the one expected is a script failure: it is recorded,
// passed to the reporter (tests pass one that calls ADD_FAILURE) and, unless
// turned off, thrown as ScriptError, so it cannot go unnoticed.
//
//   ui::ScriptedHandler ui([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
//   ui.answerMessage(ui::vbYes, "Are you sure?");
//   ui.answerFile("/tmp/list.csv", 1);
//   runTheFlow();
//   EXPECT_EQ(ui.shown().size(), 2);
//
// A ScriptError thrown inside a slot that Qt's event loop called ends the
// test program (Qt lets no exception through its loop): loud, but for such
// flows a reporter with setThrowOnFailure(false) gives a clearer report.
//
// Making one installs it; destroying it puts the previous handler back and
// reports answers that were scripted but never asked for.
#pragma once

#include "platform/ui/ui.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>

namespace ui {

class ScriptError : public std::logic_error {
public:
    explicit ScriptError(const QString& message) : std::logic_error(message.toStdString()) {}
};

class ScriptedHandler : public Handler {
public:
    using Reporter = std::function<void(const QString&)>;

    enum class Kind { Message, Input, OpenFile, SaveFile, Notice };

    /// One box or dialog as it was shown.
    struct Shown {
        Kind kind = Kind::Message;
        QString text;   ///< the prompt; for file dialogs the dialog title
        QString title;  ///< the window title; for file dialogs also the title
        int style = 0;  ///< message boxes only
        MessageRequest message;
        InputRequest input;
        FileDialogRequest file;
    };

    explicit ScriptedHandler(Reporter reporter = {});
    ~ScriptedHandler() override;
    ScriptedHandler(const ScriptedHandler&) = delete;
    ScriptedHandler& operator=(const ScriptedHandler&) = delete;

    // The script. Each call queues one answer; boxes take them in order.
    // expectText, when given, must equal the box's prompt exactly.
    ScriptedHandler& answerMessage(int answer, const std::optional<QString>& expectText = std::nullopt);
    /// nullopt answers as Cancel.
    ScriptedHandler& answerInput(const std::optional<QString>& text,
                                 const std::optional<QString>& expectPrompt = std::nullopt);
    /// filterIndex 0 keeps the dialog's own index.
    ScriptedHandler& answerFile(const QString& path, int filterIndex = 0);
    ScriptedHandler& cancelFile();

    /// Whether a script failure also throws ScriptError (default true).
    void setThrowOnFailure(bool on) { throw_ = on; }

    const QList<Shown>& shown() const { return shown_; }
    /// The prompts of the message boxes, in order.
    QStringList messageTexts() const;
    /// The prompts of the notices (message boxes nobody waits for), in order.
    QStringList noticeTexts() const;
    /// The notices still up: no one has closed them yet.
    QStringList openNotices() const { return openNotices_; }
    /// The user closes every notice that is up.
    void closeNotices() { openNotices_.clear(); }
    QStringList failures() const { return failures_; }
    /// Scripted answers that no box has taken yet.
    int pendingAnswers() const { return int(script_.size()); }

    // The rest of the desktop, kept in memory.
    int eventPumps() const { return pumps_; }
    /// Runs on every pump, e.g. to press a Cancel button mid-run. The pump
    /// is a job (platform/ui/job.h): only the running job's Cancel answers.
    void onProcessEvents(std::function<void()> hook) { pumpHook_ = std::move(hook); }
    /// Whether a pump also runs Qt's pending events (default true).
    void setPumpQtEvents(bool on) { pumpQt_ = on; }
    Pointer pointer(QWidget* target) const { return pointers_.value(target, Pointer::Default); }
    void setScreenSize(QSize size) { screen_ = size; }
    QString clipboard() const { return clipboard_; }
    const QList<HelpRequest>& helpCalls() const { return help_; }
    const QList<QUrl>& webPages() const { return pages_; }
    void setBrowserAvailable(bool on) { browser_ = on; }

    // Handler
    int messageBox(const MessageRequest& request) override;
    /// Records the notice; it stays up (a second one of that text is not
    /// shown) until closeNotices().
    void showNotice(const MessageRequest& request) override;
    std::optional<QString> inputBox(const InputRequest& request) override;
    std::optional<FileDialogAnswer> fileDialog(const FileDialogRequest& request) override;
    void processEvents() override;
    void setPointer(QWidget* target, Pointer pointer) override;
    QSize screenSize() override { return screen_; }
    QString clipboardText() override { return clipboard_; }
    void setClipboardText(const QString& text) override { clipboard_ = text; }
    void clearClipboard() override { clipboard_.clear(); }
    void showHelp(const HelpRequest& request) override { help_ << request; }
    bool openWebPage(const QUrl& url) override;

private:
    struct Answer {
        Kind kind = Kind::Message;
        int message = 0;
        std::optional<QString> text;    ///< input text or file path; nullopt = cancel
        int filterIndex = 0;
        std::optional<QString> expect;
    };

    /// Takes the next answer for a box of kind k, or fails.
    Answer take(Kind k, const Shown& box);
    void fail(const QString& message);

    Reporter reporter_;
    Handler* previous_ = nullptr;
    bool throw_ = true;
    std::deque<Answer> script_;
    QList<Shown> shown_;
    QStringList failures_;
    QStringList openNotices_;
    int pumps_ = 0;
    bool pumpQt_ = true;
    std::function<void()> pumpHook_;
    QHash<QWidget*, Pointer> pointers_;
    QSize screen_{1280, 1024};
    QString clipboard_;
    QList<HelpRequest> help_;
    QList<QUrl> pages_;
    bool browser_ = true;
};

}  // namespace ui
