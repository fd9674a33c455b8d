// cfftool's entry point: hands the command line to RunCfftool.
#include <iostream>
#include <new>

#include "tools/cfftool/commands.h"

int main(int argc, char** argv) {
    try {
        return cff::RunCfftool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "cfftool: error: out of memory\n";
        return cff::kExitFailed;
    }
}
