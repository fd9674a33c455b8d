// A fixture for the bitmap tests: the harness started, a DirectDraw object, off-screen surfaces
// of 8 or 32 bits, and a scratch directory that is the current directory while a test runs.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/harness/harness.h"

class BitmapTest : public ::testing::Test {
  protected:
    virtual harness::Options HarnessOptions() const { return harness::Options{}; }

    void SetUp() override {
        harness::Start(HarnessOptions());
        ASSERT_EQ(DirectDrawCreate(nullptr, &ddraw_, nullptr), DD_OK);
        previous_ = std::filesystem::current_path();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("vexmoor_bitmaps_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }

    void TearDown() override {
        for (IUnknownLike* object : owned_) object->Release();
        if (ddraw_) ddraw_->Release();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
        harness::Stop();
    }

    // An off-screen plain surface; 32-bit ones have the 8-8-8 format.
    IDirectDrawSurface* Surface(int width, int height, int bits = 8) {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        if (bits != 8) {
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits);
        }
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(ddraw_->CreateSurface(&desc, &surface, nullptr), DD_OK);
        return Own(surface);
    }

    template <typename T>
    T* Own(T* object) {
        if (object) owned_.push_back(object);
        return object;
    }

    static void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // The surface's pixel at (x, y) as stored: an index on 8-bit surfaces, 32 bits on the others.
    static std::uint32_t Pixel(IDirectDrawSurface* surface, int x, int y, int bits = 8) {
        platform::SurfaceMemoryView view{};
        EXPECT_TRUE(platform::SurfacePixels(surface, &view));
        const std::uint8_t* row = view.pixels + static_cast<std::ptrdiff_t>(y) * view.pitch;
        if (bits == 8) return row[x];
        std::uint32_t value;
        std::memcpy(&value, row + 4 * x, 4);
        return value;
    }

    static void SetPixelValue(IDirectDrawSurface* surface, int x, int y, std::uint32_t value, int bits = 8) {
        DDSURFACEDESC desc{};
        desc.dwSize = kSurfaceDescSize;
        ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        auto* row = static_cast<std::uint8_t*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(y) * desc.lPitch;
        if (bits == 8)
            row[x] = static_cast<std::uint8_t>(value);
        else
            std::memcpy(row + 4 * x, &value, 4);
        surface->Unlock(nullptr);
    }

    static int Count(const std::string& prefix) {
        int n = 0;
        for (const std::string& entry : harness::TraceEntries())
            n += entry.compare(0, prefix.size(), prefix) == 0;
        return n;
    }

    IDirectDraw* ddraw_ = nullptr;

  private:
    std::vector<IUnknownLike*> owned_;
    std::filesystem::path dir_, previous_;
};
