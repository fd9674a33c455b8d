// A fixture that runs the whole program headless: the harness's virtual clock, scheduled input
// and traces, with every module's state back at program start.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/harness/harness.h"

// The palette of the fixture's background: index 1 is a clean red, index 2 the picture's blue.
constexpr std::uint8_t kFixtureRed = 1;
constexpr std::uint8_t kFixtureBackground = 2;
Palette6 FixturePalette();
// Packs a picture as a CFF file: two header words, a literal-only stream, the end byte, the palette.
void WriteCff(const std::filesystem::path& path, const std::vector<std::uint8_t>& pixels, const Palette6& palette);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

void ResetProgramState();

// Each test runs in a fresh working directory holding a one-colour background and a short text.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the program the way the process entry does and returns WinMain's result.
    int RunProgram();
    virtual harness::Options HarnessOptions() const;

    // Trace helpers: the index of the first entry starting with `prefix` (at or after `from`).
    static int At(const std::string& prefix, int from = 0) { return harness::FindTrace(prefix, from); }
    static int Count(const std::string& prefix);

    std::filesystem::path previousDirectory_, directory_;
};
