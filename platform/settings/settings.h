// Where the platform layer finds its setting files (the registry file, the drive table) and how it
// reports a problem with one. Used by platform/registry/ and platform/mm/; the program never sees it.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct SettingsFile {
    std::string path;
    bool fromEnvironment;  // named by the environment variable rather than found in a usual place
};

// The file named by `envVar` when it is set and not empty (whether or not it exists); else the
// first existing one of ./fileName (the game directory), $XDG_CONFIG_HOME/vexmoor/fileName
// (~/.config by default) and each $XDG_CONFIG_DIRS entry's vexmoor/fileName (/etc/xdg by default).
std::optional<SettingsFile> FindSettingsFile(const char* envVar, const char* fileName);

// "~" or "~/…" becomes the home folder; a relative path is taken relative to `baseDir` (when not
// empty); anything else is returned as it is.
std::string ResolveSettingPath(const std::string& path, const std::string& baseDir);

// The folder part of a file path ("." for a bare file name).
std::string DirectoryOf(const std::string& path);

// One line on stderr, prefixed with the program's name.
void SettingsWarning(const std::string& message);

}  // namespace platform
