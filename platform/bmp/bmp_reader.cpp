// The BMP reader: checks every size against the data before it touches it (all arithmetic on
// sizes in 64 bits), then copies the pixel rows out whole. Uncompressed 1, 4, 8, 16, 24 and
// 32 bits per pixel, bit-field masks, bottom-up and top-down, core, info, V4 and V5 headers.
#include "platform/bmp/bmp_reader.h"

#include <cstring>
#include <limits>

namespace platform::bmp {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5,
                        kAlphaBitFields = 6;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t I32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(U32(p));
}

bool Fail(std::string* error, const char* reason) {
    if (error) *error = reason;
    return false;
}

std::int64_t StrideFor(std::int64_t width, int bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

// A mask is usable when it is one run of set bits inside the pixel.
bool MaskUsable(std::uint32_t mask, int bitCount) {
    if (mask == 0) return false;
    if (bitCount < 32 && (mask >> bitCount) != 0) return false;
    std::uint32_t run = mask >> __builtin_ctz(mask);
    return (run & (run + 1)) == 0;
}

std::uint32_t Component(std::uint32_t value, std::uint32_t mask) {
    int shift = __builtin_ctz(mask);
    int bits = __builtin_popcount(mask);
    std::uint64_t level = (value & mask) >> shift;
    std::uint64_t top = (std::uint64_t{1} << bits) - 1;
    return static_cast<std::uint32_t>((level * 255 + top / 2) / top);
}

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;  // signed as stored: negative is top-down
    int bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t masks[3] = {};
    std::size_t tableOffset = 0;  // from the header's start
    std::int64_t tableEntries = 0;
    std::size_t entrySize = 4;
};

// Reads the header at `data` (whose `size` bytes are all there is) and where its colour table is.
bool ParseHeader(const std::uint8_t* data, std::size_t size, bool iconImage, Layout* l, std::string* error) {
    if (size < 4) return Fail(error, "the data ends inside the bitmap header");
    std::uint32_t headerSize = U32(data);
    if (headerSize > size) return Fail(error, "the data ends inside the bitmap header");
    std::int64_t colourCount = 0;
    if (headerSize == kCoreHeaderSize) {
        l->width = U16(data + 4);
        l->height = U16(data + 6);
        l->bitCount = U16(data + 10);
        l->entrySize = 3;
    } else if (headerSize >= kInfoHeaderSize) {
        l->width = I32(data + 4);
        l->height = I32(data + 8);
        l->bitCount = U16(data + 14);
        l->compression = U32(data + 16);
        colourCount = U32(data + 32);
    } else {
        return Fail(error, "unknown bitmap header size");
    }
    if (iconImage) {
        // The header counts the colour rows and the mask rows together.
        if (l->height <= 0 || l->height % 2 != 0) return Fail(error, "icon image height is not even");
        l->height /= 2;
    }
    switch (l->compression) {
        case kRgb:
        case kBitFields:
        case kAlphaBitFields:
            break;
        case kRle8:
        case kRle4:
            return Fail(error, "RLE-compressed bitmaps are not supported");
        case kJpeg:
        case kPng:
            return Fail(error, "bitmaps holding JPEG or PNG data are not supported");
        default:
            return Fail(error, "unknown bitmap compression");
    }
    const int b = l->bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        return Fail(error, "unsupported bits per pixel");
    if (l->width <= 0 || l->height == 0 || l->height == std::numeric_limits<std::int32_t>::min())
        return Fail(error, "bitmap width or height is zero or negative");
    if (!SizeAllowed(l->width, l->height < 0 ? -l->height : l->height))
        return Fail(error, "bitmap is too large");

    std::size_t afterHeader = headerSize;
    if (l->compression == kRgb) {
        if (b == 16) {
            l->masks[0] = 0x7C00, l->masks[1] = 0x03E0, l->masks[2] = 0x001F;
        } else if (b == 32) {
            l->masks[0] = 0xFF0000, l->masks[1] = 0x00FF00, l->masks[2] = 0x0000FF;
        }
    } else {
        if (b != 16 && b != 32) return Fail(error, "bit-field masks need 16 or 32 bits per pixel");
        // Headers from 52 bytes on carry the masks; the 40-byte header is followed by them.
        const std::uint8_t* at = data + kInfoHeaderSize;
        if (headerSize == kInfoHeaderSize) {
            std::size_t maskBytes = l->compression == kAlphaBitFields ? 16 : 12;
            if (size - afterHeader < maskBytes) return Fail(error, "the data ends inside the colour masks");
            afterHeader += maskBytes;
        } else if (headerSize < kInfoHeaderSize + 12) {
            return Fail(error, "the header is too short for its colour masks");
        }
        for (int i = 0; i < 3; ++i) {
            l->masks[i] = U32(at + 4 * i);
            if (!MaskUsable(l->masks[i], b)) return Fail(error, "unusable colour mask");
        }
        if ((l->masks[0] & l->masks[1]) || (l->masks[0] & l->masks[2]) || (l->masks[1] & l->masks[2]))
            return Fail(error, "colour masks overlap");
    }
    if (colourCount == 0 && b <= 8) colourCount = std::int64_t{1} << b;
    l->tableOffset = afterHeader;
    l->tableEntries = colourCount;
    return true;
}

