// A fixture that runs the whole program headless: the harness's virtual clock, scheduled input
// and traces, with every module's state back at program start.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/harness/harness.h"

void ResetProgramState();

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
};
