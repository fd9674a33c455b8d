// GDI bitmaps and memory device contexts: CreateCompatibleDC, DeleteDC, bitmap selection,
// GetObjectA, StretchBlt, GetPixel and SetPixel, over surface targets (device contexts from a
// surface's GetDC) and bitmaps selected into memory device contexts alike.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gdi/colour.h"
#include "platform/gdi/objects.h"
#include "platform/trace.h"

using namespace platform::gdi;

namespace {

struct BitmapState {
    BitmapObject* defaultBitmap = nullptr;

    BitmapState() {
        platform::RegisterResetHook("gdi-bitmaps", [this] { defaultBitmap = nullptr; });
    }
};

BitmapState& State() {
    static BitmapState state;
    return state;
}

// The 1 × 1 monochrome bitmap every memory device context starts with.
BitmapObject* DefaultBitmap() {
    BitmapState& s = State();
    if (!s.defaultBitmap) {
        auto bitmap = std::make_unique<BitmapObject>();
        bitmap->dib = platform::bmp::MakeDib(1, 1, 1);
        bitmap->dib.colours = {0x000000, 0xFFFFFF};
        bitmap->stock = true;
        s.defaultBitmap = static_cast<BitmapObject*>(Register(std::move(bitmap)));
    }
    return s.defaultBitmap;
}

void TraceCall(const char* format, auto... args) {
    if (!platform::TracingOn()) return;
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    platform::Trace(line);
}

// What a device context draws on: a surface's pixels or a memory device context's bitmap. Pixels
// are handled as stored values (palette index or packed pixel) and converted through colours.
class Canvas {
  public:
    explicit Canvas(DeviceContextObject& dc) {
        if (dc.bitmap) {
            dib_ = &dc.bitmap->dib;
            width_ = dib_->width;
            height_ = dib_->height;
        } else {
            target_ = &dc.target;
            width_ = target_->width;
            height_ = target_->height;
            if (target_->bitsPerPixel == 8) TargetColours(*target_, colours_);
        }
        left_ = 0, top_ = 0, right_ = width_, bottom_ = height_;
        if (dc.hasClip) {
            left_ = std::max<long long>(left_, dc.clip.left);
            top_ = std::max<long long>(top_, dc.clip.top);
            right_ = std::min<long long>(right_, dc.clip.right);
            bottom_ = std::min<long long>(bottom_, dc.clip.bottom);
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }
    bool Inside(long long x, long long y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    bool Visible(long long x, long long y) const {
        return x >= left_ && y >= top_ && x < right_ && y < bottom_;
    }
    long long left() const { return left_; }
    long long top() const { return top_; }
    long long right() const { return right_; }
    long long bottom() const { return bottom_; }

    // Stored values below 256 that name palette entries, so a copy can convert each once.
    bool Indexed() const { return dib_ ? dib_->bitCount <= 8 : target_->bitsPerPixel == 8; }

    std::uint32_t RawAt(int x, int y) const {
        if (dib_) return dib_->RawAt(x, y);
        const std::uint8_t* row = target_->pixels + static_cast<std::ptrdiff_t>(y) * target_->pitch;
        if (target_->bitsPerPixel == 8) return row[x];
        std::uint32_t value;
        std::memcpy(&value, row + 4 * x, 4);
        return value;
    }

    void SetRawAt(int x, int y, std::uint32_t raw) {
        if (dib_) return dib_->SetRawAt(x, y, raw);
        std::uint8_t* row = target_->pixels + static_cast<std::ptrdiff_t>(y) * target_->pitch;
        if (target_->bitsPerPixel == 8)
            row[x] = static_cast<std::uint8_t>(raw);
        else
            std::memcpy(row + 4 * x, &raw, 4);
    }

    // The colour a stored value shows, as a COLORREF.
    COLORREF ColourOf(std::uint32_t raw) const {
        std::uint32_t rgb;
        if (dib_) {
            rgb = dib_->ColourOf(raw);
        } else if (target_->bitsPerPixel == 8) {
            rgb = colours_[raw & 0xFF];
        } else {
            return RGB(static_cast<BYTE>(ComponentInMask(raw, target_->redMask)),
                       static_cast<BYTE>(ComponentInMask(raw, target_->greenMask)),
                       static_cast<BYTE>(ComponentInMask(raw, target_->blueMask)));
        }
        return RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
    }

    // The stored value that shows a colour best.
    std::uint32_t RawFor(COLORREF colour) const {
        if (!dib_ && target_->bitsPerPixel == 8) return NearestIndex(colours_, 256, colour);
        if (!dib_ || dib_->bitCount > 8) {
            std::uint32_t r = dib_ ? dib_->redMask : target_->redMask;
            std::uint32_t g = dib_ ? dib_->greenMask : target_->greenMask;
            std::uint32_t b = dib_ ? dib_->blueMask : target_->blueMask;
            if (dib_ && dib_->bitCount == 24) r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
            return PlaceInMask(GetRValue(colour), r) | PlaceInMask(GetGValue(colour), g) |
                   PlaceInMask(GetBValue(colour), b);
        }
        if (dib_->colours.empty()) return 0;
        return NearestIndex(dib_->colours.data(), static_cast<int>(dib_->colours.size()), colour);
    }

  private:
    const platform::SurfaceTarget* target_ = nullptr;
    platform::bmp::Dib* dib_ = nullptr;
    std::uint32_t colours_[256] = {};
    int width_ = 0, height_ = 0;
    long long left_, top_, right_, bottom_;
};

// Converts source values into destination values, each distinct colour once.
class Converter {
  public:
    Converter(const Canvas& from, const Canvas& to) : from_(from), to_(to) {}

    std::uint32_t operator()(std::uint32_t raw) {
        if (from_.Indexed() && raw < 256) {
            if (!known_[raw]) {
                table_[raw] = to_.RawFor(from_.ColourOf(raw));
                known_[raw] = true;
            }
            return table_[raw];
        }
        COLORREF colour = from_.ColourOf(raw);
        auto it = cache_.find(colour);
        if (it != cache_.end()) return it->second;
        return cache_[colour] = to_.RawFor(colour);
    }

  private:
    const Canvas& from_;
    const Canvas& to_;
    std::uint32_t table_[256] = {};
    bool known_[256] = {};
    std::unordered_map<COLORREF, std::uint32_t> cache_;
};

}  // namespace

HGDIOBJ platform::gdi::SelectBitmap(DeviceContextObject* dc, BitmapObject* bitmap) {
    if (!dc->bitmap) return nullptr;  // surfaces' device contexts draw on the surface only
    if (bitmap == dc->bitmap) return bitmap;
    if (bitmap->selectedInto && !bitmap->stock) return nullptr;
    BitmapObject* previous = dc->bitmap;
    ++bitmap->selections;
    bitmap->selectedInto = bitmap->stock ? nullptr : dc;
    dc->bitmap = bitmap;
    previous->selectedInto = nullptr;
    Deselect(previous);
    return previous;
}

HDC CreateCompatibleDC(HDC dc) {
    platform::Trace("CreateCompatibleDC");
    EnsureResetHook();
    HRESULT ignored;
    if (platform::InjectedFailure("CreateCompatibleDC", &ignored)) return nullptr;
    if (dc && !FindDC(dc)) return nullptr;
    auto memory = std::make_unique<DeviceContextObject>();
    memory->bitmap = DefaultBitmap();
    ++memory->bitmap->selections;
    return AddDC(std::move(memory));
}

BOOL DeleteDC(HDC dc) {
    platform::Trace("DeleteDC");
    DeviceContextObject* context = FindDC(dc);
    if (!context || !context->bitmap) return FALSE;
    RemoveDC(context);
    return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID out) {
    TraceCall("GetObjectA %d", size);
    auto* bitmap = static_cast<BitmapObject*>(Find(object, GdiObject::Kind::Bitmap));
    if (!bitmap) return 0;
    constexpr int kSize = static_cast<int>(sizeof(BITMAP));
    if (!out) return kSize;
    if (size < kSize) return 0;
    platform::bmp::Dib& dib = bitmap->dib;
    BITMAP record{};
    record.bmType = 0;
    record.bmWidth = dib.width;
    record.bmHeight = dib.height;
    record.bmWidthBytes = dib.stride;
    record.bmPlanes = 1;
    record.bmBitsPixel = static_cast<WORD>(dib.bitCount);
    record.bmBits = dib.bits.data();
    std::memcpy(out, &record, sizeof record);
    return kSize;
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
    TraceCall("StretchBlt %d %d %d %d <- %d %d %d %d 0x%08x", x, y, width, height, sourceX, sourceY,
              sourceWidth, sourceHeight, rop);
    DeviceContextObject* to = FindDC(dest);
    DeviceContextObject* from = FindDC(source);
    if (!to || !from || rop != SRCCOPY || sourceWidth == 0 || sourceHeight == 0) return FALSE;
    if (width == 0 || height == 0) return TRUE;

    // A copy within one device context reads from a snapshot, so overlapping rectangles work.
    DeviceContextObject snapshotDC;
    BitmapObject snapshotBitmap;
    std::vector<std::uint8_t> snapshotPixels;
    if (to == from) {
        snapshotDC = *from;
        if (from->bitmap) {
            snapshotBitmap.dib = from->bitmap->dib;
            snapshotDC.bitmap = &snapshotBitmap;
        } else {
            const platform::SurfaceTarget& t = from->target;
            snapshotPixels.assign(t.pixels, t.pixels + static_cast<std::size_t>(t.pitch) * t.height);
            snapshotDC.target.pixels = snapshotPixels.data();
        }
        from = &snapshotDC;
    }
    Canvas target(*to), origin(*from);
    Converter convert(origin, target);

    // Rectangles given from their far edge (negative sizes) mirror the copy.
    const long long destLeft = std::min<long long>(x, static_cast<long long>(x) + width);
    const long long destTop = std::min<long long>(y, static_cast<long long>(y) + height);
    const long long destWidth = std::abs(static_cast<long long>(width));
    const long long destHeight = std::abs(static_cast<long long>(height));
    const long long srcLeft = std::min<long long>(sourceX, static_cast<long long>(sourceX) + sourceWidth);
    const long long srcTop = std::min<long long>(sourceY, static_cast<long long>(sourceY) + sourceHeight);
    const long long srcWidth = std::abs(static_cast<long long>(sourceWidth));
    const long long srcHeight = std::abs(static_cast<long long>(sourceHeight));
    const bool mirrorX = (width < 0) != (sourceWidth < 0);
    const bool mirrorY = (height < 0) != (sourceHeight < 0);

    const long long x0 = std::max(destLeft, target.left()),
                    x1 = std::min(destLeft + destWidth, target.right());
    const long long y0 = std::max(destTop, target.top()),
                    y1 = std::min(destTop + destHeight, target.bottom());
    for (long long dy = y0; dy < y1; ++dy) {
        long long i = dy - destTop;
        if (mirrorY) i = destHeight - 1 - i;
        long long sy = srcTop + i * srcHeight / destHeight;
        if (sy < 0 || sy >= origin.height()) continue;
        for (long long dx = x0; dx < x1; ++dx) {
            long long j = dx - destLeft;
            if (mirrorX) j = destWidth - 1 - j;
            long long sx = srcLeft + j * srcWidth / destWidth;
            if (sx < 0 || sx >= origin.width()) continue;
            target.SetRawAt(static_cast<int>(dx), static_cast<int>(dy),
                            convert(origin.RawAt(static_cast<int>(sx), static_cast<int>(sy))));
        }
    }
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    TraceCall("GetPixel %d %d", x, y);
    DeviceContextObject* context = FindDC(dc);
    if (!context) return CLR_INVALID;
    Canvas canvas(*context);
    if (!canvas.Inside(x, y) || !canvas.Visible(x, y)) return CLR_INVALID;
    return canvas.ColourOf(canvas.RawAt(x, y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    TraceCall("SetPixel %d %d 0x%06x", x, y, colour);
    DeviceContextObject* context = FindDC(dc);
    if (!context) return CLR_INVALID;
    Canvas canvas(*context);
    if (!canvas.Inside(x, y) || !canvas.Visible(x, y)) return CLR_INVALID;
    std::uint32_t raw = canvas.RawFor(colour & 0x00FFFFFFu);
    canvas.SetRawAt(x, y, raw);
    return canvas.ColourOf(raw);
}
