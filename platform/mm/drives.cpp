// The drive table: "D: /path" lines in drives.conf (found like the other setting files) and
// VEXMOOR_DRIVE_<letter> variables, which win over the file; an empty variable removes a drive.
#include "platform/mm/drives.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/settings/settings.h"

namespace platform::mm {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::vector<DriveEntry> ConfiguredDrives() {
    std::map<char, DriveEntry> drives;
    if (auto file = FindSettingsFile("VEXMOOR_DRIVES", "drives.conf")) {
        std::ifstream in(file->path);
        if (!in) SettingsWarning("drive table " + file->path + " cannot be read");
        std::string base = DirectoryOf(file->path);
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            std::string t = Trim(line);
            if (t.empty() || t[0] == '#' || t[0] == ';') continue;
            char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
            std::size_t i = 1;
            bool colon = i < t.size() && t[i] == ':';
            if (colon) ++i;
            std::size_t pathStart = t.find_first_not_of(" \t=", i);
            bool separated = pathStart != std::string::npos && (colon || pathStart > i);
            if (letter < 'A' || letter > 'Z' || !separated) {
                SettingsWarning(
                    file->path + ":" + std::to_string(lineNo) +
                    ": expected a drive letter and a folder, as in \"D: ~/music/cd\"; line ignored");
                continue;
            }
            std::string path = Trim(t.substr(pathStart));
            if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
                path = path.substr(1, path.size() - 2);
            drives[letter] =
                DriveEntry{letter, ResolveSettingPath(path, base), file->path + ":" + std::to_string(lineNo)};
        }
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        std::string name = std::string("VEXMOOR_DRIVE_") + letter;
        const char* value = std::getenv(name.c_str());
        if (!value) continue;
        if (*value == '\0')
            drives.erase(letter);
        else
            drives[letter] = DriveEntry{letter, ResolveSettingPath(value, ""), name};
    }
    std::vector<DriveEntry> out;
    for (auto& [letter, entry] : drives) out.push_back(entry);
    return out;
}

}  // namespace platform::mm