// Where the colour table ends (from the header's start), or false when it does not fit.
bool TableEnd(const Layout& l, std::size_t size, std::size_t* end, std::string* error) {
    std::int64_t bytes = l.tableEntries * static_cast<std::int64_t>(l.entrySize);
    if (static_cast<std::int64_t>(size - l.tableOffset) < bytes)
        return Fail(error, "the data ends inside the colour table");
    *end = l.tableOffset + static_cast<std::size_t>(bytes);
    return true;
}

// Fills *out from a parsed header, the colour table at data + l.tableOffset and the rows at
// data + pixelOffset; *pixelEnd is where the rows end.
bool Build(const std::uint8_t* data, std::size_t size, const Layout& l, std::size_t pixelOffset, Dib* out,
           std::size_t* pixelEnd, std::string* error) {
    std::int64_t rows = l.height < 0 ? -l.height : l.height;
    std::int64_t stride = StrideFor(l.width, l.bitCount);
    if (pixelOffset > size || static_cast<std::int64_t>(size - pixelOffset) < stride * rows)
        return Fail(error, "the data ends inside the pixel rows");
    Dib dib;
    dib.width = static_cast<int>(l.width);
    dib.height = static_cast<int>(rows);
    dib.topDown = l.height < 0;
    dib.bitCount = l.bitCount;
    dib.redMask = l.masks[0];
    dib.greenMask = l.masks[1];
    dib.blueMask = l.masks[2];
    if (l.bitCount <= 8) {
        std::int64_t used = std::min<std::int64_t>(l.tableEntries, std::int64_t{1} << l.bitCount);
        const std::uint8_t* table = data + l.tableOffset;
        dib.colours.resize(static_cast<std::size_t>(used));
        for (std::int64_t i = 0; i < used; ++i) {
            const std::uint8_t* e = table + i * static_cast<std::int64_t>(l.entrySize);
            dib.colours[static_cast<std::size_t>(i)] =
                (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
        }
    }
    dib.stride = static_cast<int>(stride);
    dib.bits.assign(data + pixelOffset, data + pixelOffset + stride * rows);
    *pixelEnd = pixelOffset + static_cast<std::size_t>(stride * rows);
    *out = std::move(dib);
    return true;
}

}  // namespace

bool SizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxDimension && height <= kMaxDimension &&
           width * height <= kMaxPixels;
}

std::uint8_t* Dib::Row(int y) {
    return bits.data() + static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride;
}
const std::uint8_t* Dib::Row(int y) const {
    return bits.data() + static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride;
}

std::uint32_t Dib::RawAt(int x, int y) const {
    const std::uint8_t* row = Row(y);
    switch (bitCount) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        case 8:
            return row[x];
        case 16:
            return U16(row + 2 * x);
        case 24:
            return row[3 * x] | (row[3 * x + 1] << 8) | (std::uint32_t{row[3 * x + 2]} << 16);
        default:
            return U32(row + 4 * x);
    }
}

