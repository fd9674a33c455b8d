// _lopen, _lread and _lclose over POSIX file descriptors. Only descriptors this file opened are
// accepted, so a stray handle can never close or read the process's other files.
#include "platform/lfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "platform/trace.h"

namespace {

std::set<int>& OpenFiles() {
    static std::set<int> files;
    static bool hooked = (platform::RegisterResetHook("lfile",
                                                      [] {
                                                          for (int fd : files) ::close(fd);
                                                          files.clear();
                                                      }),
                          true);
    (void)hooked;
    return files;
}

}  // namespace

HFILE _lopen(LPCSTR path, int mode) {
    platform::Trace(std::string("_lopen ") + (path ? path : "(null)"));
    HRESULT ignored;
    if (!path || platform::InjectedFailure("_lopen", &ignored)) return HFILE_ERROR;
    int flags = (mode & 3) == OF_WRITE ? O_WRONLY : (mode & 3) == OF_READWRITE ? O_RDWR : O_RDONLY;
    int fd = ::open(path, flags | O_CLOEXEC);
    if (fd < 0) return HFILE_ERROR;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return HFILE_ERROR;
    }
    OpenFiles().insert(fd);
    return fd;
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
    if (!OpenFiles().count(file) || (!buffer && count)) return static_cast<UINT>(HFILE_ERROR);
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::read(file, out + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return static_cast<UINT>(HFILE_ERROR);
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

HFILE _lclose(HFILE file) {
    if (!OpenFiles().erase(file)) return HFILE_ERROR;
    ::close(file);
    return 0;
}
