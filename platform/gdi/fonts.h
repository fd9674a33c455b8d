// Fonts for GDI text: finding a face through fontconfig, sizing it the way a Windows cell height
// is meant, and rasterising each Windows-1252 character once, unsmoothed, into pixel runs.
// Used by CreateFontA and DrawTextA (platform/gdi); tests read the rasterisation count.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FT_FaceRec_;

namespace platform::gdi {

// One horizontal run of set pixels: `row` relative to the baseline (negative above it), `x`
// relative to the pen position.
struct GlyphRun {
    std::int16_t row;
    std::int16_t x;
    std::int16_t length;
};

struct Glyph {
    int advance = 0;  // whole pixels, as hinted
    std::vector<GlyphRun> runs;
};

// One face at one pixel size, with its glyphs for the 256 byte values.
struct FontFace {
    FontFace() = default;
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    ~FontFace();

    // Rasterised on first use, kept for the face's life.
    const Glyph& GlyphFor(std::uint8_t byte);

    // Keeps FreeType alive until this face is done with it.
    std::shared_ptr<void> library;
    FT_FaceRec_* face = nullptr;
    std::string file;
    int ppem = 0;
    int ascent = 0;
    int descent = 0;
    int lineHeight = 0;     // ascent + descent
    int strikeOutRise = 0;  // rows above the baseline

  private:
    std::array<std::unique_ptr<Glyph>, 256> glyphs_;
};

struct FontRequest {
    int height = 0;  // as CreateFontA takes it
    int weight = 0;
    bool italic = false;
    std::string faceName;
};

// The face for a request, shared with earlier requests for the same file and size. Null when
// the named face (or a metric-compatible substitute that fontconfig names for it) is not
// installed, or its file cannot be opened.
std::shared_ptr<FontFace> OpenFont(const FontRequest& request);
// fontconfig's default sans-serif face at a 16-pixel cell; null when no font file exists at all.
std::shared_ptr<FontFace> OpenDefaultFont();

// The Unicode code point a Windows-1252 byte stands for (the five undefined bytes map to the C1
// controls of the same value).
char32_t Cp1252ToUnicode(std::uint8_t byte);

// Glyphs rasterised since start-up (tests check that drawing again rasterises nothing).
long GlyphsRasterised();

// Forgets the fontconfig configuration and the shared faces (the reset hook calls this).
void ResetFonts();

}  // namespace platform::gdi
