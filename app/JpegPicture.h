#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// The pictures of the main window and the About box: JPEG files shipped beside the program,
// decoded with libjpeg. A picture that cannot be read or decoded is replaced by a grey box of the
// expected size with the picture's name in it, so a damaged installation still shows a usable
// window.
class JpegPicture {
public:
    // Largest width or height accepted; anything bigger is treated as damaged.
    static constexpr int kMaxSide = 4096;

    // Decodes a JPEG held in memory into an RGB image. On failure returns a null image and, when
    // error is given, a short reason.
    static QImage Decode(const uint8_t* data, size_t size, std::string* error = nullptr);

    // Reads and decodes a file; a null image (and the reason) when that fails.
    static QImage DecodeFile(const QString& path, std::string* error = nullptr);

    // The grey box shown instead of a picture that could not be decoded.
    static QImage Placeholder(const QString& name, QSize size);

    // The folder the pictures are read from: $QUILLON_PICTURE_DIR when set, else the installed
    // folder beside the program (../share/quillon-code-updater/pictures), else the source tree.
    static QString PictureDir();

    // DecodeFile(PictureDir()/fileName), or the placeholder of the given size named name.
    static QImage Load(const QString& fileName, const QString& name, QSize fallbackSize);
};

}  // namespace quillon
