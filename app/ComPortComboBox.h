#pragma once

#include <QComboBox>

namespace quillon {

// The COM port list. Its face draws the chosen item as the list draws it (ComPortItemDelegate),
// so a chosen port that has gone away shows grey there too.
class ComPortComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComPortComboBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quillon
