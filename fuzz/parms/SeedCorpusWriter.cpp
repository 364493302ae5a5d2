// Writes a few generated codeplug images (bytes as the radio sends them) into a folder, as the
// starting corpus of the codeplug fuzz target.

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/parms/support/CodeplugGenerator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    using quillon::testkit::ImageSize;
    const ImageSize sizes[] = {ImageSize::Tiny, ImageSize::Tiny, ImageSize::Small};
    unsigned written = 0;
    for (uint8_t format = 3; format <= 5; ++format) {
        for (unsigned i = 0; i < 3; ++i) {
            quillon::testkit::CodeplugGenerator generator(1000u * format + i);
            quillon::testkit::GeneratorOptions options;
            options.formatIndex = format;
            options.size = sizes[i];
            const auto image = generator.Generate(options);
            const auto bytes = quillon::testkit::ToRadioBytes(image.words, image.totalLength);
            const std::string path = std::string(argv[1]) + "/generated-5." +
                                     std::to_string(format + 5) + "-" + std::to_string(i);
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("%u seed images written to %s\n", written, argv[1]);
    return 0;
}
