// The whole-program fixture (see program_fixture.h).
#include "tests/support/program_fixture.h"

#include "app/display.h"
#include "app/main_loop.h"
#include "cdaudio/cd_player.h"

void ResetProgramState() {
    ResetApplicationState();
    ResetDisplayState();
    ResetCdState();
}

harness::Options ProgramTest::HarnessOptions() const {
    harness::Options options;
    // A desktop that has been up a while, as GetTickCount would report it.
    options.startTick = 100000;
    return options;
}

void ProgramTest::SetUp() {
    harness::Start(HarnessOptions());
    ResetProgramState();
}

void ProgramTest::TearDown() {
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