void Dib::SetRawAt(int x, int y, std::uint32_t value) {
    std::uint8_t* row = Row(y);
    switch (bitCount) {
        case 1: {
            std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
            row[x >> 3] = static_cast<std::uint8_t>((value & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
            break;
        }
        case 4: {
            int shift = (x & 1) ? 0 : 4;
            row[x >> 1] =
                static_cast<std::uint8_t>((row[x >> 1] & ~(0xF << shift)) | ((value & 0xF) << shift));
            break;
        }
        case 8:
            row[x] = static_cast<std::uint8_t>(value);
            break;
        case 16:
            row[2 * x] = static_cast<std::uint8_t>(value);
            row[2 * x + 1] = static_cast<std::uint8_t>(value >> 8);
            break;
        case 24:
            for (int i = 0; i < 3; ++i) row[3 * x + i] = static_cast<std::uint8_t>(value >> (8 * i));
            break;
        default:
            for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<std::uint8_t>(value >> (8 * i));
            break;
    }
}

std::uint32_t Dib::ColourOf(std::uint32_t raw) const {
    if (bitCount <= 8) return raw < colours.size() ? colours[raw] : 0;
    if (bitCount == 24) return raw;
    return (Component(raw, redMask) << 16) | (Component(raw, greenMask) << 8) | Component(raw, blueMask);
}

Dib MakeDib(int width, int height, int bitCount) {
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bitCount = bitCount;
    dib.stride = static_cast<int>(StrideFor(width, bitCount));
    dib.bits.assign(static_cast<std::size_t>(dib.stride) * height, 0);
    return dib;
}

bool ReadFile(const std::uint8_t* data, std::size_t size, Dib* out, std::string* error) {
    if (!data || size < kFileHeaderSize) return Fail(error, "the file is too short to be a bitmap");
    if (data[0] != 'B' || data[1] != 'M') return Fail(error, "not a BMP file");
    std::uint32_t pixelOffset = U32(data + 10);
    Layout l;
    if (!ParseHeader(data + kFileHeaderSize, size - kFileHeaderSize, false, &l, error)) return false;
    // Deeper bitmaps may carry a colour table too, but the file header says where their rows are.
    if (l.bitCount > 8) l.tableEntries = 0;
    std::size_t tableEnd;
    if (!TableEnd(l, size - kFileHeaderSize, &tableEnd, error)) return false;
    // The rows lie where the file header says, but never over the headers and colour table.
    if (pixelOffset < kFileHeaderSize + tableEnd)
        return Fail(error, "the pixel rows start inside the headers or colour table");
    std::size_t end;
    return Build(data + kFileHeaderSize, size - kFileHeaderSize, l, pixelOffset - kFileHeaderSize, out, &end,
                 error);
}

bool ReadPacked(const std::uint8_t* data, std::size_t size, Dib* out, std::string* error) {
    if (!data) return Fail(error, "no bitmap data");
    Layout l;
    std::size_t tableEnd, end;
    if (!ParseHeader(data, size, false, &l, error) || !TableEnd(l, size, &tableEnd, error)) return false;
    return Build(data, size, l, tableEnd, out, &end, error);
}

bool ReadIconImage(const std::uint8_t* data, std::size_t size, Dib* out, std::vector<std::uint8_t>* mask,
                   std::string* error) {
    if (!data) return Fail(error, "no icon data");
    Layout l;
    std::size_t tableEnd, end;
    Dib dib;
    if (!ParseHeader(data, size, true, &l, error) || !TableEnd(l, size, &tableEnd, error) ||
        !Build(data, size, l, tableEnd, &dib, &end, error))
        return false;
    mask->assign(static_cast<std::size_t>(dib.width) * dib.height, 0);
    std::int64_t maskStride = StrideFor(dib.width, 1);
    if (static_cast<std::int64_t>(size - end) >= maskStride * dib.height) {
        for (int y = 0; y < dib.height; ++y) {
            // Mask rows run in the same order as the colour rows.
            int stored = dib.topDown ? y : dib.height - 1 - y;
            const std::uint8_t* row = data + end + static_cast<std::size_t>(stored) * maskStride;
            for (int x = 0; x < dib.width; ++x)
                (*mask)[static_cast<std::size_t>(y) * dib.width + x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }
    *out = std::move(dib);
    return true;
}

Dib Scaled(const Dib& source, int width, int height) {
    Dib dib = MakeDib(width, height, source.bitCount);
    dib.redMask = source.redMask;
    dib.greenMask = source.greenMask;
    dib.blueMask = source.blueMask;
    dib.colours = source.colours;
    for (int y = 0; y < height; ++y) {
        int sy = static_cast<int>(static_cast<std::int64_t>(y) * source.height / height);
        for (int x = 0; x < width; ++x) {
            int sx = static_cast<int>(static_cast<std::int64_t>(x) * source.width / width);
            dib.SetRawAt(x, y, source.RawAt(sx, sy));
        }
    }
    return dib;
}

}  // namespace platform::bmp
