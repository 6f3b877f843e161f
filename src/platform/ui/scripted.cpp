// The scripted handler for tests: one queue of answers, taken in order by
// the boxes and dialogs as they are shown, and a record of what was shown.
// Failures are loud on purpose: a flow that shows a box the test did not
// plan for is a changed flow.
#include "platform/ui/scripted.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtGlobal>

namespace ui {

namespace {

QString kindName(ScriptedHandler::Kind k)
{
    switch (k) {
    case ScriptedHandler::Kind::Message: return QStringLiteral("message box");
    case ScriptedHandler::Kind::Input: return QStringLiteral("input box");
    case ScriptedHandler::Kind::OpenFile: return QStringLiteral("open dialog");
    case ScriptedHandler::Kind::SaveFile: return QStringLiteral("save dialog");
    case ScriptedHandler::Kind::Notice: return QStringLiteral("notice");
    }
    return QString();
}

bool isFileKind(ScriptedHandler::Kind k)
{
    return k == ScriptedHandler::Kind::OpenFile || k == ScriptedHandler::Kind::SaveFile;
}

}  // namespace

ScriptedHandler::ScriptedHandler(Reporter reporter)
    : reporter_(std::move(reporter))
    , previous_(setHandler(this))
{
}

ScriptedHandler::~ScriptedHandler()
{
    setHandler(previous_);
    if (!script_.empty()) {
        const QString m = QStringLiteral("%1 scripted answer(s) were never asked for; the first was for the %2")
                              .arg(script_.size())
                              .arg(kindName(script_.front().kind));
        failures_ << m;
        if (reporter_)
            reporter_(m);
        else
            qCritical("ScriptedHandler: %s", qPrintable(m));
    }
}

ScriptedHandler& ScriptedHandler::answerMessage(int answer, const std::optional<QString>& expectText)
{
    Answer a;
    a.kind = Kind::Message;
    a.message = answer;
    a.expect = expectText;
    script_.push_back(a);
    return *this;
}

ScriptedHandler& ScriptedHandler::answerInput(const std::optional<QString>& text,
                                              const std::optional<QString>& expectPrompt)
{
    Answer a;
    a.kind = Kind::Input;
    a.text = text;
    a.expect = expectPrompt;
    script_.push_back(a);
    return *this;
}

ScriptedHandler& ScriptedHandler::answerFile(const QString& path, int filterIndex)
{
    Answer a;
    a.kind = Kind::OpenFile;
    a.text = path;
    a.filterIndex = filterIndex;
    script_.push_back(a);
    return *this;
}

ScriptedHandler& ScriptedHandler::cancelFile()
{
    Answer a;
    a.kind = Kind::OpenFile;
    script_.push_back(a);
    return *this;
}

QStringList ScriptedHandler::messageTexts() const
{
    QStringList out;
    for (const Shown& s : shown_)
        if (s.kind == Kind::Message)
            out << s.text;
    return out;
}

QStringList ScriptedHandler::noticeTexts() const
{
    QStringList out;
    for (const Shown& s : shown_)
        if (s.kind == Kind::Notice)
            out << s.text;
    return out;
}

void ScriptedHandler::showNotice(const MessageRequest& request)
{
    if (openNotices_.contains(request.prompt))
        return;
    openNotices_ << request.prompt;
    Shown s;
    s.kind = Kind::Notice;
    s.text = request.prompt;
    s.title = request.title;
    s.style = request.style;
    s.message = request;
    shown_ << s;
}

void ScriptedHandler::fail(const QString& message)
{
    failures_ << message;
    if (reporter_)
        reporter_(message);
    if (throw_)
        throw ScriptError(message);
    if (!reporter_)
        qCritical("ScriptedHandler: %s", qPrintable(message));
}

ScriptedHandler::Answer ScriptedHandler::take(Kind k, const Shown& box)
{
    const QString what = QStringLiteral("%1 \"%2\" (title \"%3\")").arg(kindName(k), box.text, box.title);
    if (script_.empty()) {
        fail(QStringLiteral("unexpected %1: no answer scripted").arg(what));
        return Answer{};
    }
    Answer a = script_.front();
    const bool kindMatches = isFileKind(k) ? isFileKind(a.kind) : a.kind == k;
    if (!kindMatches) {
        fail(QStringLiteral("unexpected %1: the next scripted answer is for the %2").arg(what, kindName(a.kind)));
        return Answer{};
    }
    script_.pop_front();
    if (a.expect && *a.expect != box.text)
        fail(QStringLiteral("%1 shown where \"%2\" was expected").arg(what, *a.expect));
    return a;
}

int ScriptedHandler::messageBox(const MessageRequest& request)
{
    Shown s;
    s.kind = Kind::Message;
    s.text = request.prompt;
    s.title = request.title;
    s.style = request.style;
    s.message = request;
    shown_ << s;
    const QList<int> offered = answersOffered(request.style);
    const Answer a = take(Kind::Message, s);
    if (a.kind != Kind::Message || a.message == 0)
        return offered.contains(vbCancel) ? vbCancel : offered.last();  // after a failure: the safe way out
    if (!offered.contains(a.message)) {
        fail(QStringLiteral("message box \"%1\" of style %2 cannot answer %3")
                 .arg(request.prompt)
                 .arg(request.style)
                 .arg(a.message));
        return offered.contains(vbCancel) ? vbCancel : offered.last();
    }
    return a.message;
}

std::optional<QString> ScriptedHandler::inputBox(const InputRequest& request)
{
    Shown s;
    s.kind = Kind::Input;
    s.text = request.prompt;
    s.title = request.title;
    s.input = request;
    shown_ << s;
    const Answer a = take(Kind::Input, s);
    if (a.kind != Kind::Input)
        return std::nullopt;
    return a.text;
}

std::optional<FileDialogAnswer> ScriptedHandler::fileDialog(const FileDialogRequest& request)
{
    Shown s;
    s.kind = request.kind == FileDialogKind::Save ? Kind::SaveFile : Kind::OpenFile;
    s.text = request.title;
    s.title = request.title;
    s.file = request;
    shown_ << s;
    const Answer a = take(s.kind, s);
    if (!isFileKind(a.kind) || !a.text)
        return std::nullopt;
    FileDialogAnswer out;
    out.path = *a.text;
    out.filterIndex = a.filterIndex > 0 ? a.filterIndex : request.filterIndex;
    // A real dialog can only leave one of its own filters selected, and an
    // open dialog that demands an existing file cannot return a missing one.
    const int filters = int(parseFileFilter(request.filter).size());
    if (filters > 0 && (out.filterIndex < 1 || out.filterIndex > filters))
        fail(QStringLiteral("dialog \"%1\" has %2 filter(s); filter %3 cannot be chosen")
                 .arg(request.title)
                 .arg(filters)
                 .arg(out.filterIndex));
    if (request.kind == FileDialogKind::Open && (request.flags & FileMustExist) && !QFileInfo::exists(out.path))
        fail(QStringLiteral("dialog \"%1\" demands an existing file; %2 does not exist").arg(request.title, out.path));
    return out;
}

void ScriptedHandler::processEvents()
{
    ++pumps_;
    if (pumpHook_)
        pumpHook_();
    if (pumpQt_)
        QCoreApplication::processEvents();
}

void ScriptedHandler::setPointer(QWidget* target, Pointer pointer)
{
    pointers_.insert(target, pointer);
}

bool ScriptedHandler::openWebPage(const QUrl& url)
{
    pages_ << url;
    return browser_;
}

}  // namespace ui
