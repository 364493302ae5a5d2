#pragma once

#include <QFont>
#include <QFontDatabase>

namespace quillon {

// The font of every window of the program: the desktop's sans face at 8 points.
inline QFont AppFont() {
    QFont font(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    font.setPointSize(8);
    return font;
}

}  // namespace quillon
