// The emulated DirectDraw: a display object holding the screen at an 8-bit mode, surfaces of
// palette indices in memory (a primary with its back buffer, or off-screen plain ones), and
// 256-entry palettes. Flip and writes to the primary's palette put the picture on the backend's
// screen at once; losing the focus in exclusive mode loses every surface.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/ddraw.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/ddraw/screenshot.h"
#include "platform/surface_target.h"
#include "platform/trace.h"
#include "platform/user/user_internal.h"

namespace {

class DirectDrawImpl;
class SurfaceImpl;
class PaletteImpl;

// Every live object, so that focus loss can reach the surfaces and tests can reset.
struct DisplayRegistry {
    std::vector<DirectDrawImpl*> displays;
    std::vector<SurfaceImpl*> surfaces;
    DirectDrawImpl* exclusiveOwner = nullptr;
};

DisplayRegistry& Registry();

bool Fails(const std::string& call, const char* role, HRESULT* result) {
    if (platform::InjectedFailure((call + " " + role).c_str(), result)) return true;
    return platform::InjectedFailure(call.c_str(), result);
}

class PaletteImpl final : public IDirectDrawPalette {
public:
    // Every entry can be set in exclusive full-screen mode, so the capability flags change nothing here.
    explicit PaletteImpl(const PALETTEENTRY* entries) {
        std::memcpy(entries_, entries, sizeof entries_);
    }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        platform::Trace("IDirectDrawPalette::Release");
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetEntries(DWORD, DWORD first, DWORD count, PALETTEENTRY* out) override {
        if (!out || first > 255 || count > 256 - first) return DDERR_INVALIDPARAMS;
        std::memcpy(out, entries_ + first, count * sizeof(PALETTEENTRY));
        return DD_OK;
    }

    HRESULT SetEntries(DWORD, DWORD first, DWORD count, const PALETTEENTRY* entries) override;

