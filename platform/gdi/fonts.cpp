// Fonts for GDI text: fontconfig finds the file, FreeType sizes and rasterises it with mono
// hinting, and each face keeps the runs of its glyphs. See fonts.h.
#include "platform/gdi/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <map>
#include <tuple>

namespace platform::gdi {
namespace {

// The same load flags for measuring and drawing, so advances match what is drawn.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_MONO | FT_LOAD_RENDER;
constexpr int kDefaultCellHeight = 16;
// Larger cells would make single glyphs of hundreds of megabytes.
constexpr int kLargestHeight = 2048;

struct Library {
    FT_Library ft = nullptr;
    Library() { FT_Init_FreeType(&ft); }
    ~Library() { FT_Done_FreeType(ft); }
};

// Faces keep the library alive: they may outlive any static that would otherwise own it.
std::shared_ptr<Library> FreeTypeLibrary() {
    static std::shared_ptr<Library> library = std::make_shared<Library>();
    return library;
}

struct FontsState {
    FcConfig* config = nullptr;
    std::map<std::tuple<std::string, int, int>, std::weak_ptr<FontFace>> faces;
    long rasterised = 0;

    ~FontsState() {
        if (config) FcConfigDestroy(config);
    }
};

FontsState& Fonts() {
    static FontsState state;
    return state;
}

FcConfig* Config() {
    FontsState& s = Fonts();
    if (!s.config) s.config = FcInitLoadConfigAndFonts();
    return s.config;
}

long Round(long numerator, long denominator) {
    return (2 * numerator + denominator) / (2 * denominator);
}

std::shared_ptr<FontFace> LoadFace(const std::string& file, int index, int height) {
    std::shared_ptr<Library> library = FreeTypeLibrary();
    if (!library->ft) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library->ft, file.c_str(), index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }

    // Windows sizes a cell height from the OS/2 win metrics; FreeType's own size metrics differ.
    long units = face->units_per_EM;
    long winAscent = face->ascender;
    long winDescent = -face->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
    }
    long strikeOutUnits = units / 4;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->yStrikeoutPosition > 0) {
        strikeOutUnits = os2->yStrikeoutPosition;
    }
    if (winAscent + winDescent <= 0) {
        winAscent = units;
        winDescent = 0;
    }

    long ppem;
    if (height > 0) {
        ppem = Round(units * height, winAscent + winDescent);
        while (ppem > 1 && Round(winAscent * ppem, units) + Round(winDescent * ppem, units) > height) --ppem;
    } else {
        ppem = -height;
    }
    if (ppem < 1) ppem = 1;

    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto result = std::make_shared<FontFace>();
    result->library = std::move(library);
    result->face = face;
    result->file = file;
    result->ppem = static_cast<int>(ppem);
    result->ascent = static_cast<int>(Round(winAscent * ppem, units));
    result->descent = static_cast<int>(Round(winDescent * ppem, units));
    result->lineHeight = result->ascent + result->descent;
    result->strikeOutRise = static_cast<int>(Round(strikeOutUnits * ppem, units));
    return result;
}

std::shared_ptr<FontFace> SharedFace(const std::string& file, int index, int height) {
    FontsState& s = Fonts();
    auto key = std::make_tuple(file, index, height);
    if (auto found = s.faces[key].lock()) return found;
    std::shared_ptr<FontFace> face = LoadFace(file, index, height);
    if (face) s.faces[key] = face;
    return face;
}

// True when one of the matched font's family names is the face asked for or one of the
// substitutes the configuration binds strongly to it ("Arial" -> "Liberation Sans"). The weak
// entries after those are fontconfig's general fallbacks, which stand for "not installed".
bool MatchIsTheFace(FcPattern* request, FcPattern* match) {
    FcChar8* matched = nullptr;
    for (int m = 0; FcPatternGetString(match, FC_FAMILY, m, &matched) == FcResultMatch; ++m) {
        FcValue value;
        FcValueBinding binding;
        for (int r = 0; FcPatternGetWithBinding(request, FC_FAMILY, r, &value, &binding) == FcResultMatch;
             ++r) {
            if (binding == FcValueBindingWeak) break;
            if (value.type == FcTypeString && FcStrCmpIgnoreCase(value.u.s, matched) == 0) return true;
        }
    }
    return false;
}

std::shared_ptr<FontFace> Match(const char* family, int weight, bool italic, int height, bool anyFace) {
    FcConfig* config = Config();
    if (!config) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight == 0 ? 400 : weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    std::shared_ptr<FontFace> face;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcChar8* file = nullptr;
    int index = 0;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        (anyFace || MatchIsTheFace(pattern, match))) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        face = SharedFace(reinterpret_cast<const char*>(file), index, height);
    }
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return face;
}

// Windows-1252 bytes 0x80..0x9F; the rest of the set is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

FontFace::~FontFace() {
    if (face) FT_Done_Face(face);
}

const Glyph& FontFace::GlyphFor(std::uint8_t byte) {
    if (glyphs_[byte]) return *glyphs_[byte];
    auto glyph = std::make_unique<Glyph>();
    ++Fonts().rasterised;
    // Characters the face lacks (tabs, controls) come out as its missing-glyph box, index 0.
    FT_UInt index = FT_Get_Char_Index(face, Cp1252ToUnicode(byte));
    if (FT_Load_Glyph(face, index, kLoadFlags) == 0) {
        FT_GlyphSlot slot = face->glyph;
        glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (unsigned y = 0; y < bitmap.rows; ++y) {
                const unsigned char* row = bitmap.buffer + static_cast<long>(y) * bitmap.pitch;
                unsigned x = 0;
                while (x < bitmap.width) {
                    if (!(row[x >> 3] & (0x80 >> (x & 7)))) {
                        ++x;
                        continue;
                    }
                    unsigned start = x;
                    while (x < bitmap.width && (row[x >> 3] & (0x80 >> (x & 7)))) ++x;
                    glyph->runs.push_back(
                        GlyphRun{static_cast<std::int16_t>(static_cast<int>(y) - slot->bitmap_top),
                                 static_cast<std::int16_t>(slot->bitmap_left + static_cast<int>(start)),
                                 static_cast<std::int16_t>(x - start)});
                }
            }
        }
    }
    glyphs_[byte] = std::move(glyph);
    return *glyphs_[byte];
}

std::shared_ptr<FontFace> OpenFont(const FontRequest& request) {
    int height = request.height == 0 ? kDefaultCellHeight : request.height;
    if (height > kLargestHeight || height < -kLargestHeight) return nullptr;
    bool anyFace = request.faceName.empty();
    return Match(anyFace ? "sans-serif" : request.faceName.c_str(), request.weight, request.italic, height,
                 anyFace);
}

std::shared_ptr<FontFace> OpenDefaultFont() {
    return Match("sans-serif", 400, false, kDefaultCellHeight, true);
}

char32_t Cp1252ToUnicode(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

long GlyphsRasterised() {
    return Fonts().rasterised;
}

void ResetFonts() {
    FontsState& s = Fonts();
    s.faces.clear();
    if (s.config) FcConfigDestroy(s.config);
    s.config = nullptr;
}

}  // namespace platform::gdi
