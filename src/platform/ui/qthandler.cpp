// The Qt handler behind the ui seam. Boxes are modal to the active window
// and show their text as plain text, so list data such as "<b>" in a message
// is shown as written. The message box's Help button opens help and puts the
// box back, since Qt closes a message box on every button.
#include "platform/ui/qthandler.h"

#include "platform/ui/help.h"
#include "platform/ui/helpwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace ui {

namespace {

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButton buttonOf(int answer)
{
    switch (answer) {
    case vbOK: return QMessageBox::Ok;
    case vbCancel: return QMessageBox::Cancel;
    case vbAbort: return QMessageBox::Abort;
    case vbRetry: return QMessageBox::Retry;
    case vbIgnore: return QMessageBox::Ignore;
    case vbYes: return QMessageBox::Yes;
    case vbNo: return QMessageBox::No;
    default: return QMessageBox::NoButton;
    }
}

class QtHandler final : public Handler {
public:
    int messageBox(const MessageRequest& r) override
    {
        const QList<int> answers = answersOffered(r.style);
        QMessageBox box(iconOf(r.style), r.title, displayText(r.prompt), QMessageBox::NoButton,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        QList<QPushButton*> buttons;
        for (int a : answers)
            buttons << box.addButton(buttonOf(a));
        QAbstractButton* help = nullptr;
        if (r.style & vbMsgBoxHelpButton) {
            help = box.addButton(QMessageBox::Help);
            // Modal to its window only, so the help window it opens can be used.
            box.setWindowModality(Qt::WindowModal);
        }
        const int def = (r.style & 0x300) >> 8;
        box.setDefaultButton(buttons.value(def, buttons.first()));
        // Escape: OK alone gives OK, otherwise Cancel when offered, else No.
        if (answers.size() == 1)
            box.setEscapeButton(buttons.first());
        else if (answers.contains(vbCancel))
            box.setEscapeButton(buttons[answers.indexOf(vbCancel)]);
        else if (answers.contains(vbNo))
            box.setEscapeButton(buttons[answers.indexOf(vbNo)]);
        for (;;) {
            box.exec();
            QAbstractButton* clicked = box.clickedButton();
            if (help && clicked == help) {
                showHelp(HelpRequest{r.helpFile, HelpContext, r.helpContext});
                continue;
            }
            const qsizetype i = buttons.indexOf(qobject_cast<QPushButton*>(clicked));
            if (i >= 0)
                return answers[i];
            // Closed without a button (window manager): the safe answer.
            if (answers.contains(vbCancel))
                return vbCancel;
            if (answers.contains(vbNo))
                return vbNo;
            return answers.first();
        }
    }

    void showNotice(const MessageRequest& r) override
    {
        const QString text = displayText(r.prompt);
        notices_.removeAll(QPointer<QMessageBox>());
        for (const QPointer<QMessageBox>& up : std::as_const(notices_)) {
            if (up->text() == text && up->windowTitle() == r.title) {
                up->raise();
                up->activateWindow();
                return;
            }
        }
        // No exec(): the box lives on its own and goes when it is answered
        // or closed, while the caller's work goes on.
        auto* box = new QMessageBox(iconOf(r.style), r.title, text, QMessageBox::Ok, QApplication::activeWindow());
        box->setObjectName(QStringLiteral("notice"));
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::NonModal);
        box->setEscapeButton(box->button(QMessageBox::Ok));
        QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
        notices_ << QPointer<QMessageBox>(box);
        box->show();
    }

    std::optional<QString> inputBox(const InputRequest& r) override
    {
        QInputDialog dlg(QApplication::activeWindow());
        dlg.setWindowTitle(r.title);
        dlg.setLabelText(displayText(r.prompt));
        dlg.setTextValue(r.defaultText);
        if (auto* label = dlg.findChild<QLabel*>())
            label->setTextFormat(Qt::PlainText);
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        return dlg.textValue();
    }

    std::optional<FileDialogAnswer> fileDialog(const FileDialogRequest& r) override
    {
        QFileDialog dlg(QApplication::activeWindow(), r.title);
        const QStringList filters = qtNameFilters(r.filter);
        dlg.setOption(QFileDialog::HideNameFilterDetails, true);
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            dlg.selectNameFilter(filters.value(r.filterIndex - 1, filters.first()));
        }
        const bool save = r.kind == FileDialogKind::Save;
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(!save && (r.flags & FileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !(r.flags & FileOverwritePrompt));
        if (!r.defaultExt.isEmpty())
            dlg.setDefaultSuffix(r.defaultExt);
        QString dir = r.initDir;
        QString name = r.fileName;
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (name.contains(QLatin1Char('/'))) {
            dir = QFileInfo(name).path();
            name = QFileInfo(name).fileName();
        }
        if (!dir.isEmpty())
            dlg.setDirectory(dir);
        if (!name.isEmpty())
            dlg.selectFile(name);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return std::nullopt;
        FileDialogAnswer a;
        a.path = dlg.selectedFiles().first();
        // With the details hidden the dialog may report the bare description,
        // its blanks collapsed.
        const QString chosen = dlg.selectedNameFilter();
        qsizetype i = filters.indexOf(chosen);
        if (i < 0) {
            const QList<FileFilter> parsed = parseFileFilter(r.filter);
            for (qsizetype k = 0; k < parsed.size() && i < 0; ++k)
                if (parsed[k].description.simplified() == chosen.simplified())
                    i = k;
        }
        a.filterIndex = i >= 0 ? int(i) + 1 : r.filterIndex;
        return a;
    }

    void processEvents() override { QCoreApplication::processEvents(); }

    void setPointer(QWidget* target, Pointer pointer) override
    {
        if (target) {
            switch (pointer) {
            case Pointer::Default: target->unsetCursor(); break;
            case Pointer::Arrow: target->setCursor(Qt::ArrowCursor); break;
            case Pointer::Hourglass: target->setCursor(Qt::WaitCursor); break;
            }
            return;
        }
        // The whole application: one override at most, never a stack, so a
        // run of hourglass calls is undone by one default.
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        if (pointer == Pointer::Hourglass)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else if (pointer == Pointer::Arrow)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }

    QSize screenSize() override
    {
        const QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->size() : QSize();
    }

    QString clipboardText() override
    {
        const QClipboard* c = QGuiApplication::clipboard();
        return c ? c->text() : QString();
    }

    void setClipboardText(const QString& text) override
    {
        if (QClipboard* c = QGuiApplication::clipboard())
            c->setText(text);
    }

    void clearClipboard() override
    {
        if (QClipboard* c = QGuiApplication::clipboard())
            c->clear();
    }

    void showHelp(const HelpRequest& r) override
    {
        if (r.command == HelpQuit) {
            HelpWindow::instance()->close();
            return;
        }
        if (r.command != HelpContext && r.command != HelpContents && r.command != HelpFinder)
            return;
        HelpWindow::instance()->showCommand(HelpBook::load(helpFolderFor(r.helpFile)), r.command, r.data);
    }

    bool openWebPage(const QUrl& url) override
    {
        return url.isValid() && QDesktopServices::openUrl(url);
    }

private:
    QList<QPointer<QMessageBox>> notices_;   ///< the notices still up
};

}  // namespace

Handler& qtHandler()
{
    static QtHandler h;
    return h;
}

QStringList qtNameFilters(const QString& filter)
{
    QStringList out;
    for (const FileFilter& f : parseFileFilter(filter))
        out << f.description + QStringLiteral(" (") + f.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    return out;
}

QString displayText(const QString& prompt)
{
    QString t = prompt;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

}  // namespace ui
