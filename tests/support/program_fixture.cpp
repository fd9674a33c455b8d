// The whole-program fixture (see program_fixture.h).
#include "tests/support/program_fixture.h"

#include <unistd.h>

#include <fstream>

#include "app/credits.h"
#include "app/display.h"
#include "app/main_loop.h"
#include "cdaudio/cd_player.h"

void ResetProgramState() {
    ResetApplicationState();
    ResetDisplayState();
    ResetCreditsState();
    ResetCdState();
}

harness::Options ProgramTest::HarnessOptions() const {
    harness::Options options;
    // A desktop that has been up a while, as GetTickCount would report it.
    options.startTick = 100000;
    return options;
}

Palette6 FixturePalette() {
    Palette6 p{};
    for (int i = 0; i < 256; ++i) {
        p.bytes[3 * i] = p.bytes[3 * i + 1] = p.bytes[3 * i + 2] = static_cast<std::uint8_t>(i / 8 + 20);
    }
    p.bytes[0] = p.bytes[1] = p.bytes[2] = 0;
    p.bytes[3 * kFixtureRed] = 63, p.bytes[3 * kFixtureRed + 1] = 0, p.bytes[3 * kFixtureRed + 2] = 0;
    p.bytes[3 * kFixtureBackground] = 0, p.bytes[3 * kFixtureBackground + 1] = 0;
    p.bytes[3 * kFixtureBackground + 2] = 20;
    return p;
}

void WriteCff(const std::filesystem::path& path, const std::vector<std::uint8_t>& pixels, const Palette6& palette) {
    std::ofstream out(path, std::ios::binary);
    std::uint32_t header[2] = {0x12345678, 640};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (std::size_t i = 0; i < pixels.size(); i += 127) {
        std::size_t n = std::min<std::size_t>(127, pixels.size() - i);
        out.put(static_cast<char>(n));
        out.write(reinterpret_cast<const char*>(&pixels[i]), static_cast<std::streamsize>(n));
    }
    out.put(0);
    out.write(reinterpret_cast<const char*>(palette.bytes), sizeof palette.bytes);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

void ProgramTest::SetUp() {
    harness::Start(HarnessOptions());
    ResetProgramState();
    previousDirectory_ = std::filesystem::current_path();
    directory_ = std::filesystem::temp_directory_path() /
                 ("vexmoor-test-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    std::filesystem::current_path(directory_);
    WriteCff("credback.cff", std::vector<std::uint8_t>(640 * 480, kFixtureBackground), FixturePalette());
    WriteFile("credits.dat", "Vexmoor\r\nThe credits\r\n");
}

void ProgramTest::TearDown() {
    std::filesystem::current_path(previousDirectory_);
    std::filesystem::remove_all(directory_);
    harness::Stop();
    ResetProgramState();
}

int ProgramTest::RunProgram() {
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}

int ProgramTest::Count(const std::string& prefix) {
    int n = 0;
    for (const auto& entry : harness::TraceEntries()) {
        if (entry.compare(0, prefix.size(), prefix) == 0) ++n;
    }
    return n;
}
