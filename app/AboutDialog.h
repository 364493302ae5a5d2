#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace quillon {

// The About box: the picture, the program's name, its version and a copyright line.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "1.4.8";

    explicit AboutDialog(QWidget* owner = nullptr);

    QFrame* Panel() const { return Panel2; }
    QLabel* Image() const { return Image1; }
    QLabel* NameText() const { return NameLabel; }
    QLabel* VersionText() const { return VersionLabel; }
    QLabel* CopyrightText() const { return CopyrightLabel; }
    QPushButton* Ok() const { return OKButton; }

private:
    QFrame* Panel2;
    QLabel* Image1;
    QLabel* NameLabel;
    QLabel* VersionLabel;
    QLabel* CopyrightLabel;
    QPushButton* OKButton;
};

}  // namespace quillon
