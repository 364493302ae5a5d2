#include "app/AboutDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/AppFont.h"
#include "app/JpegPicture.h"

namespace quillon {

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle("About");
    setFont(AppFont());
    setFixedSize(307, 220);

    Panel2 = new QFrame(this);
    Panel2->setGeometry(8, 8, 281, 129);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    const QImage picture = JpegPicture::Load("about.jpg", "About", QSize(192, 52));
    Image1 = new QLabel(Panel2);
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->setGeometry(48, 16, picture.width(), picture.height());

    NameLabel = new QLabel("Quillon Code Updater", Panel2);
    NameLabel->move(16, 76);
    VersionLabel = new QLabel(QString("Version ") + kVersion, Panel2);
    VersionLabel->move(16, 92);
    CopyrightLabel = new QLabel("Copyright (c) Quillon. All rights reserved.", Panel2);
    CopyrightLabel->move(16, 108);
    for (QLabel* label : {NameLabel, VersionLabel, CopyrightLabel}) {
        label->adjustSize();
    }

    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(112, 152, 75, 25);
    OKButton->setDefault(true);
    OKButton->setFocus();
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace quillon
