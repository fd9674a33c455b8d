// Drive letters and the folders (or CUE sheets) that stand for the discs in them, read from the
// drive table file and the VEXMOOR_DRIVE_<letter> environment variables (see docs/cdaudio.md).
// Used by the cdaudio device and tools/cdinfo.
#pragma once

#include <string>
#include <vector>

namespace platform::mm {

struct DriveEntry {
    char letter;         // 'A'..'Z'
    std::string path;    // folder of ripped tracks, folder holding a CUE sheet, or a CUE sheet
    std::string origin;  // where the mapping came from, for listings ("drives.conf:3", "VEXMOOR_DRIVE_D")
};

// Every configured drive, in letter order. Read afresh on each call; bad lines are reported on
// stderr and skipped.
std::vector<DriveEntry> ConfiguredDrives();

}  // namespace platform::mm
