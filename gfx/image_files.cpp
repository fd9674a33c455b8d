// The toolkit's file loaders: CFF pictures with their palettes, image-set files (layouts 2 and 3)
// and palette files. Files come from users' disks, so every length and offset read from one is
// checked against the file before it is used, and the caller's buffers are written only once the
// whole file has been found sound.
#include <cstring>
#include <memory>
#include <new>

#include "gfx/gfx.h"
#include "platform/files.h"

namespace {

constexpr std::uint64_t kCffHeaderSize = 8;
constexpr std::uint64_t kPaletteSize = sizeof(Palette6);
// The most pixels one packed byte can stand for: a two-byte repeat packet writes 128.
constexpr std::uint64_t kMaxPixelsPerPackedByte = 64;

// Closes the loader's file on every way out of it.
struct FileCloser {
    HANDLE file;
    ~FileCloser() { CloseHandle(file); }
};

HANDLE OpenForReading(const char* fileName) {
    // An inheritable handle with no security descriptor, as the toolkit has always opened its files.
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, &security, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SizeOf(HANDLE file, std::uint64_t* size) {
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && high == 0) return false;
    *size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

bool SeekTo(HANDLE file, std::uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low =
        SetFilePointer(file, static_cast<LONG>(static_cast<std::uint32_t>(offset)), &high, FILE_BEGIN);
    return low == static_cast<std::uint32_t>(offset) && high == static_cast<LONG>(offset >> 32);
}

bool ReadExactly(HANDLE file, void* buffer, std::uint64_t count) {
    DWORD read = 0;
    return count <= 0xFFFFFFFFu && ReadFile(file, buffer, static_cast<DWORD>(count), &read, nullptr) &&
           read == count;
}

std::uint16_t Word(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}
std::uint32_t Dword(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(Word(bytes)) | static_cast<std::uint32_t>(Word(bytes + 2)) << 16;
}

// One image as the set's table describes it, with its stream's place in the file.
struct SetImage {
    std::uint16_t width;
    std::uint16_t height;
    std::uint32_t packedLength;
    std::uint64_t offset;
    std::uint64_t Size() const { return static_cast<std::uint64_t>(width) * height; }
};

struct SetTable {
    std::uint16_t count = 0;
    std::unique_ptr<SetImage[]> images;
};

// Reads the header and the whole table of an image set and checks that the table and every
// stream lie inside the file. A stream is found by the sum of the packed lengths before it.
bool ReadSetTable(HANDLE file, SetTable* table) {
    std::uint64_t fileSize = 0;
    std::uint8_t header[7];
    if (!SizeOf(file, &fileSize) || fileSize < 3 || !ReadExactly(file, header, 3)) return false;
    const unsigned layout = header[0] & 0x7F;
    const std::uint16_t count = Word(header + 1);
    if (layout != 2 && layout != 3) return false;

    std::uint16_t width = 0;
    std::uint16_t height = 0;
    if (layout == 2) {
        if (fileSize < 7 || !ReadExactly(file, header + 3, 4)) return false;
        width = Word(header + 3);
        height = Word(header + 5);
    }
    const std::uint64_t entrySize = layout == 2 ? 4 : 8;
    const std::uint64_t dataStart = (layout == 2 ? 7 : 3) + entrySize * count;
    if (dataStart > fileSize) return false;

    std::unique_ptr<std::uint8_t[]> entries(new (std::nothrow) std::uint8_t[entrySize * count]);
    table->images.reset(new (std::nothrow) SetImage[count]);
    if (!entries || !table->images || !ReadExactly(file, entries.get(), entrySize * count)) return false;

    std::uint64_t offset = dataStart;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = entries.get() + entrySize * i;
        SetImage& image = table->images[i];
        if (layout == 2) {
            image = {width, height, Dword(entry), offset};
        } else {
            image = {Word(entry), Word(entry + 2), Dword(entry + 4), offset};
        }
        if (image.packedLength > fileSize - offset) return false;
        offset += image.packedLength;
    }
    table->count = count;
    return true;
}

// Reads one image's stream into `packed` and checks that it ends within its packed length and
// decodes to no more than the image's size; *decoded receives its decoded length.
bool ReadStream(HANDLE file, const SetImage& image, std::uint8_t* packed, std::size_t* decoded) {
    return SeekTo(file, image.offset) && ReadExactly(file, packed, image.packedLength) &&
           RleMeasure(packed, image.packedLength, decoded) && *decoded <= image.Size();
}

}  // namespace

