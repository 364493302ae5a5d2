#include "app/JpegPicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <csetjmp>
#include <cstdio>
#include <vector>

// jpeglib.h relies on <cstdio> being included first.
#include <jpeglib.h>

namespace quillon {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back to the
// decoder with the library's message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings of a damaged but readable picture are not shown

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

// Runs the decode with everything it allocates owned by libjpeg or by the caller's image, so
// that a longjmp out of the library leaks nothing and skips no destructor.
bool DecodeInto(jpeg_decompress_struct& cinfo, ErrorManager& errors, const uint8_t* data,
                size_t size, QImage& image) {
    if (setjmp(errors.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) {
        std::snprintf(errors.message, sizeof errors.message, "unsupported colour layout");
        return false;
    }
    if (cinfo.output_width > static_cast<unsigned>(JpegPicture::kMaxSide) ||
        cinfo.output_height > static_cast<unsigned>(JpegPicture::kMaxSide)) {
        std::snprintf(errors.message, sizeof errors.message, "picture too large (%ux%u)",
                      cinfo.output_width, cinfo.output_height);
        return false;
    }
    image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                   QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(errors.message, sizeof errors.message, "out of memory");
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

QImage JpegPicture::Decode(const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size == 0) {
        SetError(error, "empty file");
        return {};
    }
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = OnMessage;
    QImage image;
    const bool ok = DecodeInto(cinfo, errors, data, size, image);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        SetError(error, errors.message);
        return {};
    }
    return image;
}

QImage JpegPicture::DecodeFile(const QString& path, std::string* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString().toStdString());
        return {};
    }
    if (file.size() > 16 * 1024 * 1024) {
        SetError(error, "file too large");
        return {};
    }
    const QByteArray bytes = file.readAll();
    return Decode(reinterpret_cast<const uint8_t*>(bytes.constData()),
                  static_cast<size_t>(bytes.size()), error);
}

QImage JpegPicture::Placeholder(const QString& name, QSize size) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB888);
    image.fill(QColor(192, 192, 192));
    QPainter painter(&image);
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap, name);
    return image;
}

QString JpegPicture::PictureDir() {
    const QByteArray fromEnvironment = qgetenv("QUILLON_PICTURE_DIR");
    if (!fromEnvironment.isEmpty()) {
        return QString::fromLocal8Bit(fromEnvironment);
    }
    if (QCoreApplication::instance() != nullptr) {
        const QString installed =
            QCoreApplication::applicationDirPath() + "/../share/quillon-code-updater/pictures";
        if (QFileInfo(installed).isDir()) {
            return QDir::cleanPath(installed);
        }
    }
    return QStringLiteral(QUILLON_PICTURE_SOURCE_DIR);
}

QImage JpegPicture::Load(const QString& fileName, const QString& name, QSize fallbackSize) {
    QImage image = DecodeFile(PictureDir() + "/" + fileName);
    if (image.isNull()) {
        return Placeholder(name, fallbackSize);
    }
    return image;
}

}  // namespace quillon
