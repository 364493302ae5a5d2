// Draws the pictures of the main window and the About box and writes them as JPEG files:
//   quillon-make-pictures OUTPUT_FOLDER
// The pictures are simple drawings (a radio seen from the front, a banner); the shipped files in
// app/pictures/ were made with this program and are committed, so a normal build never runs it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// jpeglib.h relies on <cstdio> being included first.
#include <jpeglib.h>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

class Canvas {
public:
    Canvas(int width, int height, Rgb fill)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), fill) {}

    void Box(int x, int y, int w, int h, Rgb colour) {
        for (int row = y; row < y + h; ++row) {
            for (int col = x; col < x + w; ++col) {
                Set(col, row, colour);
            }
        }
    }
    // A box with rounded corners of radius r.
    void RoundBox(int x, int y, int w, int h, int r, Rgb colour) {
        for (int row = y; row < y + h; ++row) {
            for (int col = x; col < x + w; ++col) {
                const int dx =
                    col < x + r ? x + r - col : (col >= x + w - r ? col - (x + w - r - 1) : 0);
                const int dy =
                    row < y + r ? y + r - row : (row >= y + h - r ? row - (y + h - r - 1) : 0);
                if (dx * dx + dy * dy <= r * r) {
                    Set(col, row, colour);
                }
            }
        }
    }
    void Disc(int cx, int cy, int r, Rgb colour) {
        RoundBox(cx - r, cy - r, 2 * r + 1, 2 * r + 1, r, colour);
    }
    // A vertical blend from top to bottom over the whole canvas.
    void Gradient(Rgb top, Rgb bottom) {
        for (int row = 0; row < height_; ++row) {
            const double t = height_ > 1 ? static_cast<double>(row) / (height_ - 1) : 0.0;
            const Rgb c{Mix(top.r, bottom.r, t), Mix(top.g, bottom.g, t), Mix(top.b, bottom.b, t)};
            Box(0, row, width_, 1, c);
        }
    }

    bool WriteJpeg(const std::string& path) const {
        FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) {
            std::perror(path.c_str());
            return false;
        }
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr errors{};
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, out);
        cinfo.image_width = static_cast<JDIMENSION>(width_);
        cinfo.image_height = static_cast<JDIMENSION>(height_);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        std::vector<uint8_t> line(static_cast<size_t>(width_) * 3);
        while (cinfo.next_scanline < cinfo.image_height) {
            for (int col = 0; col < width_; ++col) {
                const Rgb& p = pixels_[static_cast<size_t>(cinfo.next_scanline) * width_ + col];
                line[col * 3] = p.r;
                line[col * 3 + 1] = p.g;
                line[col * 3 + 2] = p.b;
            }
            JSAMPROW row = line.data();
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        return std::fclose(out) == 0;
    }

private:
    static uint8_t Mix(uint8_t a, uint8_t b, double t) {
        return static_cast<uint8_t>(std::lround(a + (b - a) * t));
    }
    void Set(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) {
            pixels_[static_cast<size_t>(y) * width_ + x] = colour;
        }
    }

    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

constexpr int kRadioWidth = 160;
constexpr int kRadioHeight = 120;

// A portable: a tall handset with an antenna, a display and a keypad.
Canvas Portable(Rgb body, Rgb display) {
    Canvas c(kRadioWidth, kRadioHeight, {255, 255, 255});
    c.Gradient({236, 240, 246}, {200, 208, 220});
    c.RoundBox(88, 4, 8, 30, 3, {40, 40, 44});     // antenna
    c.RoundBox(104, 10, 10, 12, 2, {60, 60, 64});  // channel knob
    c.RoundBox(56, 22, 60, 94, 8, body);           // housing
    c.RoundBox(64, 32, 44, 22, 3, display);        // display
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            c.RoundBox(66 + col * 14, 62 + row * 12, 11, 8, 2, {220, 220, 224});
        }
    }
    return c;
}

// A mobile: a wide box with a control head, a display and a row of buttons.
Canvas Mobile(Rgb body, Rgb display) {
    Canvas c(kRadioWidth, kRadioHeight, {255, 255, 255});
    c.Gradient({236, 240, 246}, {200, 208, 220});
    c.RoundBox(10, 36, 140, 56, 8, body);    // housing
    c.RoundBox(44, 46, 72, 18, 3, display);  // display
    c.Disc(26, 64, 9, {60, 60, 64});         // volume knob
    c.Disc(134, 64, 9, {60, 60, 64});        // channel knob
    for (int col = 0; col < 5; ++col) {
        c.RoundBox(44 + col * 15, 72, 12, 10, 2, {220, 220, 224});
    }
    c.Box(30, 92, 100, 8, {90, 90, 96});  // mounting bracket
    return c;
}

// The About banner: a band with a stylised wave.
Canvas Banner() {
    Canvas c(192, 52, {255, 255, 255});
    c.Gradient({24, 64, 120}, {40, 110, 180});
    for (int x = 0; x < 192; ++x) {
        const int y = 26 + static_cast<int>(std::lround(12.0 * std::sin(x / 14.0)));
        c.Box(x, y - 1, 1, 3, {250, 200, 60});
    }
    c.Box(0, 48, 192, 4, {250, 200, 60});
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const Rgb series6{38, 42, 48};
    const Rgb other{70, 86, 60};
    const Rgb lcd{150, 200, 170};
    bool ok = Portable(series6, lcd).WriteJpeg(dir + "/portable-g.jpg");
    ok = Portable(other, lcd).WriteJpeg(dir + "/portable-x.jpg") && ok;
    ok = Mobile(series6, lcd).WriteJpeg(dir + "/mobile-g.jpg") && ok;
    ok = Mobile(other, lcd).WriteJpeg(dir + "/mobile-x.jpg") && ok;
    ok = Banner().WriteJpeg(dir + "/about.jpg") && ok;
    return ok ? 0 : 1;
}
