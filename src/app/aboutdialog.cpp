#include "app/aboutdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"aboutDialog"_s);
    setWindowTitle(tr("About Mavlor"));
    setModal(true);

    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(u":/launch"_s).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto *name = new QLabel(u"<b>%1</b>"_s.arg(tr("Mavlor")), this);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    name->setFont(nameFont);
    auto *version = new QLabel(tr("Version %1").arg(QStringLiteral(MAVLOR_VERSION)), this);
    version->setObjectName(u"aboutVersion"_s);
    auto *purpose = new QLabel(tr("Cuts one long MP3 into one file per track, without "
                                  "decoding or re-encoding the audio."),
                               this);
    purpose->setWordWrap(true);

    auto *texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(6);
    texts->addWidget(purpose);
    texts->addStretch(1);

    auto *top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon);
    top->addLayout(texts, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setFixedWidth(360);
}
