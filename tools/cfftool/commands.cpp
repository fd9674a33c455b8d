// The commands of cfftool. Each one checks its input fully before it writes anything, checks that
// what it packed decodes back to the same indices, and says in one line what went wrong.
#include "tools/cfftool/commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "gfx/gfx.h"
#include "tools/cfftool/encoder.h"
#include "tools/cfftool/formats.h"
#include "tools/cfftool/png_io.h"
#include "tools/cfftool/quantize.h"

namespace cff {

namespace {

constexpr const char* kUsage = R"(cfftool - packs pictures into the toolkit's CFF and image-set files and back

usage:
  cfftool pack IN.png OUT.cff [--encoder smallest|greedy]
      Packs a PNG (palettised, or true colour reduced to 256 colours) into a CFF picture.
  cfftool unpack IN.cff OUT.png [--size WxH]
      Unpacks a CFF picture into a palettised PNG. The size defaults to 640x480; a stream
      that decodes to any other number of pixels is refused.
  cfftool info FILE... [--cff | --set]
      Describes CFF pictures and image sets and checks that the toolkit loads them.
  cfftool set-pack OUT.set IN.png... [--layout 2|3] [--palette FILE]
      Packs PNGs, in the order given, into an image set. Layout 2 (one size for all) is the
      default when all pictures have the same size, layout 3 (a size for each) otherwise.
      True-colour PNGs need --palette to map them to the set's colours.
  cfftool set-unpack IN.set OUT-PREFIX [--palette FILE]
      Writes image i of a set to OUT-PREFIX followed by i (three digits or more) and .png.
      Without --palette the pictures get a grey ramp (index i shown as grey level i).

A palette FILE is a 768-byte palette file (6 bits per component) or a .cff picture, whose
palette is taken. Exit codes: 0 done, 1 a file could not be read, was invalid or could not
be written, 2 the command line was wrong.
)";

struct Command {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

// Splits arguments into positional ones and --name value / --name=value options; `flags` take no
// value. False (with the reason) on an option the command does not know.
bool ParseArguments(const std::vector<std::string>& arguments, const std::set<std::string>& valued,
                    const std::set<std::string>& flags, Command* command, std::string* error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            command->positional.push_back(a);
            continue;
        }
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        if (flags.count(name) && equals == std::string::npos) {
            command->options[name] = "";
        } else if (valued.count(name)) {
            if (equals != std::string::npos) {
                command->options[name] = a.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                command->options[name] = arguments[++i];
            } else {
                *error = name + " needs a value";
                return false;
            }
        } else {
            *error = "unknown option " + name;
            return false;
        }
    }
    return true;
}

