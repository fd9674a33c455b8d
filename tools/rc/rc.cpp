// vexmoor_rc, the build's resource compiler: reads resource lists ("NAME TYPE FILE" lines) and
// writes one C++ source that holds every resource as a byte array and registers the table with
// the platform layer at start-up, plus a depfile naming every file it read.
//   vexmoor_rc OUTPUT.cpp DEPFILE LIST...
// Types: BITMAP, a .bmp file, stored without its 14-byte file header as bitmap resources are;
// ICON, an .ico file stored as it is, or a .txt picture (see IconFromPicture) drawn into one.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Entry {
    std::string name;
    int type;
    std::vector<std::uint8_t> bytes;
};

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "vexmoor_rc: %s\n", message.c_str());
    std::exit(1);
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Die("cannot open " + path.string());
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A 32 × 32 picture in text: 32 rows of 32 characters, '0'-'9' and 'a'-'f' the sixteen standard
// colours below, '.' transparent; lines starting with '#' are comments. Written as a 16-colour icon.
std::vector<std::uint8_t> IconFromPicture(const fs::path& path) {
    static const std::uint32_t kColours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    constexpr int kSide = 32;
    std::ifstream in(path);
    if (!in) Die("cannot open " + path.string());
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.size() != kSide) Die(path.string() + ": a picture row is not 32 characters: " + line);
        for (char c : line) {
            if (c != '.' && !std::isxdigit(static_cast<unsigned char>(c)))
                Die(path.string() + ": unknown colour '" + std::string(1, c) + "'");
        }
        rows.push_back(line);
    }
    if (rows.size() != kSide) Die(path.string() + ": the picture does not have 32 rows");

    constexpr std::uint32_t kColourBytes = kSide * kSide / 2, kMaskBytes = kSide * 4;
    constexpr std::uint32_t kImageBytes = 40 + 16 * 4 + kColourBytes + kMaskBytes;
    std::vector<std::uint8_t> out;
    Put16(out, 0), Put16(out, 1), Put16(out, 1);  // icon directory: one image
    out.insert(out.end(), {kSide, kSide, 16, 0});
    Put16(out, 1), Put16(out, 4), Put32(out, kImageBytes), Put32(out, 22);
    Put32(out, 40), Put32(out, kSide), Put32(out, 2 * kSide);  // the height counts the mask rows too
    Put16(out, 1), Put16(out, 4), Put32(out, 0), Put32(out, kColourBytes + kMaskBytes);
    Put32(out, 0), Put32(out, 0), Put32(out, 16), Put32(out, 0);
    for (std::uint32_t c : kColours) Put32(out, c);
    auto index = [](char c) { return c == '.' ? 0 : std::stoi(std::string(1, c), nullptr, 16); };
    for (int y = kSide - 1; y >= 0; --y) {
        for (int x = 0; x < kSide; x += 2)
            out.push_back(static_cast<std::uint8_t>((index(rows[y][x]) << 4) | index(rows[y][x + 1])));
    }
    for (int y = kSide - 1; y >= 0; --y) {
        for (int x = 0; x < kSide; x += 8) {
            std::uint8_t bits = 0;
            for (int i = 0; i < 8; ++i) bits |= rows[y][x + i] == '.' ? 0x80 >> i : 0;
            out.push_back(bits);
        }
    }
    return out;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void ReadList(const fs::path& list, std::vector<Entry>* entries, std::vector<fs::path>* read) {
    std::ifstream in(list);
    if (!in) Die("cannot open " + list.string());
    read->push_back(list);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::istringstream fields(line);
        std::string name, type, file;
        if (!(fields >> name) || name[0] == '#') continue;
        if (!(fields >> type >> file))
            Die(list.string() + ":" + std::to_string(number) + ": expected NAME TYPE FILE");
        fs::path path = fs::path(file).is_absolute() ? fs::path(file) : list.parent_path() / file;
        read->push_back(path);
        Entry entry{Upper(name), 0, {}};
        if (type == "BITMAP") {
            entry.type = 2;
            std::vector<std::uint8_t> bytes = ReadAll(path);
            if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M')
                Die(path.string() + " is not a BMP file");
            entry.bytes.assign(bytes.begin() + 14, bytes.end());
        } else if (type == "ICON") {
            entry.type = 14;
            entry.bytes = path.extension() == ".txt" ? IconFromPicture(path) : ReadAll(path);
        } else {
            Die(list.string() + ":" + std::to_string(number) + ": unknown resource type " + type);
        }
        entries->push_back(std::move(entry));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) Die("usage: vexmoor_rc OUTPUT.cpp DEPFILE LIST...");
    std::vector<Entry> entries;
    std::vector<fs::path> read;
    for (int i = 3; i < argc; ++i) ReadList(argv[i], &entries, &read);
    if (entries.empty()) Die("no resources listed");

    std::ostringstream code;
    code << "// Generated by vexmoor_rc from the resource lists; do not edit.\n"
         << "#include \"platform/resources/resource_table.h\"\n\nnamespace {\n\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        code << "const std::uint8_t kData" << i << "[] = {";
        for (std::size_t b = 0; b < entries[i].bytes.size(); ++b)
            code << (b % 16 ? " " : "\n    ") << static_cast<int>(entries[i].bytes[b]) << ",";
        code << "\n};\n";
    }
    code << "\nconst platform::EmbeddedResource kResources[] = {\n";
    for (std::size_t i = 0; i < entries.size(); ++i)
        code << "    {\"" << entries[i].name << "\", " << entries[i].type << ", kData" << i
             << ", sizeof kData" << i << "},\n";
    code << "};\n\n[[maybe_unused]] const bool kRegistered =\n    "
            "platform::RegisterEmbeddedResources(kResources, "
         << entries.size() << ");\n\n}  // namespace\n";

    std::ofstream out(argv[1]);
    out << code.str();
    std::ofstream dep(argv[2]);
    dep << argv[1] << ":";
    for (const fs::path& p : read) dep << " \\\n  " << fs::absolute(p).string();
    dep << "\n";
    return out && dep ? 0 : 1;
}
