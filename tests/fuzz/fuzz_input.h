// Hands a fuzzer's bytes to a loader that reads a file by name: the bytes go into an in-memory
// file whose /proc path is the name. Shared by the loader fuzz targets.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline const char* InputFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("vexmoor-fuzz-input", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::perror("fuzz input file");
        std::abort();
    }
    return path.c_str();
}