class Reporter {
  public:
    Reporter(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    std::ostream& out() { return out_; }
    int Fail(const std::string& message) {
        err_ << "cfftool: error: " << message << "\n";
        return kExitFailed;
    }
    int Usage(const std::string& message) {
        err_ << "cfftool: " << message << "\nRun 'cfftool --help' for usage.\n";
        return kExitUsage;
    }
    void Note(const std::string& message) { err_ << "cfftool: note: " << message << "\n"; }

  private:
    std::ostream& out_;
    std::ostream& err_;
};

bool HasExtension(const std::string& path, const std::string& extension) {
    if (path.size() < extension.size()) return false;
    return std::equal(extension.rbegin(), extension.rend(), path.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool ParseSize(const std::string& text, std::uint32_t* width, std::uint32_t* height) {
    unsigned long w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%lu%c%lu%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (w == 0 || h == 0 || w > 65535 || h > 65535) return false;
    *width = static_cast<std::uint32_t>(w);
    *height = static_cast<std::uint32_t>(h);
    return true;
}

std::string Size(std::uint64_t w, std::uint64_t h) {
    return std::to_string(w) + " x " + std::to_string(h);
}

Palette6 PaletteFromRgb(const std::vector<Rgb>& entries) {
    Palette6 palette{};
    for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
        palette.bytes[3 * i] = EightToSix(entries[i].r);
        palette.bytes[3 * i + 1] = EightToSix(entries[i].g);
        palette.bytes[3 * i + 2] = EightToSix(entries[i].b);
    }
    return palette;
}

void PaletteToRgb(const Palette6& palette, Rgb (&entries)[256]) {
    for (int i = 0; i < 256; ++i) {
        entries[i] = {SixToEight(palette.bytes[3 * i]), SixToEight(palette.bytes[3 * i + 1]),
                      SixToEight(palette.bytes[3 * i + 2])};
    }
}

// A palette given with --palette: a CFF picture's palette or a palette file's first 768 bytes.
bool ReadPaletteOption(const std::string& path, Palette6* palette, std::string* error) {
    if (HasExtension(path, ".cff")) {
        std::vector<std::uint8_t> file;
        CffInfo info;
        if (!ReadWholeFile(path, &file, error)) return false;
        if (!ParseCff(file, &info, error)) {
            *error = path + ": " + *error;
            return false;
        }
        *palette = info.palette;
        return true;
    }
    if (!LoadPaletteFile(path.c_str(), palette)) {
        *error = path + ": cannot be read as a palette file (768 bytes of 6-bit red, green, blue)";
        return false;
    }
    return true;
}

// Checks a packed stream against the indices it was made from, through the toolkit's decoder.
bool DecodesBackTo(const std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& indices) {
    std::vector<std::uint8_t> decoded(indices.size());
    std::size_t length = 0;
    return RleDecodeBounded(stream.data(), stream.size(), decoded.data(), decoded.size(), &length) &&
           length == indices.size() && decoded == indices;
}

// The picture's palette indices: a palettised PNG's as stored, a true-colour one's reduced.
struct Indexed {
    std::vector<std::uint8_t> indices;
    Palette6 palette{};
};

int Pack(const Command& command, Reporter& report) {
    if (command.positional.size() != 2) return report.Usage("pack takes IN.png and OUT.cff");
    const std::string& in = command.positional[0];
    const std::string& outPath = command.positional[1];
    const std::string encoder =
        command.options.count("--encoder") ? command.options.at("--encoder") : "smallest";
    if (encoder != "smallest" && encoder != "greedy") return report.Usage("--encoder is smallest or greedy");

    PngPicture picture;
    std::string error;
    if (!ReadPng(in, &picture, &error)) return report.Fail(error);
    if (picture.alphaDropped) report.Note(in + " has transparency; it is ignored");

    Indexed indexed;
    std::string colours;
    if (picture.indexed) {
        indexed.indices = std::move(picture.indices);
        indexed.palette = PaletteFromRgb(picture.palette);
        colours = "palettised, " + std::to_string(picture.palette.size()) + " palette entries";
    } else {
        Reduction reduction = ReduceColours(picture.rgb);
        indexed.indices = std::move(reduction.indices);
        indexed.palette = reduction.palette;
        colours = reduction.exact
                      ? "true colour, " + std::to_string(reduction.distinctColours) + " colours kept exactly"
                      : "true colour, " + std::to_string(reduction.distinctColours) +
                            " colours reduced to 256 with Wu's quantiser";
    }

    const std::vector<std::uint8_t> smallest = EncodeSmallest(indexed.indices.data(), indexed.indices.size());
    const std::vector<std::uint8_t> greedy = EncodeGreedy(indexed.indices.data(), indexed.indices.size());
    const std::vector<std::uint8_t>& stream = encoder == "greedy" ? greedy : smallest;
    if (!DecodesBackTo(stream, indexed.indices))
        return report.Fail("internal error: the packed stream does not decode back");
    if (!WriteWholeFile(outPath, BuildCff(picture.width, picture.height, stream, indexed.palette), &error)) {
        return report.Fail(error);
    }
    report.out() << "wrote " << outPath << ": " << Size(picture.width, picture.height) << " (" << colours
                 << "), stream " << stream.size() << " bytes (smallest " << smallest.size()
                 << ", PackBits-style greedy " << greedy.size() << ")\n";
    return kExitOk;
}

int Unpack(const Command& command, Reporter& report) {
    if (command.positional.size() != 2) return report.Usage("unpack takes IN.cff and OUT.png");
    const std::string& in = command.positional[0];
    std::uint32_t width = 640, height = 480;
    if (command.options.count("--size") && !ParseSize(command.options.at("--size"), &width, &height)) {
        return report.Usage("--size is WIDTHxHEIGHT, each 1 to 65535, e.g. 640x480");
    }

    std::vector<std::uint8_t> file;
    CffInfo info;
    std::string error;
    if (!ReadWholeFile(in, &file, &error)) return report.Fail(error);
    if (!ParseCff(file, &info, &error)) return report.Fail(in + ": " + error);
    if (!info.streamComplete) {
        return report.Fail(in + ": the picture's stream has no end byte within the " +
                           std::to_string(info.bodySize) + " bytes before the palette");
    }
    const std::uint64_t wanted = std::uint64_t{width} * height;
    if (info.decodedSize != wanted) {
        std::string hint;
        if (std::uint64_t{info.first} * info.second == info.decodedSize && info.decodedSize > 0) {
            hint = "; its header says " + std::to_string(info.first) + "x" + std::to_string(info.second) +
                   ": try --size " + std::to_string(info.first) + "x" + std::to_string(info.second);
        }
        return report.Fail(in + ": the stream decodes to " + std::to_string(info.decodedSize) +
                           " pixels, not " + Size(width, height) + " = " + std::to_string(wanted) + hint);
    }

    std::vector<std::uint8_t> pixels(wanted);
    Palette6 palette;
    if (!LoadCffImage(in.c_str(), &palette, pixels.data(), pixels.size())) {
        return report.Fail(in + ": the toolkit's loader refused the file");
    }
    Rgb entries[256];
    PaletteToRgb(palette, entries);
    const std::string& outPath = command.positional[1];
    if (!WriteIndexedPng(outPath, width, height, pixels, entries, &error)) return report.Fail(error);
    report.out() << "wrote " << outPath << ": " << Size(width, height) << ", 256 palette entries\n";
    return kExitOk;
}

// What a set's image streams decode to; an empty string when every one is sound.
std::string CheckSetStreams(const std::vector<std::uint8_t>& file, const SetInfo& set,
                            std::vector<std::string>* lines) {
    std::string problem;
    for (std::size_t i = 0; i < set.entries.size(); ++i) {
        const SetEntryInfo& e = set.entries[i];
        std::size_t decoded = 0;
        std::string line = "  image " + std::to_string(i) + ": " + Size(e.width, e.height) + ", " +
                           std::to_string(e.packedSize) + " packed bytes at offset " +
                           std::to_string(e.offset);
        const std::uint64_t size = std::uint64_t{e.width} * e.height;
        if (!RleMeasure(file.data() + e.offset, e.packedSize, &decoded)) {
            line += ", stream incomplete (no end byte within its packed bytes)";
            if (problem.empty()) problem = "image " + std::to_string(i) + "'s stream is incomplete";
        } else {
            line += ", decodes to " + std::to_string(decoded) + " pixels";
            if (decoded > size) {
                line += ", more than the image holds";
                if (problem.empty())
                    problem = "image " + std::to_string(i) +
                              "'s stream decodes to more pixels than the image holds";
            } else if (decoded < size) {
                line += " (the rest stays 0)";
            }
        }
        if (lines) lines->push_back(line);
    }
    return problem;
}

int InfoCff(const std::string& path, const std::vector<std::uint8_t>& file, Reporter& report) {
    CffInfo info;
    std::string error;
    if (!ParseCff(file, &info, &error)) return report.Fail(path + ": " + error);
    std::ostream& out = report.out();
    out << path << ": CFF picture, " << file.size() << " bytes\n";
    out << "  header values: " << info.first << ", " << info.second << "\n";
    std::set<std::uint32_t> distinct;
    int above63 = 0;
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t* c = info.palette.bytes + 3 * i;
        distinct.insert(static_cast<std::uint32_t>(c[0]) << 16 | c[1] << 8 | c[2]);
        above63 += (c[0] > 63) + (c[1] > 63) + (c[2] > 63);
    }
    if (!info.streamComplete) {
        out << "  stream: incomplete, no end byte within the " << info.bodySize
            << " bytes before the palette\n";
    } else {
        out << "  stream: " << info.streamSize << " bytes, decodes to " << info.decodedSize << " pixels";
        if (info.decodedSize == kCffPictureSize) out << " (640 x 480, the credits background's size)";
        if (std::uint64_t{info.first} * info.second == info.decodedSize &&
            info.decodedSize != kCffPictureSize) {
            out << " (" << Size(info.first, info.second) << " as the header says)";
        }
        out << "\n";
        if (info.bodySize > info.streamSize) {
            out << "  " << info.bodySize - info.streamSize
                << " unused bytes between the stream and the palette\n";
        }
    }
    out << "  palette: " << distinct.size() << " distinct colours";
    if (above63)
        out << ", " << above63 << " components above 63 (the display keeps only their low bits after x4)";
    out << "\n";
    if (!info.streamComplete)
        return report.Fail(path + ": the toolkit refuses this file: its stream is incomplete");
    out << "  loads with the toolkit: yes, into a buffer of " << info.decodedSize << " bytes or more\n";
    return kExitOk;
}

int InfoSet(const std::string& path, const std::vector<std::uint8_t>& file, Reporter& report) {
    SetInfo set;
    std::string error;
    if (!ParseImageSet(file, &set, &error)) return report.Fail(path + ": " + error);
    std::ostream& out = report.out();
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", set.typeByte);
    out << path << ": image set, layout " << set.layout << " (type byte " << type << "), "
        << set.entries.size() << " images, " << file.size() << " bytes\n";
    std::vector<std::string> lines;
    const std::string problem = CheckSetStreams(file, set, &lines);
    for (const std::string& line : lines) out << line << "\n";
    if (file.size() > set.dataEnd)
        out << "  " << file.size() - set.dataEnd << " bytes after the last image\n";
    if (!problem.empty()) return report.Fail(path + ": the toolkit refuses this file: " + problem);
    ImageSetEntry* loaded = LoadImageSet(path.c_str());
    if (!loaded)
        return report.Fail(
            path + ": the toolkit refuses this file (an image larger than its packed data could fill)");
    FreeImageSet(loaded);
    out << "  loads with the toolkit: yes\n";
    return kExitOk;
}

int Info(const Command& command, Reporter& report) {
    if (command.positional.empty()) return report.Usage("info takes one or more files");
    if (command.options.count("--cff") && command.options.count("--set"))
        return report.Usage("give --cff or --set, not both");
    int result = kExitOk;
    for (const std::string& path : command.positional) {
        std::vector<std::uint8_t> file;
        std::string error;
        int one;
        if (!ReadWholeFile(path, &file, &error)) {
            one = report.Fail(error);
        } else if (command.options.count("--cff")) {
            one = InfoCff(path, file, report);
        } else if (command.options.count("--set")) {
            one = InfoSet(path, file, report);
        } else {
            // A .cff name or anything that is not a well-formed image set is taken for a CFF picture.
            SetInfo set;
            const bool looksLikeSet = !HasExtension(path, ".cff") && ParseImageSet(file, &set, &error) &&
                                      set.dataEnd == file.size();
            one = looksLikeSet ? InfoSet(path, file, report) : InfoCff(path, file, report);
        }
        if (one != kExitOk) result = one;
    }
    return result;
}

int SetPack(const Command& command, Reporter& report) {
    if (command.positional.size() < 2) return report.Usage("set-pack takes OUT.set and at least one IN.png");
    const std::string& outPath = command.positional[0];
    const std::vector<std::string> inputs(command.positional.begin() + 1, command.positional.end());
    if (inputs.size() > 65535) return report.Usage("an image set holds at most 65535 images");
    int layout = 0;
    if (command.options.count("--layout")) {
        const std::string& l = command.options.at("--layout");
        if (l != "2" && l != "3") return report.Usage("--layout is 2 or 3");
        layout = l[0] - '0';
    }
    std::string error;
    std::optional<Palette6> palette;
    if (command.options.count("--palette")) {
        Palette6 p;
        if (!ReadPaletteOption(command.options.at("--palette"), &p, &error)) return report.Fail(error);
        palette = p;
    }

    std::vector<SetImage> images;
    for (const std::string& in : inputs) {
        PngPicture picture;
        if (!ReadPng(in, &picture, &error)) return report.Fail(error);
        if (picture.alphaDropped) report.Note(in + " has transparency; it is ignored");
        std::vector<std::uint8_t> indices;
        if (picture.indexed) {
            indices = std::move(picture.indices);
        } else if (palette) {
            indices = MapToPalette(picture.rgb, *palette);
        } else {
            return report.Fail(in + " is true colour: give --palette FILE to map it to the set's colours");
        }
        SetImage image{static_cast<std::uint16_t>(picture.width), static_cast<std::uint16_t>(picture.height),
                       EncodeSmallest(indices.data(), indices.size())};
        if (!DecodesBackTo(image.stream, indices))
            return report.Fail("internal error: the packed stream does not decode back");
        images.push_back(std::move(image));
    }
    const bool oneSize = std::all_of(images.begin(), images.end(), [&](const SetImage& i) {
        return i.width == images[0].width && i.height == images[0].height;
    });
    if (layout == 0) layout = oneSize ? 2 : 3;
    if (layout == 2 && !oneSize)
        return report.Fail("layout 2 needs pictures of one size; these differ (use --layout 3)");
    if (!WriteWholeFile(outPath, BuildImageSet(layout, images), &error)) return report.Fail(error);
    std::size_t packed = 0;
    for (const SetImage& i : images) packed += i.stream.size();
    report.out() << "wrote " << outPath << ": layout " << layout << ", " << images.size() << " images, "
                 << packed << " packed bytes\n";
    return kExitOk;
}

int SetUnpack(const Command& command, Reporter& report) {
    if (command.positional.size() != 2) return report.Usage("set-unpack takes IN.set and OUT-PREFIX");
    const std::string& in = command.positional[0];
    const std::string& prefix = command.positional[1];
    std::string error;
    Rgb entries[256];
    if (command.options.count("--palette")) {
        Palette6 palette;
        if (!ReadPaletteOption(command.options.at("--palette"), &palette, &error)) return report.Fail(error);
        PaletteToRgb(palette, entries);
    } else {
        for (int i = 0; i < 256; ++i) {
            const auto grey = static_cast<std::uint8_t>(i);
            entries[i] = {grey, grey, grey};
        }
    }

    std::vector<std::uint8_t> file;
    SetInfo set;
    if (!ReadWholeFile(in, &file, &error)) return report.Fail(error);
    if (!ParseImageSet(file, &set, &error)) return report.Fail(in + ": " + error);
    const std::string problem = CheckSetStreams(file, set, nullptr);
    if (!problem.empty()) return report.Fail(in + ": " + problem);
    ImageSetEntry* loaded = LoadImageSet(in.c_str());
    if (!loaded) return report.Fail(in + ": the toolkit's loader refused the file");

    const std::size_t digits =
        std::max<std::size_t>(3, std::to_string(set.entries.empty() ? 0 : set.entries.size() - 1).size());
    int result = kExitOk;
    std::size_t written = 0;
    for (std::size_t i = 0; loaded[i].pixels; ++i) {
        std::string number = std::to_string(i);
        number.insert(0, digits - number.size(), '0');
        if (loaded[i].width == 0 || loaded[i].height == 0) {
            report.Note("image " + number + " is " + Size(loaded[i].width, loaded[i].height) +
                        ": no picture to write");
            continue;
        }
        const std::string path = prefix + number + ".png";
        const std::vector<std::uint8_t> pixels(
            loaded[i].pixels, loaded[i].pixels + std::size_t{loaded[i].width} * loaded[i].height);
        if (!WriteIndexedPng(path, loaded[i].width, loaded[i].height, pixels, entries, &error)) {
            result = report.Fail(error);
            break;
        }
        ++written;
    }
    FreeImageSet(loaded);
    if (result == kExitOk)
        report.out() << "wrote " << written << " pictures from " << in << " to " << prefix << "*.png\n";
    return result;
}

}  // namespace

int RunCfftool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Reporter report(out, err);
    if (arguments.empty()) return report.Usage("no command given");
    const std::string& name = arguments[0];
    if (name == "--help" || name == "-h" || name == "help") {
        out << kUsage;
        return kExitOk;
    }
    struct Entry {
        int (*run)(const Command&, Reporter&);
        std::set<std::string> valued;
        std::set<std::string> flags;
    };
    const std::map<std::string, Entry> commands = {
        {"pack", {Pack, {"--encoder"}, {}}},
        {"unpack", {Unpack, {"--size"}, {}}},
        {"info", {Info, {}, {"--cff", "--set"}}},
        {"set-pack", {SetPack, {"--layout", "--palette"}, {}}},
        {"set-unpack", {SetUnpack, {"--palette"}, {}}},
    };
    const auto found = commands.find(name);
    if (found == commands.end()) return report.Usage("unknown command '" + name + "'");
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        out << kUsage;
        return kExitOk;
    }
    Command command;
    std::string error;
    if (!ParseArguments(rest, found->second.valued, found->second.flags, &command, &error))
        return report.Usage(error);
    return found->second.run(command, report);
}

}  // namespace cff