bool LoadCffImage(const char* fileName, Palette6* palette, std::uint8_t* pixels, std::size_t pixelsSize) {
    HANDLE file = OpenForReading(fileName);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileCloser closer{file};

    std::uint64_t fileSize = 0;
    if (!SizeOf(file, &fileSize) || fileSize < kCffHeaderSize + kPaletteSize) return false;
    // The packed picture fills everything between the header and the palette at the end.
    const std::uint64_t bodySize = fileSize - kCffHeaderSize - kPaletteSize;
    std::unique_ptr<std::uint8_t[]> body(new (std::nothrow) std::uint8_t[bodySize]);
    std::uint8_t header[kCffHeaderSize];
    Palette6 filePalette;
    if (!body || !ReadExactly(file, header, sizeof header) || !ReadExactly(file, body.get(), bodySize) ||
        !ReadExactly(file, filePalette.bytes, kPaletteSize)) {
        return false;
    }
    if (!RleDecodeBounded(body.get(), bodySize, pixels, pixelsSize)) return false;
    if (palette) *palette = filePalette;
    return true;
}

bool LoadImageSetInto(const char* fileName, std::uint8_t* pixels, std::uint8_t* packed,
                      std::size_t pixelsSize, std::size_t packedSize) {
    HANDLE file = OpenForReading(fileName);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileCloser closer{file};

    SetTable table;
    if (!ReadSetTable(file, &table)) return false;
    std::uint64_t total = 0;
    for (std::uint16_t i = 0; i < table.count; ++i) {
        if (table.images[i].packedLength > packedSize) return false;
        total += table.images[i].Size();
    }
    if (total > pixelsSize) return false;

    // `packed` holds one image at a time, so every stream is checked in a first pass before the
    // second pass writes any pixel: a bad image late in the file leaves the caller's buffer intact.
    std::size_t decoded = 0;
    for (std::uint16_t i = 0; i < table.count; ++i) {
        if (!ReadStream(file, table.images[i], packed, &decoded)) return false;
    }
    for (std::uint16_t i = 0; i < table.count; ++i) {
        const SetImage& image = table.images[i];
        // Checked again in case the file changed since the first pass.
        if (!ReadStream(file, image, packed, &decoded)) return false;
        RleDecode(packed, pixels);
        // The next image starts after this one's full size, whatever its stream produced.
        pixels += image.Size();
    }
    return true;
}

ImageSetEntry* LoadImageSet(const char* fileName) {
    HANDLE file = OpenForReading(fileName);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    FileCloser closer{file};

    SetTable table;
    if (!ReadSetTable(file, &table)) return nullptr;
    std::uint32_t largestPacked = 0;
    for (std::uint16_t i = 0; i < table.count; ++i) {
        const SetImage& image = table.images[i];
        if (image.Size() > kMaxPixelsPerPackedByte * image.packedLength) return nullptr;
        if (image.packedLength > largestPacked) largestPacked = image.packedLength;
    }

    std::unique_ptr<std::uint8_t[]> packed(new (std::nothrow) std::uint8_t[largestPacked]);
    // Value-initialised, so every entry not yet filled has a null `pixels` and FreeImageSet stops there.
    ImageSetEntry* set = new (std::nothrow) ImageSetEntry[table.count + 1]();
    if (!packed || !set) {
        delete[] set;
        return nullptr;
    }
    for (std::uint16_t i = 0; i < table.count; ++i) {
        const SetImage& image = table.images[i];
        std::size_t decoded = 0;
        std::uint8_t* pixels = nullptr;
        if (!ReadStream(file, image, packed.get(), &decoded) ||
            !(pixels = new (std::nothrow) std::uint8_t[image.Size()])) {
            FreeImageSet(set);
            return nullptr;
        }
        RleDecode(packed.get(), pixels);
        std::memset(pixels + decoded, 0, image.Size() - decoded);
        set[i] = {image.width, image.height, pixels};
    }
    return set;
}

void FreeImageSet(ImageSetEntry* set) {
    if (!set) return;
    for (ImageSetEntry* entry = set; entry->pixels; ++entry) delete[] entry->pixels;
    delete[] set;
}

bool LoadPaletteFile(const char* fileName, Palette6* palette) {
    HANDLE file = OpenForReading(fileName);
    if (file == INVALID_HANDLE_VALUE) return false;
    FileCloser closer{file};

    Palette6 filePalette;
    if (!ReadExactly(file, filePalette.bytes, kPaletteSize)) return false;
    *palette = filePalette;
    return true;
}
