// Shared fixture of the CD audio tests: a scratch folder with its own setting files and discs,
// the environment pointed at it (and nowhere else), tiny generated tracks, a window that records
// MM_MCINOTIFY, a real-time message pump, and the samples SDL's disk audio driver wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_user.h"

namespace cdtest {

// Interleaved stereo frames whose samples are never 0 and differ from frame to frame, so a
// silent or repeated frame in the output shows.
std::vector<std::int16_t> Pattern(int frames, int seed);

// Writes a track with libsndfile; `format` is an SF_FORMAT_* major | minor type.
void WriteTrack(const std::string& path, int format, const std::vector<std::int16_t>& interleaved,
                int rate = 44100, int channels = 2);

// The frames a file decodes to through libsndfile, as 16-bit stereo the way the player converts them.
std::vector<std::int16_t> DecodeAsPlayer(const std::string& path);

// sample × level / 0xFFFF, rounded: the CD line's gain.
std::int16_t Gain(std::int16_t sample, std::uint16_t level);

struct Notice {
    WPARAM reason;
    LPARAM device;
};

class CdTest : public ::testing::Test {
  public:
    // Every MM_MCINOTIFY the notice window has received.
    static std::vector<Notice>& Notices();

  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void WriteFile(const std::string& name, const std::string& text) const;
    void SetEnv(const std::string& name, const std::string& value);
    void UnsetEnv(const std::string& name);
    // Drive D: (and the registry's CD Path, if given) pointing into the scratch folder.
    void UseDrive(char letter, const std::string& folder);
    // Plays through SDL's disk driver into a file in the scratch folder (real time).
    void UseDiskAudio();
    std::vector<std::int16_t> DiskAudio() const;

    // A hidden top-level window (a parent for the program's notify window) and one whose
    // procedure records MM_MCINOTIFY.
    HWND ParentWindow();
    HWND NoticeWindow();

    // Dispatches messages, sleeping in real time while none wait, until `done` or the timeout.
    static bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

  private:
    std::string dir_;
    std::map<std::string, std::optional<std::string>> savedEnv_;
    HWND parent_ = nullptr;
    HWND noticeWindow_ = nullptr;
};

// Where each loop of `track` (already at the output's gain) starts in `out`, and the silent
// frames found before each repeat: {first frame, gaps}. Fails the test if the music differs.
struct LoopLayout {
    std::size_t start = 0;
    std::vector<std::size_t> gaps;  // silent frames between loop k and k + 1
    int loops = 0;
};
LoopLayout FindLoops(const std::vector<std::int16_t>& out, const std::vector<std::int16_t>& track);

}  // namespace cdtest
