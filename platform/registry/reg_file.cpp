// Parser of registry export files (Version 5.00, usually UTF-16 with a byte-order mark, and the
// older REGEDIT4 in the 8-bit character set). Strings are handed out in Windows-1252, the
// character set of the program's "A" calls.
#include "platform/registry/reg_file.h"

#include <cstdint>

#include "platform/registry.h"

namespace platform {
namespace {

// Windows-1252 bytes 0x80..0x9F and the characters they stand for.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

BYTE ToAnsi(std::uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<BYTE>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return static_cast<BYTE>(0x80 + i);
    return '?';
}

// Decodes UTF-8; false when the text is not valid UTF-8.
bool DecodeUtf8(const std::string& s, std::vector<std::uint32_t>* out) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size()) return false;
        std::uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out->push_back(cp);
        i += 1 + extra;
    }
    return true;
}

// Text of the file (UTF-8, or 8-bit when it is not valid UTF-8) to Windows-1252 bytes.
std::vector<BYTE> TextToAnsi(const std::string& text) {
    std::vector<std::uint32_t> cps;
    std::vector<BYTE> out;
    if (DecodeUtf8(text, &cps)) {
        for (std::uint32_t cp : cps) out.push_back(ToAnsi(cp));
    } else {
        out.assign(text.begin(), text.end());
    }
    return out;
}

void AppendUtf8(std::uint32_t cp, std::string* out) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Utf16LeToUtf8(const std::string& bytes, std::size_t start) {
    std::string out;
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        std::uint32_t u =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            std::uint32_t low =
                static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                u = 0xFFFD;
            }
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        AppendUtf8(u, &out);
    }
    return out;
}

