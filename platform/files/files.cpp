// Read-only files over POSIX descriptors, behind CreateFileA, ReadFile, GetFileSize, SetFilePointer
// and CloseHandle. Used by the credits roll (credits.dat) and the toolkit's loaders; handles still
// open when a test ends are closed by the reset hook.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "platform/trace.h"

namespace {

struct FileObject {
    int fd;
};

struct FileTable {
    std::mutex mutex;
    std::set<FileObject*> open;
};

FileTable& Table() {
    static FileTable table;
    return table;
}

void CloseAll() {
    FileTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (FileObject* file : table.open) {
        ::close(file->fd);
        delete file;
    }
    table.open.clear();
}

void RegisterResetOnce() {
    static const bool registered = (platform::RegisterResetHook("files", CloseAll), true);
    (void)registered;
}

FileObject* Lookup(HANDLE handle) {
    auto* file = reinterpret_cast<FileObject*>(handle);
    FileTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.open.count(file) ? file : nullptr;
}

bool Exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory == "/") return "/" + name;
    return directory + "/" + name;
}

// Finds the file a Windows-style name means: components that do not exist as written are matched
// against their directory's entries regardless of letter case, provided exactly one entry matches.
// Returns an empty string when nothing matches.
std::string ResolveName(std::string name) {
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    if (name.empty() || Exists(name)) return name;

    std::string current = name[0] == '/' ? "/" : "";
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;

        const std::string exact = Join(current, component);
        if (component == "." || component == ".." || Exists(exact)) {
            current = exact;
            continue;
        }
        DIR* directory = ::opendir(current.empty() ? "." : current.c_str());
        if (!directory) return {};
        std::string match;
        int matches = 0;
        while (const dirent* entry = ::readdir(directory)) {
            if (::strcasecmp(entry->d_name, component.c_str()) == 0) {
                match = entry->d_name;
                ++matches;
            }
        }
        ::closedir(directory);
        if (matches != 1) return {};
        current = Join(current, match);
    }
    return current;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*share*/, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    RegisterResetOnce();
    platform::Trace(std::string("CreateFileA ") + (name ? name : "(null)"));
    if (platform::InjectedFailure("CreateFileA", nullptr)) return INVALID_HANDLE_VALUE;
    if (!name || access != GENERIC_READ || disposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;

    const std::string path = ResolveName(name);
    if (path.empty()) return INVALID_HANDLE_VALUE;
    const bool inherit = security && security->bInheritHandle;
    const int fd = ::open(path.c_str(), O_RDONLY | (inherit ? 0 : O_CLOEXEC));
    if (fd < 0) return INVALID_HANDLE_VALUE;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }

    auto* file = new FileObject{fd};
    FileTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.open.insert(file);
    return reinterpret_cast<HANDLE>(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) {
    if (read) *read = 0;
    FileObject* file = Lookup(handle);
    if (!file || overlapped || (!buffer && count > 0)) return FALSE;
    if (platform::InjectedFailure("ReadFile", nullptr)) return FALSE;

    auto* bytes = static_cast<std::uint8_t*>(buffer);
    DWORD total = 0;
    while (total < count) {
        const ssize_t n = ::read(file->fd, bytes + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (read) *read = total;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* high) {
    FileObject* file = Lookup(handle);
    struct stat info;
    if (!file || ::fstat(file->fd, &info) != 0) return INVALID_FILE_SIZE;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* high, DWORD method) {
    FileObject* file = Lookup(handle);
    if (!file) return INVALID_SET_FILE_POINTER;

    const std::int64_t move = high ? static_cast<std::int64_t>((static_cast<std::uint64_t>(*high) << 32) |
                                                               static_cast<std::uint32_t>(distance))
                                   : static_cast<std::int64_t>(distance);
    std::int64_t origin = 0;
    if (method == FILE_CURRENT) {
        origin = ::lseek(file->fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat info;
        origin = ::fstat(file->fd, &info) == 0 ? info.st_size : -1;
    } else if (method != FILE_BEGIN) {
        return INVALID_SET_FILE_POINTER;
    }
    if (origin < 0) return INVALID_SET_FILE_POINTER;
    const std::int64_t target = origin + move;
    // Without a high word the caller can only see a 32-bit position, so a larger one is refused.
    if (target < 0 || (!high && target > 0xFFFFFFFFll)) return INVALID_SET_FILE_POINTER;
    if (::lseek(file->fd, target, SEEK_SET) < 0) return INVALID_SET_FILE_POINTER;
    if (high) *high = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
    return static_cast<DWORD>(target);
}

BOOL CloseHandle(HANDLE handle) {
    auto* file = reinterpret_cast<FileObject*>(handle);
    FileTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (!table.open.erase(file)) return FALSE;
    ::close(file->fd);
    delete file;
    return TRUE;
}
