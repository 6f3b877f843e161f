// The about box (Help > About): modal, closed by its Ok button.
#include "app/frmabout.h"

#include "app/icons.h"
#include "app/version.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString frmAbout::versionText()
{
    return QStringLiteral("Version %1.%2.%3").arg(app::kVersionMajor).arg(app::kVersionMinor).arg(app::kVersionRevision);
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Lumacor Quillabrand Pro"));

    auto* picture = new QLabel(this);
    picture->setPixmap(app::productPicture(QSize(96, 96)));
    auto* name = new QLabel(QStringLiteral("Lumacor Quillabrand Pro"), this);
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.5);
    name->setFont(f);
    auto* what = new QLabel(QStringLiteral("Cleans mailing and contact lists: import a list, clean it with the tools, "
                                           "export it again."),
                            this);
    what->setWordWrap(true);
    txtbuild_ = new QLineEdit(versionText(), this);
    txtbuild_->setObjectName(QStringLiteral("txtbuild"));
    txtbuild_->setReadOnly(true);
    txtbuild_->setFrame(false);
    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(what);
    text->addWidget(txtbuild_);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(440, 200);
}

QString frmAbout::buildText() const { return txtbuild_->text(); }