std::string Fold(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool RootKey(const std::string& folded, std::string* canonical) {
    static const std::pair<const char*, const char*> kRoots[] = {
        {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
        {"HKCR", "HKEY_CLASSES_ROOT"},
        {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
        {"HKCU", "HKEY_CURRENT_USER"},
        {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
        {"HKLM", "HKEY_LOCAL_MACHINE"},
        {"HKEY_USERS", "HKEY_USERS"},
        {"HKU", "HKEY_USERS"},
        {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"}};
    for (const auto& [name, full] : kRoots) {
        if (folded == name) {
            *canonical = full;
            return true;
        }
    }
    return false;
}

// A quoted string starting at text[*pos] == '"', with \\ and \" escapes; *pos ends past the quote.
bool ParseQuoted(const std::string& text, std::size_t* pos, std::string* out) {
    std::size_t i = *pos + 1;
    out->clear();
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size()) {
            char next = text[i + 1];
            if (next == '\\' || next == '"') {
                out->push_back(next);
                i += 2;
                continue;
            }
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexBytes(const std::string& list, std::vector<BYTE>* out) {
    std::string item;
    auto flush = [&]() {
        std::string t = Trim(item);
        item.clear();
        if (t.size() != 2 || HexDigit(t[0]) < 0 || HexDigit(t[1]) < 0) return false;
        out->push_back(static_cast<BYTE>(HexDigit(t[0]) * 16 + HexDigit(t[1])));
        return true;
    };
    if (Trim(list).empty()) return true;
    for (char c : list) {
        if (c == ',') {
            if (!flush()) return false;
        } else {
            item.push_back(c);
        }
    }
    return flush();
}

bool OnlyBlankOrComment(const std::string& rest) {
    std::string t = Trim(rest);
    return t.empty() || t[0] == ';';
}

}  // namespace

bool RegistryData::HasKey(const std::string& foldedPath) const {
    auto it = keys.lower_bound(foldedPath);
    if (it == keys.end()) return false;
    if (it->first == foldedPath) return true;
    return it->first.compare(0, foldedPath.size() + 1, foldedPath + "\\") == 0;
}

const RegistryValue* RegistryData::FindValue(const std::string& foldedPath, const std::string& name) const {
    auto key = keys.find(foldedPath);
    if (key == keys.end()) return nullptr;
    auto value = key->second.find(Fold(name));
    return value == key->second.end() ? nullptr : &value->second;
}

std::string JoinKeyPath(const std::string& foldedBase, const std::string& subKey) {
    std::string out = foldedBase;
    std::size_t start = 0;
    while (start <= subKey.size()) {
        std::size_t end = subKey.find('\\', start);
        if (end == std::string::npos) end = subKey.size();
        if (end > start) out += "\\" + Fold(subKey.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool ParseRegistryFile(const std::string& raw, RegistryData* out, std::string* error) {
    std::string text;
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE)
        text = Utf16LeToUtf8(raw, 2);
    else if (raw.rfind("\xEF\xBB\xBF", 0) == 0)
        text = raw.substr(3);
    else
        text = raw;

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }

    auto fail = [&](std::size_t lineIndex, const std::string& what) {
        *error = "line " + std::to_string(lineIndex + 1) + ": " + what;
        return false;
    };

    std::size_t n = 0;
    while (n < lines.size() && Trim(lines[n]).empty()) ++n;
    if (n == lines.size()) return fail(0, "empty file, expected \"Windows Registry Editor Version 5.00\"");
    std::string header = Trim(lines[n]);
    bool wide;
    if (header == "Windows Registry Editor Version 5.00")
        wide = true;
    else if (header == "REGEDIT4")
        wide = false;
    else
        return fail(n, "expected \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");

    // Values belong to the key of the last [key] line; after a [-key] line they are dropped with it.
    std::map<std::string, RegistryValue>* current = nullptr;
    bool inDeletedKey = false;
    for (++n; n < lines.size(); ++n) {
        std::string line = Trim(lines[n]);
        if (line.empty() || line[0] == ';') continue;

        if (line[0] == '[') {
            if (line.back() != ']') return fail(n, "key name without closing ']'");
            std::string name = line.substr(1, line.size() - 2);
            bool remove = !name.empty() && name[0] == '-';
            if (remove) name.erase(0, 1);
            std::size_t slash = name.find('\\');
            std::string root;
            if (!RootKey(Fold(name.substr(0, slash)), &root))
                return fail(n, "unknown root key in [" + name + "]");
            std::string path = JoinKeyPath(root, slash == std::string::npos ? "" : name.substr(slash + 1));
            if (remove) {
                for (auto it = out->keys.begin(); it != out->keys.end();) {
                    bool under = it->first == path || it->first.compare(0, path.size() + 1, path + "\\") == 0;
                    it = under ? out->keys.erase(it) : std::next(it);
                }
                current = nullptr;
            } else {
                current = &out->keys[path];
            }
            inDeletedKey = remove;
            continue;
        }

        if (line[0] != '"' && line[0] != '@') return fail(n, "expected [key], \"name\"=value or @=value");
        if (!current && !inDeletedKey) return fail(n, "value outside of a key");
        std::string name;
        std::size_t pos = 1;
        if (line[0] == '"') {
            pos = 0;
            if (!ParseQuoted(line, &pos, &name)) return fail(n, "value name without closing quote");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') return fail(n, "expected '=' after the value name");
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        std::string rest = line.substr(pos);
        std::string folded = Fold(name);

        RegistryValue value;
        if (!rest.empty() && rest[0] == '"') {
            std::string s;
            std::size_t p = 0;
            if (!ParseQuoted(rest, &p, &s))
                return fail(n, "string without closing quote (a backslash is written \\\\)");
            if (!OnlyBlankOrComment(rest.substr(p))) return fail(n, "text after the closing quote");
            value.type = REG_SZ;
            value.bytes = TextToAnsi(s);
            value.bytes.push_back(0);
        } else if (Trim(rest) == "-") {
            if (current) current->erase(folded);
            continue;
        } else if (Fold(rest.substr(0, 6)) == "DWORD:") {
            std::string digits = Trim(rest.substr(6));
            if (digits.empty() || digits.size() > 8) return fail(n, "dword: needs 1 to 8 hexadecimal digits");
            DWORD v = 0;
            for (char c : digits) {
                if (HexDigit(c) < 0) return fail(n, "dword: needs 1 to 8 hexadecimal digits");
                v = v * 16 + static_cast<DWORD>(HexDigit(c));
            }
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) value.bytes.push_back(static_cast<BYTE>(v >> (8 * i)));
        } else if (Fold(rest.substr(0, 3)) == "HEX") {
            std::size_t colon = rest.find(':');
            if (colon == std::string::npos) return fail(n, "hex value without ':'");
            std::string kind = rest.substr(3, colon - 3);
            value.type = REG_BINARY;
            if (!kind.empty()) {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' || kind.size() > 10)
                    return fail(n, "expected hex: or hex(type):");
                DWORD t = 0;
                for (std::size_t i = 1; i + 1 < kind.size(); ++i) {
                    if (HexDigit(kind[i]) < 0) return fail(n, "expected hex: or hex(type):");
                    t = t * 16 + static_cast<DWORD>(HexDigit(kind[i]));
                }
                value.type = t;
            }
            std::string list = rest.substr(colon + 1);
            // A long list goes on over the following lines, each but the last ending in a backslash.
            while (!Trim(list).empty() && Trim(list).back() == '\\') {
                list = Trim(list);
                list.pop_back();
                if (++n >= lines.size()) return fail(n - 1, "hex list continued past the end of the file");
                list += lines[n];
            }
            std::size_t comment = list.find(';');
            if (comment != std::string::npos) list.erase(comment);
            if (!ParseHexBytes(list, &value.bytes)) return fail(n, "malformed hex byte list");
            bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
            if (text && wide) {
                std::string raw16(value.bytes.begin(), value.bytes.end());
                std::vector<std::uint32_t> cps;
                DecodeUtf8(Utf16LeToUtf8(raw16, 0), &cps);
                value.bytes.clear();
                for (std::uint32_t cp : cps) value.bytes.push_back(ToAnsi(cp));
            }
        } else {
            return fail(n, "unknown value form (expected \"text\", dword:, hex: or -)");
        }
        if (current) (*current)[folded] = std::move(value);
    }
    return true;
}

}  // namespace platform