    const PALETTEENTRY* Entries() const { return entries_; }
    void Colours(std::uint32_t* out) const {
        for (int i = 0; i < 256; ++i) {
            out[i] = (static_cast<std::uint32_t>(entries_[i].peRed) << 16) |
                     (static_cast<std::uint32_t>(entries_[i].peGreen) << 8) | entries_[i].peBlue;
        }
    }
    int attachedToPrimary = 0;

private:
    ~PaletteImpl() override = default;
    ULONG refs_ = 1;
    PALETTEENTRY entries_[256];
};

enum class Role { Primary, Back, Offscreen };

const char* RoleName(Role role) {
    switch (role) {
        case Role::Primary:
            return "primary";
        case Role::Back:
            return "back";
        default:
            return "offscreen";
    }
}

class SurfaceImpl final : public IDirectDrawSurface {
public:
    SurfaceImpl(DirectDrawImpl* owner, Role role, int width, int height, int bits, DWORD caps)
        : owner_(owner), role_(role), width_(width), height_(height), bits_(bits), caps_(caps) {
        int padding = platform::ActiveBackend().SurfacePitchPadding();
        pitch_ = width * (bits / 8) + padding;
        memory_ = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(pitch_) * height);
        Registry().surfaces.push_back(this);
    }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        platform::Trace(std::string("IDirectDrawSurface::Release ") + RoleName(role_));
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out) override {
        platform::Trace("IDirectDrawSurface::GetAttachedSurface");
        HRESULT hr;
        if (Fails("IDirectDrawSurface::GetAttachedSurface", RoleName(role_), &hr)) return hr;
        if (!caps || !out) return DDERR_INVALIDPARAMS;
        if (!(caps->dwCaps & DDSCAPS_BACKBUFFER) || !attached_) return DDERR_NOTFOUND;
        attached_->AddRef();
        *out = attached_;
        return DD_OK;
    }

    HRESULT SetPalette(IDirectDrawPalette* palette) override;

    HRESULT GetPalette(IDirectDrawPalette** out) override {
        platform::Trace(std::string("IDirectDrawSurface::GetPalette ") + RoleName(role_));
        HRESULT hr;
        if (Fails("IDirectDrawSurface::GetPalette", RoleName(role_), &hr)) return hr;
        if (!out) return DDERR_INVALIDPARAMS;
        if (!palette_) return DDERR_NOPALETTEATTACHED;
        palette_->AddRef();
        *out = palette_;
        return DD_OK;
    }

    HRESULT IsLost() override {
        platform::Trace(std::string("IDirectDrawSurface::IsLost ") + RoleName(role_));
        HRESULT hr;
        if (Fails("IDirectDrawSurface::IsLost", RoleName(role_), &hr)) return hr;
        return lost() ? DDERR_SURFACELOST : DD_OK;
    }

    HRESULT Restore() override {
        platform::Trace(std::string("IDirectDrawSurface::Restore ") + RoleName(role_));
        HRESULT hr;
        if (Fails("IDirectDrawSurface::Restore", RoleName(role_), &hr)) return hr;
        if (lost_) {
            std::fill(memory_->begin(), memory_->end(), 0);
            lost_ = false;
        }
        return DD_OK;
    }

    HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE) override {
        platform::Trace(std::string("IDirectDrawSurface::Lock ") + RoleName(role_) + " " + std::to_string(flags));
        HRESULT hr;
        if (Fails("IDirectDrawSurface::Lock", RoleName(role_), &hr)) return hr;
        if (!desc || desc->dwSize != kSurfaceDescSize) return DDERR_INVALIDPARAMS;
        if (lost_ || orphaned_) return DDERR_SURFACELOST;
        if (locked_ || dcOut_) return DDERR_SURFACEBUSY;
        std::size_t offset = 0;
        if (rect) {
            if (rect->left < 0 || rect->top < 0 || rect->right > width_ || rect->bottom > height_ ||
                rect->left >= rect->right || rect->top >= rect->bottom)
                return DDERR_INVALIDPARAMS;
            offset = static_cast<std::size_t>(rect->top) * pitch_ + rect->left * (bits_ / 8);
        }
        Describe(desc);
        desc->lpSurface = memory_->data() + offset;
        locked_ = true;
        return DD_OK;
    }

    HRESULT Unlock(LPVOID) override {
        platform::Trace(std::string("IDirectDrawSurface::Unlock ") + RoleName(role_));
        if (!locked_) return DDERR_NOTLOCKED;
        locked_ = false;
        return DD_OK;
    }

    HRESULT GetDC(HDC* out) override;

    HRESULT ReleaseDC(HDC dc) override {
        platform::Trace(std::string("IDirectDrawSurface::ReleaseDC ") + RoleName(role_));
        if (!dcOut_ || dc != dc_) return DDERR_INVALIDPARAMS;
        platform::DestroySurfaceDC(dc_);
        dc_ = nullptr;
        dcOut_ = false;
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override;

    HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override {
        if (!desc || desc->dwSize != kSurfaceDescSize) return DDERR_INVALIDPARAMS;
        Describe(desc);
        return DD_OK;
    }

    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override {
        platform::Trace(std::string("IDirectDrawSurface::SetColorKey ") + RoleName(role_));
        HRESULT hr;
        if (Fails("IDirectDrawSurface::SetColorKey", RoleName(role_), &hr)) return hr;
        if (!key || !(flags & DDCKEY_SRCBLT)) return DDERR_INVALIDPARAMS;
        colorKey_ = *key;
        hasColorKey_ = true;
        return DD_OK;
    }

    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override {
        if (!key || !(flags & DDCKEY_SRCBLT)) return DDERR_INVALIDPARAMS;
        if (!hasColorKey_) return DDERR_NOTFOUND;
        *key = colorKey_;
        return DD_OK;
    }

    void MarkLost() { lost_ = true; }
    void Orphan() { orphaned_ = true; }
    Role role() const { return role_; }
    DirectDrawImpl* owner() const { return owner_; }
    void Attach(SurfaceImpl* back) { attached_ = back; }
    PaletteImpl* palette() const { return palette_; }
    const std::uint8_t* Pixels() const { return memory_->data(); }
    int pitch() const { return pitch_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void SwapMemory(SurfaceImpl* other) { std::swap(memory_, other->memory_); }
    bool locked() const { return locked_ || dcOut_; }
    bool lost() const { return lost_ || orphaned_; }
    bool shown = false;

private:
    ~SurfaceImpl() override;

    void Describe(DDSURFACEDESC* desc) const {
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = kSurfaceDescSize;
        desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc->dwWidth = width_;
        desc->dwHeight = height_;
        desc->lPitch = pitch_;
        desc->ddsCaps.dwCaps = caps_;
        desc->ddpfPixelFormat.dwSize = 32;
        desc->ddpfPixelFormat.dwRGBBitCount = bits_;
        if (bits_ == 8) {
            desc->ddpfPixelFormat.dwFlags = DDPF_PALETTEINDEXED8 | DDPF_RGB;
        } else {
            desc->ddpfPixelFormat.dwFlags = DDPF_RGB;
            desc->ddpfPixelFormat.dwRBitMask = 0x00FF0000;
            desc->ddpfPixelFormat.dwGBitMask = 0x0000FF00;
            desc->ddpfPixelFormat.dwBBitMask = 0x000000FF;
        }
    }

    ULONG refs_ = 1;
    DirectDrawImpl* owner_;
    Role role_;
    int width_, height_, bits_;
    DWORD caps_;
    int pitch_ = 0;
    std::shared_ptr<std::vector<std::uint8_t>> memory_;
    SurfaceImpl* attached_ = nullptr;  // the primary holds one reference to its back buffer
    PaletteImpl* palette_ = nullptr;
    bool lost_ = false;
    bool orphaned_ = false;  // its display object is gone
    bool locked_ = false;
    bool dcOut_ = false;
    HDC dc_ = nullptr;
    DDCOLORKEY colorKey_{};
    bool hasColorKey_ = false;
};

class DirectDrawImpl final : public IDirectDraw {
public:
    DirectDrawImpl() { Registry().displays.push_back(this); }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        platform::Trace("IDirectDraw::Release");
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        platform::Trace("IDirectDraw::SetCooperativeLevel " + std::to_string(flags));
        HRESULT hr;
        if (platform::InjectedFailure("IDirectDraw::SetCooperativeLevel", &hr)) return hr;
        bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        if (exclusive && !(flags & DDSCL_FULLSCREEN)) return DDERR_INVALIDPARAMS;
        if (exclusive && !platform::IsLiveWindow(window)) return DDERR_INVALIDPARAMS;
        DisplayRegistry& r = Registry();
        if (exclusive && r.exclusiveOwner && r.exclusiveOwner != this) return DDERR_NOEXCLUSIVEMODE;
        window_ = window;
        exclusive_ = exclusive;
        if (exclusive) r.exclusiveOwner = this;
        else if (r.exclusiveOwner == this) r.exclusiveOwner = nullptr;
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override {
        platform::Trace("IDirectDraw::SetDisplayMode " + std::to_string(width) + "x" + std::to_string(height) +
                        "x" + std::to_string(bitsPerPixel));
        HRESULT hr;
        if (platform::InjectedFailure("IDirectDraw::SetDisplayMode", &hr)) return hr;
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
        if (bitsPerPixel != 8 || width == 0 || height == 0 || width > 4096 || height > 4096)
            return DDERR_INVALIDMODE;
        modeWidth_ = static_cast<int>(width);
        modeHeight_ = static_cast<int>(height);
        platform::ActiveBackend().SetDisplayMode(modeWidth_, modeHeight_);
        return DD_OK;
    }

    HRESULT RestoreDisplayMode() override {
        if (modeWidth_) platform::ActiveBackend().SetDisplayMode(0, 0);
        modeWidth_ = modeHeight_ = 0;
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, void* outer) override {
        DWORD caps = desc ? desc->ddsCaps.dwCaps : 0;
        platform::Trace("IDirectDraw::CreateSurface " + std::to_string(caps));
        HRESULT hr;
        if (platform::InjectedFailure("IDirectDraw::CreateSurface", &hr)) return hr;
        if (!desc || !out || outer || desc->dwSize != kSurfaceDescSize || !(desc->dwFlags & DDSD_CAPS))
            return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (primary_) return DDERR_INVALIDPARAMS;  // one primary surface per display object
            int width = modeWidth_ ? modeWidth_ : 640;
            int height = modeHeight_ ? modeHeight_ : 480;
            auto* primary = new SurfaceImpl(this, Role::Primary, width, height, 8,
                                            caps | DDSCAPS_FRONTBUFFER);
            if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) && desc->dwBackBufferCount >= 1 &&
                (caps & DDSCAPS_FLIP)) {
                DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
                primary->Attach(new SurfaceImpl(this, Role::Back, width, height, 8, backCaps));
            }
            primary_ = primary;
            *out = primary;
            return DD_OK;
        }
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384)
            return DDERR_INVALIDPARAMS;
        int bits = 8;  // plain surfaces take the display's format unless a format is asked for
        if (desc->dwFlags & DDSD_PIXELFORMAT) {
            bits = static_cast<int>(desc->ddpfPixelFormat.dwRGBBitCount);
            if (bits != 8 && bits != 32) return DDERR_INVALIDPARAMS;
        }
        *out = new SurfaceImpl(this, Role::Offscreen, static_cast<int>(desc->dwWidth),
                               static_cast<int>(desc->dwHeight), bits, caps);
        return DD_OK;
    }

    HRESULT CreatePalette(DWORD flags, const PALETTEENTRY* entries, IDirectDrawPalette** out, void* outer) override {
        platform::Trace("IDirectDraw::CreatePalette " + std::to_string(flags));
        HRESULT hr;
        if (platform::InjectedFailure("IDirectDraw::CreatePalette", &hr)) return hr;
        if (!entries || !out || outer || !(flags & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;
        *out = new PaletteImpl(entries);
        return DD_OK;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
        platform::Trace("IDirectDraw::WaitForVerticalBlank");
        if (!(flags & DDWAITVB_BLOCKBEGIN)) return DDERR_INVALIDPARAMS;
        platform::ActiveBackend().WaitVerticalBlank();
        return DD_OK;
    }

    void ForgetPrimary(SurfaceImpl* s) {
        if (primary_ == s) primary_ = nullptr;
    }
    SurfaceImpl* primary() const { return primary_; }
    bool exclusive() const { return exclusive_; }

    // Shows the primary surface through the palette attached to it.
    void PresentPrimary(bool flipped = false) {
        // A primary that was never flipped holds no picture yet; the first flip shows it.
        if (!primary_ || primary_->lost() || !primary_->shown) return;
        std::uint32_t colours[256] = {};
        if (primary_->palette()) primary_->palette()->Colours(colours);
        platform::PictureView view{primary_->Pixels(), primary_->pitch(), primary_->width(), primary_->height(),
                                   colours};
        platform::ActiveBackend().Present(view);
        if (flipped) {
            platform::NoteFlipTime();
            platform::NoteFlipForScreenshot(view);
        }
    }

private:
    ~DirectDrawImpl() override {
        DisplayRegistry& r = Registry();
        for (SurfaceImpl* s : r.surfaces) {
            if (s->owner() == this) s->Orphan();
        }
        if (r.exclusiveOwner == this) r.exclusiveOwner = nullptr;
        RestoreDisplayMode();
        r.displays.erase(std::remove(r.displays.begin(), r.displays.end(), this), r.displays.end());
    }

    ULONG refs_ = 1;
    HWND window_ = nullptr;
    bool exclusive_ = false;
    int modeWidth_ = 0, modeHeight_ = 0;
    SurfaceImpl* primary_ = nullptr;
};

DirectDrawImpl* OwnerIfLive(SurfaceImpl* s) {
    for (DirectDrawImpl* d : Registry().displays) {
        if (d == s->owner()) return d;
    }
    return nullptr;
}

SurfaceImpl::~SurfaceImpl() {
    if (dcOut_) platform::DestroySurfaceDC(dc_);
    if (attached_) attached_->Release();
    if (palette_) {
        if (role_ == Role::Primary) --palette_->attachedToPrimary;
        palette_->Release();
    }
    if (role_ == Role::Primary) {
        if (DirectDrawImpl* d = OwnerIfLive(this)) d->ForgetPrimary(this);
    }
    auto& list = Registry().surfaces;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

HRESULT SurfaceImpl::SetPalette(IDirectDrawPalette* palette) {
    platform::Trace(std::string("IDirectDrawSurface::SetPalette ") + RoleName(role_));
    HRESULT hr;
    if (Fails("IDirectDrawSurface::SetPalette", RoleName(role_), &hr)) return hr;
    if (lost()) return DDERR_SURFACELOST;
    auto* next = static_cast<PaletteImpl*>(palette);
    if (next) next->AddRef();
    if (palette_) {
        if (role_ == Role::Primary) --palette_->attachedToPrimary;
        palette_->Release();
    }
    palette_ = next;
    if (role_ == Role::Primary) {
        if (palette_) ++palette_->attachedToPrimary;
        if (DirectDrawImpl* d = OwnerIfLive(this)) d->PresentPrimary();
    }
    return DD_OK;
}

HRESULT SurfaceImpl::GetDC(HDC* out) {
    platform::Trace(std::string("IDirectDrawSurface::GetDC ") + RoleName(role_));
    HRESULT hr;
    if (Fails("IDirectDrawSurface::GetDC", RoleName(role_), &hr)) return hr;
    if (!out) return DDERR_INVALIDPARAMS;
    if (lost()) return DDERR_SURFACELOST;
    if (locked_) return DDERR_SURFACEBUSY;
    if (dcOut_) return DDERR_DCALREADYCREATED;
    platform::SurfaceTarget target;
    target.pixels = memory_->data();
    target.pitch = pitch_;
    target.width = width_;
    target.height = height_;
    target.bitsPerPixel = bits_;
    if (bits_ == 32) {
        target.redMask = 0x00FF0000;
        target.greenMask = 0x0000FF00;
        target.blueMask = 0x000000FF;
    }
    SurfaceImpl* self = this;
    target.readPalette = [self](std::uint32_t* colours) {
        if (self->palette_) {
            self->palette_->Colours(colours);
            return true;
        }
        DirectDrawImpl* d = OwnerIfLive(self);
        if (d && d->primary() && d->primary()->palette()) {
            d->primary()->palette()->Colours(colours);
            return true;
        }
        return false;
    };
    HDC dc = platform::CreateSurfaceDC(target);
    if (!dc) return DDERR_NODC;
    dc_ = dc;
    dcOut_ = true;
    *out = dc;
    return DD_OK;
}

HRESULT SurfaceImpl::Flip(IDirectDrawSurface* target, DWORD flags) {
    platform::Trace("IDirectDrawSurface::Flip " + std::to_string(flags));
    HRESULT hr;
    if (Fails("IDirectDrawSurface::Flip", RoleName(role_), &hr)) return hr;
    if (role_ != Role::Primary || !attached_) return DDERR_NOTFLIPPABLE;
    if (target && target != attached_) return DDERR_INVALIDPARAMS;
    if (lost() || attached_->lost()) return DDERR_SURFACELOST;
    if (locked() || attached_->locked()) return DDERR_SURFACEBUSY;
    SwapMemory(attached_);
    shown = true;
    if (DirectDrawImpl* d = OwnerIfLive(this)) d->PresentPrimary(true);
    platform::NoteFramePresented();
    return DD_OK;
}

HRESULT PaletteImpl::SetEntries(DWORD, DWORD first, DWORD count, const PALETTEENTRY* entries) {
    platform::Trace("IDirectDrawPalette::SetEntries " + std::to_string(first) + " " + std::to_string(count));
    HRESULT hr;
    if (platform::InjectedFailure("IDirectDrawPalette::SetEntries", &hr)) return hr;
    if (!entries || first > 255 || count > 256 - first) return DDERR_INVALIDPARAMS;
    std::memcpy(entries_ + first, entries, count * sizeof(PALETTEENTRY));
    // An 8-bit display shows a new palette at once, without a flip.
    if (attachedToPrimary > 0) {
        for (DirectDrawImpl* d : Registry().displays) {
            if (d->primary() && d->primary()->palette() == this) d->PresentPrimary();
        }
    }
    return DD_OK;
}

void LoseAll(bool backOnly) {
    for (SurfaceImpl* s : Registry().surfaces) {
        if (!backOnly || s->role() == Role::Back) s->MarkLost();
    }
}

void OnFocus(bool focused) {
    // Another application takes the display while we are not in front.
    DisplayRegistry& r = Registry();
    if (!focused && r.exclusiveOwner) {
        for (SurfaceImpl* s : r.surfaces) {
            if (s->owner() == r.exclusiveOwner) s->MarkLost();
        }
    }
}

void ResetDisplays() {
    // Objects a test left behind are abandoned, not freed: the program may still hold them.
    DisplayRegistry& r = Registry();
    for (SurfaceImpl* s : r.surfaces) s->Orphan();
    r = DisplayRegistry{};
}

DisplayRegistry& Registry() {
    static DisplayRegistry registry;
    static bool hooked = (platform::RegisterResetHook("ddraw", ResetDisplays), platform::SetFocusListener(OnFocus),
                          true);
    (void)hooked;
    return registry;
}

}  // namespace

namespace platform {

void LoseSurfaces(bool backBufferOnly) { LoseAll(backBufferOnly); }

bool SurfacePixels(IDirectDrawSurface* surface, SurfaceMemoryView* out) {
    for (SurfaceImpl* s : Registry().surfaces) {
        if (s == surface) {
            out->pixels = s->Pixels();
            out->pitch = s->pitch();
            out->width = s->width();
            out->height = s->height();
            return true;
        }
    }
    return false;
}

}  // namespace platform

HRESULT DirectDrawCreate(void* guid, IDirectDraw** out, void* outer) {
    platform::Trace("DirectDrawCreate");
    HRESULT hr;
    if (platform::InjectedFailure("DirectDrawCreate", &hr)) return hr;
    if (guid || outer || !out) return DDERR_INVALIDPARAMS;
    Registry();
    *out = new DirectDrawImpl();
    return DD_OK;
}
