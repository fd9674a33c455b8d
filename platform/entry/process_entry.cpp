// The process entry of the program: SIGINT and SIGTERM become a close request, then WinMain runs
// with SW_SHOWDEFAULT and its result is the exit code. The command line is not read.
#include "platform/user/user_internal.h"
#include "platform/win_user.h"

int main() {
    platform::InstallTerminationSignals();
    static char emptyCommandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
}
