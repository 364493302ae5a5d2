// quillon-image-data STEM OUT: joins the embedded pieces STEM_1..n of this build (CODE,
// CODE_BOOT, ...) and writes the data of their S-records, in order, to OUT. Exit 0, or 1 with
// the reason.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/core/ResourceTable.h"
#include "download/SRecordReader.h"

int main(int argc, char** argv) {
    using namespace quillon;
    if (argc != 3) {
        std::cerr << "usage: quillon-image-data STEM OUT\n";
        return 1;
    }
    const std::string stem = argv[1];
    ResourceTable resources(EmbeddedResourceEntries());
    std::string text;
    std::string_view piece;
    int pieces = 0;
    while (resources.Find(stem + "_" + std::to_string(pieces + 1), piece)) {
        text.append(piece);
        ++pieces;
    }
    if (pieces == 0) {
        std::cerr << "quillon-image-data: this build embeds no " << stem << "_1\n";
        return 1;
    }
    std::istringstream in(text);
    SRecordReader reader(in, SRecordReader::Mode::kNormal);
    SRecordReader::Record record;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    while (reader.Next(record)) {
        out.write(reinterpret_cast<const char*>(record.data.data()), record.size);
    }
    out.close();
    if (!out) {
        std::cerr << "quillon-image-data: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
