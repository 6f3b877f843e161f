// The editor registry and the stand-in window.
#include "app/listeditors.h"

#include "platform/ui/job.h"
#include "platform/ui/ui.h"

#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

namespace listeditors {

namespace {

QHash<QString, Factory>& factories()
{
    static QHash<QString, Factory> f;
    return f;
}

QDialog* standIn(const QString& formName, QWidget* parent)
{
    auto* d = new QDialog(parent);
    d->setObjectName(formName);
    d->setWindowTitle(formName);
    auto* text = new QLabel(QStringLiteral("This list editor is not available in this version."), d);
    auto* close = new QPushButton(QStringLiteral("&Close"), d);
    QObject::connect(close, &QPushButton::clicked, d, &QDialog::accept);
    auto* l = new QVBoxLayout(d);
    l->addWidget(text);
    l->addWidget(close, 0, Qt::AlignRight);
    return d;
}

}  // namespace

std::vector<std::function<void()>>& listeners()
{
    static std::vector<std::function<void()>> l;
    return l;
}

void registerEditor(const QString& formName, Factory make)
{
    if (make)
        factories().insert(formName, std::move(make));
    else
        factories().remove(formName);
    for (const auto& l : listeners())
        l();
}

void onEditorsChanged(std::function<void()> listener) { listeners().push_back(std::move(listener)); }

bool hasEditor(const QString& formName) { return factories().contains(formName); }

QDialog* showEditor(const QString& formName, QWidget* parent, bool modal)
{
    // An editor writes its list and the work tables that the running job reads.
    if (ui::jobRunning())
        return nullptr;
    // One window per list: two open editors of one file would each write
    // what they hold when they close, and the last one would win. A second
    // request brings the open window forward instead.
    static QHash<QString, QPointer<QDialog>> open;
    if (QPointer<QDialog> shown = open.value(formName); shown && shown->isVisible()) {
        ui::bringToFront(shown);
        return modal ? nullptr : shown.data();
    }
    const Factory make = factories().value(formName);
    QDialog* d = make ? make(parent) : nullptr;
    if (!d)
        d = standIn(formName, parent);
    open.insert(formName, d);
    if (modal) {
        d->exec();
        delete d;
        return nullptr;
    }
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->show();
    return d;
}

}  // namespace listeditors
