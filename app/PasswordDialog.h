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
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* owner = nullptr);

    // 1 after OK, 0 after Cancel, Escape or closing the window (and before either).
    uint8_t Accepted() const { return accepted_; }
    // The text typed, with blanks and control characters removed at both ends.
    QString GetPasswordText() const;

    QLineEdit* PasswordEdit() const { return m_PasswordEdit; }
    QPushButton* OkButton() const { return okButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QFrame* Panel() const { return panel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Accept();
    void Cancel();

    uint8_t accepted_ = 0;
    QFrame* panel_;
    QLabel* promptLabel_;
    QLineEdit* m_PasswordEdit;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

}  // namespace quillon
