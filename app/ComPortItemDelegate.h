#pragma once

#include <QStyledItemDelegate>

namespace quillon {

// Draws one item of the COM port list. An item is available when its port was found by the last
// refresh (the item's kPresentRole is true) and the list is enabled: then it is drawn as usual,
// in the highlight colours when selected. Otherwise its text is grey, on white when selected.
class ComPortItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kPresentRole = Qt::UserRole + 1;
    static QColor AbsentTextColour() { return QColor(128, 128, 128); }

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace quillon
