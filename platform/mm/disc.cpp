// Building the disc model from a folder of ripped tracks or a CUE sheet. Track lengths come from the
// exact frame counts libsndfile reports, so a track played to the next track's start ends on its
// last real sample and a loop of it has no gap.
#include "platform/mm/disc.h"

#include <dirent.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

namespace platform::mm {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path, std::int64_t* size = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (size) *size = st.st_size;
    return true;
}

std::vector<std::string> ListFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && IsFile(dir + "/" + name)) names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct AudioInfo {
    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;
};

bool ProbeAudio(const std::string& path, AudioInfo* info, std::string* why) {
    SF_INFO sf{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
    if (!file) {
        *why = sf_strerror(nullptr);
        return false;
    }
    sf_close(file);
    if (sf.samplerate < 8000 || sf.samplerate > 384000 || sf.channels < 1 || sf.channels > 8) {
        *why = "unsupported sample rate or channel count";
        return false;
    }
    if (sf.frames <= 0) {
        *why = "no audio in it";
        return false;
    }
    *info = AudioInfo{sf.samplerate, sf.channels, sf.frames};
    return true;
}

std::int64_t ToTimeline(std::int64_t nativeFrames, int rate) {
    if (rate == kCdRate) return nativeFrames;
    return (nativeFrames * kCdRate + rate / 2) / rate;
}

std::int64_t SectorsToNative(std::int64_t sectors, int rate) {
    if (rate == kCdRate) return sectors * kFramesPerSector;
    return (sectors * kFramesPerSector * rate + kCdRate / 2) / kCdRate;
}

// Numbers the tracks 1..last. A number with no track of its own (a data track that was not
// ripped, or one left out) is a non-audio track of no length at the place where it would be.
void NumberTracks(std::map<int, DiscTrack> present, Disc* disc) {
    if (present.empty()) return;
    int last = present.rbegin()->first;
    for (int t = 1; t <= last; ++t) {
        auto it = present.find(t);
        if (it != present.end()) {
            disc->tracks.push_back(it->second);
            continue;
        }
        DiscTrack placeholder;
        placeholder.number = t;
        placeholder.start = present.upper_bound(t)->second.start;
        disc->tracks.push_back(placeholder);
    }
    for (std::size_t i = 0; i < disc->tracks.size(); ++i) {
        DiscTrack& track = disc->tracks[i];
        if (track.source.empty()) continue;
        std::int64_t next = disc->totalFrames;
        for (std::size_t j = i + 1; j < disc->tracks.size(); ++j) {
            if (!disc->tracks[j].source.empty()) {
                next = disc->tracks[j].start;
                break;
            }
        }
        track.frames = next - track.start;
    }
}

std::optional<Disc> LoadFolder(const std::string& dir, std::string* why) {
    std::vector<std::string> names = ListFiles(dir);
    std::vector<std::string> warnings;
    for (const std::string& name : names) {
        if (!EndsWith(Lower(name), ".cue")) continue;
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        std::string cueWhy;
        if (auto disc = ParseCueSheet(text.str(), dir + "/" + name, dir, &cueWhy)) return disc;
        warnings.push_back(name + ": " + cueWhy + "; using the ripped track files instead");
        break;
    }

    // Several rips of one track: the lossless one first.
    static const char* const kPreference[] = {".flac", ".wav", ".ogg", ".oga", ".opus", ".mp3"};
    std::map<int, std::vector<std::pair<int, std::string>>> candidates;
    for (const std::string& name : names) {
        int number = TrackNumberFromFileName(name);
        if (number == 0) continue;
        std::string lower = Lower(name);
        int rank = 0;
        for (int i = 0; i < 6; ++i)
            if (EndsWith(lower, kPreference[i])) rank = i;
        candidates[number].emplace_back(rank, name);
    }

    Disc disc;
    disc.origin = dir;
    disc.warnings = warnings;
    std::map<int, DiscTrack> present;
    for (auto& [number, files] : candidates) {
        std::sort(files.begin(), files.end());
        for (const auto& [rank, name] : files) {
            AudioInfo info;
            std::string probeWhy;
            if (!ProbeAudio(dir + "/" + name, &info, &probeWhy)) {
                disc.warnings.push_back(name + " cannot be read (" + probeWhy + "); left out");
                continue;
            }
            DiscPiece piece;
            piece.kind = DiscPiece::Kind::Decoded;
            piece.path = dir + "/" + name;
            piece.rate = info.rate;
            piece.channels = info.channels;
            piece.start = disc.totalFrames;
            piece.frames = ToTimeline(info.frames, info.rate);
            piece.sourceFrames = info.frames;
            disc.pieces.push_back(piece);

            DiscTrack track;
            track.number = number;
            track.audio = true;
            track.start = piece.start;
            track.source = name;
            present[number] = track;
            disc.totalFrames += piece.frames;
            break;
        }
    }
    NumberTracks(present, &disc);
    if (!disc.HasAudio()) {
        *why =
            "no ripped tracks (track01.flac, Track01.wav, track_01.ogg, track01.cdda.wav, …) or CUE sheet "
            "in " +
            dir;
        for (const std::string& w : disc.warnings) *why += "; " + w;
        return std::nullopt;
    }
    return disc;
}

std::vector<std::string> Tokenize(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string token;
        if (line[i] == '"') {
            std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            token = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                token.push_back(line[i++]);
        }
        tokens.push_back(token);
    }
    return tokens;
}

