#include "app/PasswordDialog.h"

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

PasswordDialog::PasswordDialog(QWidget* owner) : QDialog(owner) {
    setWindowTitle("Radio Code Update - Enter Password");
    setFont(AppFont());
    setFixedSize(387, 107);

    panel_ = new QFrame(this);
    panel_->setGeometry(8, 9, 281, 89);
    panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    promptLabel_ = new QLabel("Please enter your password:", panel_);
    promptLabel_->move(8, 16);
    promptLabel_->adjustSize();

    m_PasswordEdit = new QLineEdit(panel_);
    m_PasswordEdit->setGeometry(8, 48, 265, 21);
    m_PasswordEdit->setEchoMode(QLineEdit::Password);
    // Every typed character shows as '*', whatever the style would draw.
    m_PasswordEdit->setStyleSheet("lineedit-password-character: 42");

    okButton_ = new QPushButton("OK", this);
    okButton_->setGeometry(304, 8, 75, 25);
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setGeometry(304, 40, 75, 25);
    cancelButton_->setAutoDefault(false);

    setTabOrder(m_PasswordEdit, okButton_);
    setTabOrder(okButton_, cancelButton_);

    connect(okButton_, &QPushButton::clicked, this, &PasswordDialog::Accept);
    connect(cancelButton_, &QPushButton::clicked, this, &PasswordDialog::Cancel);
}

QString PasswordDialog::GetPasswordText() const {
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

void PasswordDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_PasswordEdit->setFocus();
}

void PasswordDialog::Accept() {
    accepted_ = 1;
    accept();
}

void PasswordDialog::Cancel() {
    accepted_ = 0;
    reject();
}

}  // namespace quillon
