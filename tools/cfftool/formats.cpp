// CFF and image-set layouts for cfftool: building files from packed streams and reading their
// headers and tables for `info` and the round trips.
#include "tools/cfftool/formats.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace cff {

namespace {

void PutWord(std::vector<std::uint8_t>* out, std::uint16_t v) {
    out->push_back(static_cast<std::uint8_t>(v));
    out->push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutDword(std::vector<std::uint8_t>* out, std::uint32_t v) {
    PutWord(out, static_cast<std::uint16_t>(v));
    PutWord(out, static_cast<std::uint16_t>(v >> 16));
}

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Dword(const std::uint8_t* p) {
    return Word(p) | static_cast<std::uint32_t>(Word(p + 2)) << 16;
}

}  // namespace

std::uint8_t SixToEight(std::uint8_t v) {
    return static_cast<std::uint8_t>((v & 63) << 2 | (v & 63) >> 4);
}
std::uint8_t EightToSix(std::uint8_t v) {
    return static_cast<std::uint8_t>((v * 63 + 127) / 255);
}

std::vector<std::uint8_t> BuildCff(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& stream, const Palette6& palette) {
    std::vector<std::uint8_t> file;
    file.reserve(8 + stream.size() + sizeof palette.bytes);
    PutDword(&file, width);
    PutDword(&file, height);
    file.insert(file.end(), stream.begin(), stream.end());
    file.insert(file.end(), std::begin(palette.bytes), std::end(palette.bytes));
    return file;
}

bool ParseCff(const std::vector<std::uint8_t>& file, CffInfo* info, std::string* error) {
    if (file.size() < 776) {
        *error = "only " + std::to_string(file.size()) +
                 " bytes: a CFF file has at least an 8-byte header, an end byte and a 768-byte palette";
        return false;
    }
    info->first = Dword(file.data());
    info->second = Dword(file.data() + 4);
    info->bodySize = file.size() - 776;
    std::memcpy(info->palette.bytes, file.data() + file.size() - 768, 768);
    std::size_t decoded = 0;
    info->streamComplete = RleMeasure(file.data() + 8, info->bodySize, &decoded);
    if (info->streamComplete) {
        info->decodedSize = decoded;
        // The stream's own length: walk it again, counting bytes up to the end byte.
        std::uint64_t at = 8;
        while (file[at] != 0) at += file[at] < 128 ? 1 + file[at] : 2;
        info->streamSize = at + 1 - 8;
    }
    return true;
}

std::vector<std::uint8_t> BuildImageSet(int layout, const std::vector<SetImage>& images) {
    std::vector<std::uint8_t> file;
    file.push_back(static_cast<std::uint8_t>(layout));
    PutWord(&file, static_cast<std::uint16_t>(images.size()));
    if (layout == 2) {
        PutWord(&file, images.empty() ? 0 : images[0].width);
        PutWord(&file, images.empty() ? 0 : images[0].height);
        for (const SetImage& image : images) PutDword(&file, static_cast<std::uint32_t>(image.stream.size()));
    } else {
        for (const SetImage& image : images) {
            PutWord(&file, image.width);
            PutWord(&file, image.height);
            PutDword(&file, static_cast<std::uint32_t>(image.stream.size()));
        }
    }
    for (const SetImage& image : images) file.insert(file.end(), image.stream.begin(), image.stream.end());
    return file;
}

bool ParseImageSet(const std::vector<std::uint8_t>& file, SetInfo* info, std::string* error) {
    if (file.size() < 3) {
        *error = "too short for an image-set header";
        return false;
    }
    info->typeByte = file[0];
    info->layout = file[0] & 0x7F;
    const std::uint16_t count = Word(file.data() + 1);
    if (info->layout != 2 && info->layout != 3) {
        *error = "type byte " + std::to_string(file[0]) + " names layout " + std::to_string(info->layout) +
                 "; image sets have layout 2 or 3";
        return false;
    }
    const std::uint64_t tableStart = info->layout == 2 ? 7 : 3;
    const std::uint64_t entrySize = info->layout == 2 ? 4 : 8;
    std::uint64_t offset = tableStart + entrySize * count;
    if (offset > file.size()) {
        *error = "the table of " + std::to_string(count) + " images does not fit the file's " +
                 std::to_string(file.size()) + " bytes";
        return false;
    }
    info->entries.clear();
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = file.data() + tableStart + entrySize * i;
        SetEntryInfo e;
        if (info->layout == 2) {
            e = {Word(file.data() + 3), Word(file.data() + 5), Dword(entry), offset};
        } else {
            e = {Word(entry), Word(entry + 2), Dword(entry + 4), offset};
        }
        if (e.packedSize > file.size() - offset) {
            *error = "image " + std::to_string(i) + " claims " + std::to_string(e.packedSize) +
                     " packed bytes at offset " + std::to_string(offset) + ", beyond the end of the file";
            return false;
        }
        offset += e.packedSize;
        info->entries.push_back(e);
    }
    info->dataEnd = offset;
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = path + ": read error";
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
    // Written beside the target and renamed over it, so a failed write never leaves a half file
    // where a good one was.
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const int savedErrno = errno;
    const bool complete = written == bytes.size() && ::fchmod(fd, 0644) == 0;
    if (::close(fd) != 0 || !complete || ::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = path + ": cannot write: " + std::strerror(complete ? errno : savedErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace cff
