#include "app/TCodeDownPassDispDlg.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppFont.h"

namespace quillon {
namespace {

bool IsBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}

}  // namespace

TCodeDownPassDispDlg::TCodeDownPassDispDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle("Radio Code Update - Enter Password");
    setFont(AppFont());
    setFixedSize(387, 107);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 9, 281, 89);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Label1 = new QLabel("Please enter your password:", Panel1);
    Label1->move(8, 16);
    Label1->adjustSize();

    m_PasswordEdit = new QLineEdit(Panel1);
    m_PasswordEdit->setGeometry(8, 48, 265, 21);
    m_PasswordEdit->setEchoMode(QLineEdit::Password);
    // Every typed character shows as '*', whatever the style would draw.
    m_PasswordEdit->setStyleSheet("lineedit-password-character: 42");

    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setGeometry(304, 8, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    BitBtn2 = new QPushButton("Cancel", this);
    BitBtn2->setGeometry(304, 40, 75, 25);
    BitBtn2->setAutoDefault(false);

    setTabOrder(m_PasswordEdit, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(BitBtn1, &QPushButton::clicked, this, &TCodeDownPassDispDlg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TCodeDownPassDispDlg::BitBtn2Click);
}

QString TCodeDownPassDispDlg::GetPasswordText() const {
    const QString text = m_PasswordEdit->text();
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlankOrControl(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlankOrControl(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

void TCodeDownPassDispDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_PasswordEdit->setFocus();
}

void TCodeDownPassDispDlg::BitBtn1Click() {
    accepted_ = 1;
    accept();
}

void TCodeDownPassDispDlg::BitBtn2Click() {
    accepted_ = 0;
    reject();
}

}  // namespace quillon
