// Writes the test bitmaps that vexmoor_tests carries as resources, and their resource list, into
// the directory given: vexmoor_make_test_bitmaps DIR. The tests expect exactly these contents.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_bitmaps.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexmoor_make_test_bitmaps DIR\n");
        return 1;
    }
    std::string dir = argv[1];
    std::ofstream list(dir + "/resources.list");
    for (const testbmp::Named& bitmap : testbmp::ResourceBitmaps()) {
        std::vector<std::uint8_t> bytes = testbmp::Build(bitmap.description);
        std::ofstream out(dir + "/" + bitmap.name + ".bmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "vexmoor_make_test_bitmaps: cannot write %s\n", bitmap.name.c_str());
            return 1;
        }
        list << bitmap.name << " BITMAP " << bitmap.name << ".bmp\n";
    }
    return list ? 0 : 1;
}
