// cfftool's commands: pack, unpack, info, set-pack and set-unpack, run from an argument list with
// their messages going to the given streams. Returns the process exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cff {

// Exit codes: 0 done, 1 a file could not be read, was not valid or could not be written,
// 2 the command line was wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunCfftool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace cff
