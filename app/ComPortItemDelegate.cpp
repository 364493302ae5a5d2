#include "app/ComPortItemDelegate.h"

#include <QPainter>

namespace quillon {

void ComPortItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const bool present = index.data(kPresentRole).toBool();
    const bool enabled = (option.state & QStyle::State_Enabled) != 0;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const bool available = present && enabled;

    QColor background = option.palette.color(QPalette::Base);
    QColor text = option.palette.color(QPalette::Text);
    if (available) {
        if (selected) {
            background = option.palette.color(QPalette::Highlight);
            text = option.palette.color(QPalette::HighlightedText);
        }
    } else {
        text = AbsentTextColour();
        if (selected) {
            background = Qt::white;
        }
    }

    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

}  // namespace quillon
