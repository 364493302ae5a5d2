#include "app/ComPortComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "app/ComPortItemDelegate.h"

namespace quillon {

ComPortComboBox::ComPortComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new ComPortItemDelegate(this));
}

void ComPortComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox frame;
    initStyleOption(&frame);
    frame.currentText.clear();
    frame.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, frame);

    const QModelIndex current = model()->index(currentIndex(), modelColumn(), rootModelIndex());
    if (!current.isValid()) {
        return;
    }
    QStyleOptionViewItem item;
    item.initFrom(this);
    item.rect =
        style()->subControlRect(QStyle::CC_ComboBox, &frame, QStyle::SC_ComboBoxEditField, this);
    item.font = font();
    item.state = QStyle::State_None;
    if (isEnabled()) {
        item.state |= QStyle::State_Enabled;
    }
    if (hasFocus()) {
        item.state |= QStyle::State_Selected;
    }
    itemDelegate()->paint(&painter, item, current);
}

}  // namespace quillon
