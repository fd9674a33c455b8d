// Palette operations: setting the display palette from 6-bit colours, blacking it out, setting
// one entry, and the fades in from black and out to black paced by the vertical blank.
// WinMain fades the credits background in; the rest belong to the toolkit.
#include "app/display.h"
#include "gfx/gfx.h"

namespace {

constexpr DWORD kEntries = 256;

// 6-bit components reach the display as four times their value, kept to the low 8 bits.
PALETTEENTRY Convert(std::uint8_t red, std::uint8_t green, std::uint8_t blue, BYTE flags) {
    return PALETTEENTRY{static_cast<BYTE>(red * 4), static_cast<BYTE>(green * 4), static_cast<BYTE>(blue * 4),
                        flags};
}

void Advance(BYTE amount, BYTE& accumulator, BYTE& value, bool fadeIn) {
    unsigned sum = static_cast<unsigned>(accumulator) + amount;
    if (sum > 255) {
        // Minus 255, not 256: over 256 steps the value then moves by exactly `amount`.
        accumulator = static_cast<BYTE>(sum - 255);
        value = static_cast<BYTE>(fadeIn ? value + 1 : value - 1);
    } else {
        accumulator = static_cast<BYTE>(sum);
    }
}

// Each published step waits for the start of a vertical blank, so the change shows between frames.
void PublishAtVerticalBlank(const PALETTEENTRY* entries, void*) {
    directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    if (displayPalette) displayPalette->SetEntries(0, 0, kEntries, entries);
}

}  // namespace

void FadePaletteStep(const PALETTEENTRY* amounts, PALETTEENTRY* accumulators, PALETTEENTRY* current,
                     bool fadeIn) {
    for (DWORD i = 0; i < kEntries; ++i) {
        Advance(amounts[i].peRed, accumulators[i].peRed, current[i].peRed, fadeIn);
        Advance(amounts[i].peGreen, accumulators[i].peGreen, current[i].peGreen, fadeIn);
        Advance(amounts[i].peBlue, accumulators[i].peBlue, current[i].peBlue, fadeIn);
    }
}

void RunPaletteFade(const PALETTEENTRY* amounts, PALETTEENTRY* current, bool fadeIn,
                    void (*publish)(const PALETTEENTRY* entries, void* context), void* context) {
    PALETTEENTRY accumulators[kEntries] = {};
    for (int step = 255; step >= 0; --step) {
        FadePaletteStep(amounts, accumulators, current, fadeIn);
        if (step % 8 == 0) publish(current, context);
    }
}

void FadeInPalette(const Palette6& target) {
    // Without the display object there is no vertical blank to pace the fade by, nor a palette.
    if (!directDraw) return;
    PALETTEENTRY amounts[kEntries];
    PALETTEENTRY current[kEntries];
    for (DWORD i = 0; i < kEntries; ++i) {
        amounts[i] = Convert(target.bytes[3 * i], target.bytes[3 * i + 1], target.bytes[3 * i + 2], 0);
        current[i] = PALETTEENTRY{0, 0, 0, PC_RESERVED};
    }
    RunPaletteFade(amounts, current, true, PublishAtVerticalBlank, nullptr);
}

HRESULT FadeOutPalette() {
    if (!directDraw || !primarySurface) return DDERR_INVALIDOBJECT;
    IDirectDrawPalette* attached = nullptr;
    HRESULT result = primarySurface->GetPalette(&attached);
    if (result != DD_OK) return result;
    // GetPalette added a reference. displayPalette keeps exactly one: the one it already holds
    // when the palette is the same object, else the new one in place of the old.
    if (attached && attached == displayPalette) {
        attached->Release();
    } else {
        if (displayPalette) displayPalette->Release();
        displayPalette = attached;
    }
    if (!displayPalette) return DD_OK;

    PALETTEENTRY amounts[kEntries] = {};
    PALETTEENTRY current[kEntries] = {};
    // Colours that cannot be read are not faded: the screen keeps what it shows.
    result = displayPalette->GetEntries(0, 0, kEntries, amounts);
    if (result == DD_OK) result = displayPalette->GetEntries(0, 0, kEntries, current);
    if (result != DD_OK) return result;
    RunPaletteFade(amounts, current, false, PublishAtVerticalBlank, nullptr);
    return DD_OK;
}

HRESULT SetPalette6(const Palette6& colours) {
    if (!displayPalette) return DD_OK;
    PALETTEENTRY entries[kEntries];
    for (DWORD i = 0; i < kEntries; ++i) {
        entries[i] = Convert(colours.bytes[3 * i], colours.bytes[3 * i + 1], colours.bytes[3 * i + 2], 0);
    }
    return displayPalette->SetEntries(0, 0, kEntries, entries);
}

HRESULT SetBlackPalette() {
    const Palette6 black{};
    return SetPalette6(black);
}

HRESULT SetPaletteEntry6(std::uint32_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    if (!displayPalette) return DD_OK;
    // The index goes to the palette unchecked; the palette refuses one past its end.
    PALETTEENTRY entry = Convert(red, green, blue, 0);
    return displayPalette->SetEntries(0, index, 1, &entry);
}
