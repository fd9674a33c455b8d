// DrawTextA: lays the text out in lines (line breaks, word wrap at spaces, the "&" prefix) and
// draws each glyph's pixel runs in one colour into the device context's surface, clipped to the
// surface, the clip region and (unless DT_NOCLIP) the rectangle. Called by the credits roll.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/gdi/colour.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/objects.h"
#include "platform/trace.h"

using namespace platform::gdi;

namespace {

struct Item {
    const Glyph* glyph;
    std::uint8_t byte;
    bool underline;
};

struct Line {
    std::size_t begin, end;  // items
    long long width;
};

// Reused between calls: a frame lays out the whole text again, and need not allocate for it.
struct Layout {
    std::vector<Item> items;
    std::vector<Line> lines;
};

bool IsBreak(std::uint8_t c) {
    return c == '\r' || c == '\n';
}

// Breaks items [begin, end) of one hard line into lines no wider than maxWidth where spaces
// allow: a line ends before a space that follows some other character, and that one space is
// dropped. A word wider than maxWidth stands alone on its line.
void WrapLine(Layout& layout, std::size_t begin, std::size_t end, bool wordBreak, long long maxWidth) {
    const std::vector<Item>& items = layout.items;
    std::size_t pos = begin;
    for (;;) {
        std::size_t chosenEnd = end;
        long long chosenWidth = 0;
        bool chosen = false;
        long long width = 0;
        bool ink = false;
        for (std::size_t i = pos;; ++i) {
            bool atEnd = i == end;
            bool space = !atEnd && items[i].byte == ' ';
            if (atEnd || (wordBreak && space && ink)) {
                if (width <= maxWidth || !chosen) {
                    chosenEnd = i;
                    chosenWidth = width;
                    chosen = true;
                }
                if (atEnd || width > maxWidth) break;
            }
            width += items[i].glyph->advance;
            if (!space) ink = true;
        }
        layout.lines.push_back(Line{pos, chosenEnd, chosenWidth});
        pos = chosenEnd + 1;
        if (chosenEnd >= end || pos >= end) return;
    }
}

void LayOut(Layout& layout, FontFace& face, bool underlineAll, const std::uint8_t* text, std::size_t n,
            UINT format, long long maxWidth) {
    layout.items.clear();
    layout.lines.clear();
    bool singleLine = format & DT_SINGLELINE;
    bool wordBreak = (format & DT_WORDBREAK) && !singleLine;
    bool prefix = !(format & DT_NOPREFIX);
    auto push = [&](std::uint8_t byte, bool underline) {
        layout.items.push_back(Item{&face.GlyphFor(byte), byte, underline || underlineAll});
    };

    std::size_t hardBegin = 0;
    bool endedWithBreak = false;
    for (std::size_t i = 0; i < n;) {
        std::uint8_t c = text[i];
        if (!singleLine && IsBreak(c)) {
            WrapLine(layout, hardBegin, layout.items.size(), wordBreak, maxWidth);
            hardBegin = layout.items.size();
            // CR LF and LF CR are one break; CR CR and LF LF are two.
            i += (i + 1 < n && IsBreak(text[i + 1]) && text[i + 1] != c) ? 2 : 1;
            endedWithBreak = true;
            continue;
        }
        endedWithBreak = false;
        if (prefix && c == '&' && i + 1 < n && !(IsBreak(text[i + 1]) && !singleLine)) {
            std::uint8_t next = text[i + 1];
            push(next, next != '&');
            i += 2;
            continue;
        }
        push(c, false);
        ++i;
    }
    if (!endedWithBreak) WrapLine(layout, hardBegin, layout.items.size(), wordBreak, maxWidth);
}

// Horizontal spans in one colour, clipped to a box.
struct Painter {
    const platform::SurfaceTarget* target;
    long long left, top, right, bottom;  // right and bottom exclusive
    std::uint8_t index = 0;
    std::uint32_t pixel = 0;

    void SetColour(COLORREF colour) {
        if (target->bitsPerPixel == 8) {
            index = NearestIndex(*target, colour);
        } else {
            pixel = PlaceInMask(GetRValue(colour), target->redMask) |
                    PlaceInMask(GetGValue(colour), target->greenMask) |
                    PlaceInMask(GetBValue(colour), target->blueMask);
        }
    }