// "mm:ss:ff" in sectors; -1 when malformed.
std::int64_t ParseMsf(const std::string& text) {
    int m = 0, s = 0, f = 0;
    char c1 = 0, c2 = 0;
    std::istringstream in(text);
    if (!(in >> m >> c1 >> s >> c2 >> f) || c1 != ':' || c2 != ':' || m < 0 || s < 0 || s > 59 || f < 0 ||
        f > 74 || in.peek() != EOF)
        return -1;
    return (static_cast<std::int64_t>(m) * 60 + s) * kSectorsPerSecond + f;
}

struct CueTrack {
    int number = 0;
    bool audio = false;
    int sectorSize = 2352;
    std::int64_t index0 = -1;
    std::int64_t index1 = -1;
    std::int64_t pregap = 0;
    std::int64_t postgap = 0;
    int line = 0;
};

struct CueFile {
    std::string name;
    DiscPiece::Kind kind = DiscPiece::Kind::Decoded;
    std::vector<CueTrack> tracks;
    int line = 0;
};

// A file the sheet names, looked for as written, then ignoring case, then with the other audio
// extensions (sheets often still name the .wav a rip was made from after it became .flac).
std::string FindCueFile(const std::string& dir, const std::string& name) {
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (!relative.empty() && relative[0] == '/' && IsFile(relative)) return relative;
    if (IsFile(dir + "/" + relative)) return dir + "/" + relative;
    std::string base = BaseName(relative);
    std::vector<std::string> names = ListFiles(dir);
    for (const std::string& n : names)
        if (Lower(n) == Lower(base)) return dir + "/" + n;
    std::size_t dot = base.rfind('.');
    std::string stem = Lower(dot == std::string::npos ? base : base.substr(0, dot));
    for (const char* ext : {".flac", ".wav", ".ogg", ".opus", ".mp3"})
        for (const std::string& n : names)
            if (Lower(n) == stem + ext) return dir + "/" + n;
    return "";
}

}  // namespace

bool Disc::HasAudio() const {
    return std::any_of(tracks.begin(), tracks.end(),
                       [](const DiscTrack& t) { return t.audio && t.frames > 0; });
}

int Disc::TrackAt(std::int64_t frame) const {
    int found = 0;
    for (const DiscTrack& t : tracks)
        if (!t.source.empty() && t.start <= frame) found = t.number;
    return found;
}

