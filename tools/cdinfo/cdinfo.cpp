// cdinfo: lists the CD drives and their discs exactly as the program sees them: where the registry
// and the drive table were found, the drive the CD Path value names, and each disc's tracks.
// Usage: cdinfo [D:]   (run it in the game folder, as the program is)
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/mm/disc.h"
#include "platform/mm/drives.h"
#include "platform/registry.h"
#include "platform/settings/settings.h"

namespace {

using platform::mm::kFramesPerSector;
using platform::mm::kLeadInSectors;
using platform::mm::kSectorsPerSecond;

std::string Msf(std::int64_t sectors) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                  static_cast<long long>(sectors / (60 * kSectorsPerSecond)),
                  static_cast<long long>(sectors / kSectorsPerSecond % 60),
                  static_cast<long long>(sectors % kSectorsPerSecond));
    return text;
}

// The "CD Path" value the program reads, or "" with *note saying why there is none.
std::string CdPath(std::string* note) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillfen Software\\Vexmoor\\1.0", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        *note = "the key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillfen Software\\Vexmoor\\1.0 is not there";
        return "";
    }
    BYTE value[1024];
    DWORD size = sizeof value;
    LONG result = RegQueryValueExA(key, "CD Path", nullptr, nullptr, value, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        *note = "the key has no \"CD Path\" value";
        return "";
    }
    return std::string(reinterpret_cast<char*>(value), strnlen(reinterpret_cast<char*>(value), size));
}

void ListDisc(const platform::mm::DriveEntry& drive, bool* anyDisc) {
    std::printf("\n%c: %s   (set in %s)\n", drive.letter, drive.path.c_str(), drive.origin.c_str());
    std::string why;
    auto disc = platform::mm::LoadDisc(drive.path, &why);
    if (!disc) {
        std::printf("   no disc: %s\n", why.c_str());
        return;
    }
    *anyDisc = true;
    std::printf("   disc read from %s\n", disc->origin.c_str());
    std::printf("   track  kind   starts at  length    frames     file\n");
    for (const auto& t : disc->tracks) {
        const char* kind = t.audio ? "audio" : t.source.empty() ? "none " : "data ";
        std::printf("   %5d  %s  %s   %s  %9lld  %s\n", t.number, kind,
                    Msf(t.start / kFramesPerSector + kLeadInSectors).c_str(),
                    Msf((t.frames + kFramesPerSector - 1) / kFramesPerSector).c_str(),
                    static_cast<long long>(t.frames),
                    t.source.empty() ? "(not on the disc: data track or not ripped)" : t.source.c_str());
    }
    std::printf("   %d tracks, %s in all\n", disc->LastTrack(),
                Msf((disc->totalFrames + kFramesPerSector - 1) / kFramesPerSector).c_str());
    for (const std::string& w : disc->warnings) std::printf("   note: %s\n", w.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    char only = 0;
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))) {
        std::printf("usage: cdinfo [D:]\nLists the CD drives and discs the program sees from this folder.\n");
        return argc > 2 ? 2 : 0;
    }
    if (argc == 2) {
        only = static_cast<char>(std::toupper(static_cast<unsigned char>(argv[1][0])));
        if (only < 'A' || only > 'Z' || (argv[1][1] != ':' && argv[1][1] != '\0')) {
            std::fprintf(stderr, "cdinfo: \"%s\" is not a drive letter such as D:\n", argv[1]);
            return 2;
        }
    }

    auto registry = platform::FindSettingsFile("VEXMOOR_REGISTRY", "vexmoor.reg");
    std::printf("registry file: %s\n", registry ? registry->path.c_str() : "none found (an empty registry)");
    std::string note;
    std::string cdPath = CdPath(&note);
    if (note.empty())
        std::printf("CD Path: \"%s\": the program opens drive %.2s first, then the first drive with a disc\n",
                    cdPath.c_str(), cdPath.c_str());
    else
        std::printf("CD Path: none (%s): the program opens the first drive with a disc\n", note.c_str());
    auto table = platform::FindSettingsFile("VEXMOOR_DRIVES", "drives.conf");
    std::printf("drive table: %s\n", table ? table->path.c_str() : "none found");

    auto drives = platform::mm::ConfiguredDrives();
    bool anyDisc = false, listed = false;
    for (const auto& drive : drives) {
        if (only && drive.letter != only) continue;
        listed = true;
        ListDisc(drive, &anyDisc);
    }
    if (!listed) {
        if (only)
            std::printf("\nno drive %c: is set up\n", only);
        else
            std::printf(
                "\nno drive is set up: add a line such as \"D: ~/music/vexmoor-cd\" to drives.conf,\n"
                "or set VEXMOOR_DRIVE_D=/path/to/folder (see docs/cdaudio.md)\n");
    }
    return anyDisc ? 0 : 1;
}