    void Span(long long row, long long x0, long long x1) const {
        if (row < top || row >= bottom) return;
        x0 = std::max(x0, left);
        x1 = std::min(x1, right);
        if (x0 >= x1) return;
        std::uint8_t* line = target->pixels + static_cast<std::ptrdiff_t>(row) * target->pitch;
        if (target->bitsPerPixel == 8) {
            std::memset(line + x0, index, static_cast<std::size_t>(x1 - x0));
        } else {
            auto* out = reinterpret_cast<std::uint32_t*>(line);
            std::fill(out + x0, out + x1, pixel);
        }
    }
};

long long Clamp32(long long v) {
    return std::clamp<long long>(v, INT32_MIN, INT32_MAX);
}

}  // namespace

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format) {
    if (platform::TracingOn()) {
        char line[64];
        std::snprintf(line, sizeof line, "DrawTextA %d 0x%x", count, format);
        platform::Trace(line);
    }
    DeviceContextObject* context = FindDC(dc);
    if (!context || !rect || (!text && count != 0) || count < -1) return 0;
    std::size_t n = count == -1 ? std::strlen(text) : static_cast<std::size_t>(count);
    FontFace* face = FaceToDraw(context->font);
    if (!face) return 0;

    static Layout layout;
    long long maxWidth = static_cast<long long>(rect->right) - rect->left;
    LayOut(layout, *face, context->font->underline, reinterpret_cast<const std::uint8_t*>(text), n, format,
           maxWidth);

    const long long lineHeight = face->lineHeight;
    long long firstTop = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) {
        firstTop = (static_cast<long long>(rect->top) + rect->bottom - lineHeight) / 2;
    } else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) {
        firstTop = rect->bottom - lineHeight;
    }
    long long height = firstTop - rect->top + static_cast<long long>(layout.lines.size()) * lineHeight;

    if (format & DT_CALCRECT) {
        long long widest = 0;
        for (const Line& l : layout.lines) widest = std::max(widest, l.width);
        rect->right = static_cast<LONG>(Clamp32(rect->left + widest));
        rect->bottom = static_cast<LONG>(Clamp32(rect->top + height));
        return static_cast<int>(Clamp32(height));
    }

    const platform::SurfaceTarget& target = context->target;
    Painter painter{&target, 0, 0, target.width, target.height};
    if (context->hasClip) {
        painter.left = std::max<long long>(painter.left, context->clip.left);
        painter.top = std::max<long long>(painter.top, context->clip.top);
        painter.right = std::min<long long>(painter.right, context->clip.right);
        painter.bottom = std::min<long long>(painter.bottom, context->clip.bottom);
    }
    if (!(format & DT_NOCLIP)) {
        painter.left = std::max<long long>(painter.left, rect->left);
        painter.top = std::max<long long>(painter.top, rect->top);
        painter.right = std::min<long long>(painter.right, rect->right);
        painter.bottom = std::min<long long>(painter.bottom, rect->bottom);
    }
    if (painter.left >= painter.right || painter.top >= painter.bottom)
        return static_cast<int>(Clamp32(height));

    bool opaque = context->bkMode == OPAQUE;
    std::uint8_t bkIndex = 0;
    std::uint32_t bkPixel = 0;
    if (opaque) {
        painter.SetColour(context->bkColor);
        bkIndex = painter.index;
        bkPixel = painter.pixel;
    }
    painter.SetColour(context->textColor);

    // A glyph may reach a little beyond its line's box or its advance, so the skipping of lines
    // and glyphs outside the clip box allows one em.
    const long long reach = face->ppem;
    for (std::size_t k = 0; k < layout.lines.size(); ++k) {
        const Line& line = layout.lines[k];
        long long lineTop = firstTop + static_cast<long long>(k) * lineHeight;
        if (lineTop + lineHeight + reach <= painter.top || lineTop - reach >= painter.bottom) continue;
        long long x;
        if (format & DT_CENTER) {
            x = (static_cast<long long>(rect->left) + rect->right - line.width) / 2;
        } else if (format & DT_RIGHT) {
            x = rect->right - line.width;
        } else {
            x = rect->left;
        }
        if (opaque) {
            Painter background = painter;
            background.index = bkIndex;
            background.pixel = bkPixel;
            for (long long row = lineTop; row < lineTop + lineHeight; ++row)
                background.Span(row, x, x + line.width);
        }
        long long baseline = lineTop + face->ascent;
        for (std::size_t i = line.begin; i < line.end && x - reach < painter.right; ++i) {
            const Item& item = layout.items[i];
            const Glyph& glyph = *item.glyph;
            if (x + glyph.advance + reach > painter.left) {
                for (const GlyphRun& run : glyph.runs)
                    painter.Span(baseline + run.row, x + run.x, x + run.x + run.length);
                if (item.underline) painter.Span(baseline + 1, x, x + glyph.advance);
                if (context->font->strikeOut)
                    painter.Span(baseline - face->strikeOutRise, x, x + glyph.advance);
            }
            x += glyph.advance;
        }
    }
    return static_cast<int>(Clamp32(height));
}
