// Setting-file lookup for the platform layer: environment override, game directory, XDG places.
#include "platform/settings/settings.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::optional<SettingsFile> FindSettingsFile(const char* envVar, const char* fileName) {
    std::string named = Env(envVar);
    if (!named.empty()) return SettingsFile{ResolveSettingPath(named, ""), true};

    const std::string file = fileName;
    if (IsRegularFile(file)) return SettingsFile{"./" + file, false};

    std::string configHome = Env("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome[0] != '/') {
        std::string home = Env("HOME");
        configHome = home.empty() ? "" : home + "/.config";
    }
    if (!configHome.empty() && IsRegularFile(configHome + "/vexmoor/" + file))
        return SettingsFile{configHome + "/vexmoor/" + file, false};

    std::string dirs = Env("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/' && IsRegularFile(dir + "/vexmoor/" + file))
            return SettingsFile{dir + "/vexmoor/" + file, false};
        start = end + 1;
    }
    return std::nullopt;
}

std::string ResolveSettingPath(const std::string& path, const std::string& baseDir) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
        std::string home = Env("HOME");
        if (!home.empty()) return home + path.substr(1);
    }
    if (path.empty() || path[0] == '/' || path[0] == '~' || baseDir.empty()) return path;
    return baseDir + "/" + path;
}

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SettingsWarning(const std::string& message) {
    std::fprintf(stderr, "vexmoor: %s\n", message.c_str());
}

}  // namespace platform