int TrackNumberFromFileName(const std::string& name) {
    std::string s = Lower(name);
    if (s.rfind("track", 0) != 0) return 0;
    std::size_t i = 5;
    if (i < s.size() && (s[i] == ' ' || s[i] == '_' || s[i] == '-')) ++i;
    int number = 0, digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 3) {
        number = number * 10 + (s[i++] - '0');
        ++digits;
    }
    if (digits == 0 || digits > 2 || number < 1 || number > 99) return 0;
    std::string rest = s.substr(i);
    if (rest.rfind(".cdda", 0) == 0) rest.erase(0, 5);
    for (const char* ext : {".flac", ".wav", ".ogg", ".oga", ".opus", ".mp3"})
        if (rest == ext) return number;
    return 0;
}

std::optional<Disc> ParseCueSheet(const std::string& text, const std::string& cuePath, const std::string& dir,
                                  std::string* why) {
    std::vector<CueFile> files;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](int at, const std::string& what) {
        *why = "line " + std::to_string(at) + ": " + what;
        return std::nullopt;
    };
    int lastNumber = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        std::vector<std::string> tok = Tokenize(line);
        if (tok.empty()) continue;
        std::string command = Lower(tok[0]);
        if (command == "file") {
            if (tok.size() < 3) return fail(lineNo, "FILE needs a file name and a type");
            CueFile file;
            file.name = tok[1];
            file.line = lineNo;
            std::string type = Lower(tok[2]);
            file.kind = type == "binary"     ? DiscPiece::Kind::RawLittle
                        : type == "motorola" ? DiscPiece::Kind::RawBig
                                             : DiscPiece::Kind::Decoded;
            files.push_back(file);
        } else if (command == "track") {
            if (files.empty()) return fail(lineNo, "TRACK before any FILE");
            if (tok.size() < 3) return fail(lineNo, "TRACK needs a number and a mode");
            CueTrack track;
            track.number = std::atoi(tok[1].c_str());
            track.line = lineNo;
            if (track.number < 1 || track.number > 99 || track.number <= lastNumber)
                return fail(lineNo, "track numbers must rise from 1 to 99");
            lastNumber = track.number;
            std::string mode = Lower(tok[2]);
            track.audio = mode == "audio";
            std::size_t slash = mode.find('/');
            track.sectorSize = track.audio                  ? 2352
                               : slash == std::string::npos ? 2352
                                                            : std::atoi(mode.c_str() + slash + 1);
            if (track.sectorSize < 2048 || track.sectorSize > 2448)
                return fail(lineNo, "unknown track mode " + tok[2]);
            files.back().tracks.push_back(track);
        } else if (command == "index" || command == "pregap" || command == "postgap") {
            if (files.empty() || files.back().tracks.empty())
                return fail(lineNo, tok[0] + " outside of a TRACK");
            CueTrack& track = files.back().tracks.back();
            std::int64_t at = ParseMsf(tok.size() > (command == "index" ? 2u : 1u) ? tok.back() : "");
            if (at < 0) return fail(lineNo, "expected a position mm:ss:ff");
            if (command == "pregap") {
                track.pregap = at;
            } else if (command == "postgap") {
                track.postgap = at;
            } else {
                int index = std::atoi(tok[1].c_str());
                if (index == 0) track.index0 = at;
                if (index == 1) track.index1 = at;
            }
        }
        // REM, TITLE, PERFORMER, FLAGS, ISRC, CATALOG and the like say nothing about the sound.
    }

    Disc disc;
    disc.origin = cuePath;
    std::map<int, DiscTrack> present;
    auto addPiece = [&](DiscPiece piece) {
        piece.start = disc.totalFrames;
        disc.totalFrames += piece.frames;
        if (piece.frames > 0) disc.pieces.push_back(piece);
    };
    for (const CueFile& file : files) {
        if (file.tracks.empty()) continue;
        std::string path = FindCueFile(dir, file.name);
        if (path.empty()) return fail(file.line, "file \"" + file.name + "\" not found beside the sheet");
        bool raw = file.kind != DiscPiece::Kind::Decoded;
        std::int64_t bytes = 0;
        AudioInfo info{kCdRate, 2, 0};
        if (raw) {
            IsFile(path, &bytes);
        } else {
            std::string probeWhy;
            if (!ProbeAudio(path, &info, &probeWhy))
                return fail(file.line, "\"" + file.name + "\" cannot be read (" + probeWhy + ")");
        }
        std::int64_t byteStart = 0;
        for (std::size_t k = 0; k < file.tracks.size(); ++k) {
            const CueTrack& t = file.tracks[k];
            if (t.index1 < 0) return fail(t.line, "TRACK without INDEX 01");
            std::int64_t region = t.index0 >= 0 ? std::min(t.index0, t.index1) : t.index1;
            if (k > 0) {
                const CueTrack& p = file.tracks[k - 1];
                std::int64_t prevRegion = p.index0 >= 0 ? std::min(p.index0, p.index1) : p.index1;
                if (region < prevRegion) return fail(t.line, "INDEX positions go backwards");
                byteStart += (region - prevRegion) * p.sectorSize;
            } else {
                byteStart = region * t.sectorSize;
            }
            bool lastInFile = k + 1 == file.tracks.size();
            std::int64_t nextRegion = 0;
            if (!lastInFile) {
                const CueTrack& n = file.tracks[k + 1];
                nextRegion = n.index0 >= 0 ? std::min(n.index0, n.index1) : n.index1;
            }

            if (t.pregap > 0)
                addPiece(DiscPiece{DiscPiece::Kind::Silence, "", kCdRate, 2, 0, t.pregap * kFramesPerSector,
                                   0, 0});

            DiscPiece piece;
            piece.path = path;
            std::int64_t intoTrack;  // from the region's start to INDEX 01, on the timeline
            if (raw) {
                std::int64_t sectors = lastInFile ? (bytes - byteStart) / t.sectorSize : nextRegion - region;
                if (sectors < 0) return fail(t.line, "track starts past the end of \"" + file.name + "\"");
                piece.kind = t.audio ? file.kind : DiscPiece::Kind::Data;
                piece.frames = sectors * kFramesPerSector;
                piece.sourceStart = byteStart / 4;
                piece.sourceFrames = piece.frames;
                intoTrack = (t.index1 - region) * kFramesPerSector;
            } else {
                std::int64_t nativeStart = SectorsToNative(region, info.rate);
                std::int64_t nativeEnd = lastInFile ? info.frames : SectorsToNative(nextRegion, info.rate);
                if (nativeEnd < nativeStart || nativeStart > info.frames)
                    return fail(t.line, "track starts past the end of \"" + file.name + "\"");
                piece.kind = t.audio ? DiscPiece::Kind::Decoded : DiscPiece::Kind::Data;
                piece.rate = info.rate;
                piece.channels = info.channels;
                piece.sourceStart = nativeStart;
                piece.sourceFrames = nativeEnd - nativeStart;
                piece.frames = ToTimeline(piece.sourceFrames, info.rate);
                intoTrack = ToTimeline(SectorsToNative(t.index1, info.rate) - nativeStart, info.rate);
            }
            DiscTrack track;
            track.number = t.number;
            track.audio = t.audio;
            track.start = disc.totalFrames + std::min(intoTrack, piece.frames);
            track.source = BaseName(path);
            present[t.number] = track;
            addPiece(piece);
            if (t.postgap > 0)
                addPiece(DiscPiece{DiscPiece::Kind::Silence, "", kCdRate, 2, 0, t.postgap * kFramesPerSector,
                                   0, 0});
        }
    }
    NumberTracks(present, &disc);
    if (!disc.HasAudio()) {
        *why = "the sheet names no audio track";
        return std::nullopt;
    }
    return disc;
}

std::optional<Disc> LoadDisc(const std::string& path, std::string* why) {
    if (IsDirectory(path)) return LoadFolder(path, why);
    if (IsFile(path) && EndsWith(Lower(path), ".cue")) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        std::size_t slash = path.rfind('/');
        std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
        std::string cueWhy;
        auto disc = ParseCueSheet(text.str(), path, dir, &cueWhy);
        if (!disc) *why = path + ": " + cueWhy;
        return disc;
    }
    *why = IsFile(path) ? path + " is neither a folder nor a CUE sheet" : path + " does not exist";
    return std::nullopt;
}

}  // namespace platform::mm
