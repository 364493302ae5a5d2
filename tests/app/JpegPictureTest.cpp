#include <gtest/gtest.h>
#include <QColor>
#include <QFile>
#include <QTemporaryDir>

#include "app/JpegPicture.h"
#include "tests/app/WidgetTestApp.h"

namespace quillon {
namespace {

QString Shipped(const char* file) {
    return QString(QUILLON_SOURCE_DIR) + "/app/pictures/" + file;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

bool Near(QColor actual, QColor expected, int tolerance = 12) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Every shipped picture decodes at its size, with its colours in the right channels (the band
// at the bottom of the About picture is yellow, the sky of the radio pictures light blue-grey).
TEST(JpegPicture, ShippedPicturesDecode) {
    const struct {
        const char* file;
        QSize size;
        QPoint probe;
        QColor colour;
    } cases[] = {
        {"about.jpg", QSize(192, 52), QPoint(96, 50), QColor(250, 200, 60)},
        {"portable-g.jpg", QSize(160, 120), QPoint(4, 2), QColor(236, 240, 246)},
        {"portable-x.jpg", QSize(160, 120), QPoint(112, 60), QColor(70, 86, 60)},
        {"mobile-g.jpg", QSize(160, 120), QPoint(4, 2), QColor(236, 240, 246)},
        {"mobile-x.jpg", QSize(160, 120), QPoint(100, 40), QColor(70, 86, 60)},
    };
    for (const auto& c : cases) {
        std::string error;
        const QImage image = JpegPicture::DecodeFile(Shipped(c.file), &error);
        ASSERT_FALSE(image.isNull()) << c.file << ": " << error;
        EXPECT_EQ(image.size(), c.size) << c.file;
        const QColor seen = image.pixelColor(c.probe);
        EXPECT_TRUE(Near(seen, c.colour)) << c.file << " at " << c.probe.x() << "," << c.probe.y()
                                          << ": " << seen.name().toStdString();
    }
}

TEST(JpegPicture, DamagedInputIsRefusedWithAReason) {
    const QByteArray good = ReadAll(Shipped("about.jpg"));
    QByteArray noMarker = good;
    noMarker[0] = 0;
    QByteArray badTables = good;
    for (int i = 20; i < 200 && i < badTables.size(); ++i) {
        badTables[i] = static_cast<char>(0xFF);
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"no start marker", noMarker},
        {"cut in the header", good.left(60)},
        {"header overwritten", badTables},
        {"not a JPEG", QByteArray("\x89PNG\r\n\x1a\n0000000000000000", 24)},
    };
    for (const auto& c : cases) {
        std::string error;
        const QImage image =
            JpegPicture::Decode(reinterpret_cast<const uint8_t*>(c.bytes.constData()),
                                static_cast<size_t>(c.bytes.size()), &error);
        EXPECT_TRUE(image.isNull()) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

TEST(JpegPicture, MissingOrCorruptPictureFallsBackToNamedGreyBox) {
    test::WidgetTestApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile corrupt(dir.path() + "/about.jpg");
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("this is not a picture");
    corrupt.close();
    qputenv("QUILLON_PICTURE_DIR", dir.path().toLocal8Bit());
    for (const char* file : {"about.jpg", "missing.jpg"}) {
        const QImage image = JpegPicture::Load(file, "About", QSize(192, 52));
        EXPECT_EQ(image.size(), QSize(192, 52)) << file;
        EXPECT_EQ(image.pixelColor(5, 5), QColor(192, 192, 192)) << file;
    }
    qunsetenv("QUILLON_PICTURE_DIR");
    // With the shipped folder the real picture is there again.
    const QImage real = JpegPicture::Load("about.jpg", "About", QSize(10, 10));
    EXPECT_EQ(real.size(), QSize(192, 52));
}

}  // namespace
}  // namespace quillon
