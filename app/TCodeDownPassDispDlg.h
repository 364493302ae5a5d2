#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillon {

// The password dialog: asks for the service access code before an update and for the radio's
// codeplug password. The caller shows it modally and reads Accepted() and GetPasswordText().
class TCodeDownPassDispDlg : public QDialog {
    Q_OBJECT
public:
    explicit TCodeDownPassDispDlg(QWidget* owner = nullptr);

    // 1 after OK, 0 after Cancel, Escape or closing the window (and before either).
    uint8_t Accepted() const { return accepted_; }
    // The text typed, with blanks and control characters removed at both ends.
    QString GetPasswordText() const;

    QLineEdit* PasswordEdit() const { return m_PasswordEdit; }
    QPushButton* OkButton() const { return BitBtn1; }
    QPushButton* CancelButton() const { return BitBtn2; }
    QFrame* Panel() const { return Panel1; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BitBtn1Click();
    void BitBtn2Click();

    uint8_t accepted_ = 0;
    QFrame* Panel1;
    QLabel* Label1;
    QLineEdit* m_PasswordEdit;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

}  // namespace quillon
