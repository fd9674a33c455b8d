// The read-only registry: the export file format, where the file is found, and the value calls.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/registry/reg_file.h"
#include "platform/trace.h"
#include "tests/support/cd_fixture.h"

namespace {

std::string Bytes(const platform::RegistryValue* v) {
    return v ? std::string(v->bytes.begin(), v->bytes.end()) : "<none>";
}

TEST(RegistryFile, ReadsTheValueFormsOfBothVersions) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillfen Software\\Vexmoor\\1.0]\r\n"
        "\"CD Path\"=\"D:\\\\\"\r\n"
        "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
        "\"Number\"=dword:0000010a\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  ff\r\n"
        "\"Wide\"=hex(2):41,00,e9,00,00,00\r\n"
        "@=\"default\"\r\n"
        "\"Accent\"=\"caf\xC3\xA9 \xE2\x82\xAC\"\r\n"
        "\"Gone\"=\"x\"\r\n"
        "\"Gone\"=-\r\n"
        "[HKLM\\SOFTWARE\\Other]\r\n"
        "\"A\"=\"1\"\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n";
    platform::RegistryData data;
    std::string error;
    ASSERT_TRUE(platform::ParseRegistryFile(text, &data, &error)) << error;
    const std::string key =
        platform::JoinKeyPath("HKEY_LOCAL_MACHINE", "software\\QUILLFEN SOFTWARE\\Vexmoor\\1.0");
    EXPECT_EQ(Bytes(data.FindValue(key, "cd path")), std::string("D:\\\0", 4));
    EXPECT_EQ(Bytes(data.FindValue(key, "Quoted")), std::string("say \"hi\"\0", 9));
    EXPECT_EQ(Bytes(data.FindValue(key, "Number")), std::string("\x0a\x01\0\0", 4));
    EXPECT_EQ(data.FindValue(key, "Number")->type, REG_DWORD);
    EXPECT_EQ(Bytes(data.FindValue(key, "Blob")), "\x01\x02\xff");
    EXPECT_EQ(Bytes(data.FindValue(key, "Wide")), std::string("A\xe9\0", 3));  // UTF-16 in a 5.00 file
    EXPECT_EQ(Bytes(data.FindValue(key, "")), std::string("default\0", 8));
    EXPECT_EQ(Bytes(data.FindValue(key, "Accent")),
              std::string("caf\xe9 \x80\0", 7));  // UTF-8 → Windows-1252
    EXPECT_EQ(data.FindValue(key, "Gone"), nullptr);
    EXPECT_TRUE(data.HasKey(platform::JoinKeyPath("HKEY_LOCAL_MACHINE", "SOFTWARE\\Quillfen Software")));
    EXPECT_FALSE(data.HasKey(platform::JoinKeyPath("HKEY_LOCAL_MACHINE", "SOFTWARE\\Other")));

    // The older format keeps 8-bit text as it is, also in hex(2).
    platform::RegistryData old;
    ASSERT_TRUE(platform::ParseRegistryFile(
        "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"caf\xe9\"\n\"H\"=hex(2):41,42,00\n", &old, &error))
        << error;
    EXPECT_EQ(Bytes(old.FindValue("HKEY_CURRENT_USER\\K", "V")), std::string("caf\xe9\0", 5));
    EXPECT_EQ(Bytes(old.FindValue("HKEY_CURRENT_USER\\K", "H")), std::string("AB\0", 3));
}

TEST(RegistryFile, ReadsUtf16WithByteOrderMark) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\S]\r\n\"CD Path\"=\"E:\\\\\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : utf8) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    platform::RegistryData data;
    std::string error;
    ASSERT_TRUE(platform::ParseRegistryFile(utf16, &data, &error)) << error;
    EXPECT_EQ(Bytes(data.FindValue("HKEY_LOCAL_MACHINE\\S", "CD Path")), std::string("E:\\\0", 4));
}

TEST(RegistryFile, RejectsMalformedTextNamingTheLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "line 1"},
        {"Some other file\n", "line 1"},
        {"REGEDIT4\n\"V\"=\"x\"\n", "line 2: value outside of a key"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", "line 2"},
        {"REGEDIT4\n[HKEY_NOWHERE\\K]\n", "line 2: unknown root key"},
        {"REGEDIT4\n[HKLM\\K]\n\"CD Path\"=\"D:\\\"\n", "line 3: string without closing quote"},
        {"REGEDIT4\n[HKLM\\K]\n\"V\"=dword:123456789\n", "line 3"},
        {"REGEDIT4\n[HKLM\\K]\n\"V\"=hex:1,zz\n", "line 3"},
        {"REGEDIT4\n[HKLM\\K]\n\"V\"=hex:01,\\\n", "line 3"},
        {"REGEDIT4\n[HKLM\\K]\n\"V\" \"x\"\n", "line 3"},
        {"REGEDIT4\n[HKLM\\K]\nV=x\n", "line 3"},
    };
    for (const Case& c : cases) {
        platform::RegistryData data;
        std::string error;
        EXPECT_FALSE(platform::ParseRegistryFile(c.text, &data, &error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    }
}

class RegistryCalls : public cdtest::CdTest {};

TEST_F(RegistryCalls, OpenQueryAndClose) {
    WriteFile("vexmoor.reg",
              "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillfen Software\\Vexmoor\\1.0]\n\"CD "
              "Path\"=\"D:\\\\\"\n");
    SetEnv("VEXMOOR_REGISTRY", Path("vexmoor.reg"));

    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillfen Software\\Vexmoor\\1.0", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "CD Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "CD Path", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    BYTE buffer[16];
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "cd path", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "D:\\");
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", 0, KEY_READ, &other),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(other, nullptr);
    // Subkeys open relative to an open key; nothing here can be written.
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(parent, "Quillfen Software\\Vexmoor\\1.0", 0, KEY_READ, &other), ERROR_SUCCESS);
    RegCloseKey(other);
    EXPECT_EQ(RegOpenKeyExA(parent, "Quillfen Software", 0, KEY_READ | KEY_SET_VALUE, &other),
              ERROR_ACCESS_DENIED);
    RegCloseKey(parent);
}

TEST_F(RegistryCalls, FileIsFoundInTheUsualPlacesAndAMalformedOneReadsAsEmpty) {
    const std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q]\n";
    auto opens = [] {
        HKEY key = nullptr;
        LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Q", 0, KEY_READ, &key);
        if (key) RegCloseKey(key);
        platform::RunResetHooks();  // forget the file read, as a new run would
        return result == ERROR_SUCCESS;
    };
    EXPECT_FALSE(opens());  // no file anywhere: an empty registry

    WriteFile("xdg-system/vexmoor/vexmoor.reg", text);
    EXPECT_TRUE(opens());
    WriteFile("xdg/vexmoor/vexmoor.reg", "REGEDIT4\n");  // the user's file comes first
    EXPECT_FALSE(opens());
    WriteFile("xdg/vexmoor/vexmoor.reg", text);
    EXPECT_TRUE(opens());
    // The game directory's own file comes before both.
    char* here = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(Path("").c_str()), 0);
    WriteFile("vexmoor.reg", "REGEDIT4\n");
    bool inGameDirectory = opens();
    ASSERT_EQ(chdir(here), 0);
    free(here);
    EXPECT_FALSE(inGameDirectory);

    testing::internal::CaptureStderr();
    WriteFile("broken.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Q]\n\"CD Path\"=\"D:\\\"\n");
    SetEnv("VEXMOOR_REGISTRY", Path("broken.reg"));
    EXPECT_FALSE(opens());
    SetEnv("VEXMOOR_REGISTRY", Path("missing.reg"));
    EXPECT_FALSE(opens());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("broken.reg: line 3: string without closing quote"), std::string::npos) << err;
    EXPECT_NE(err.find("missing.reg (from VEXMOOR_REGISTRY) cannot be read"), std::string::npos) << err;
}

}  // namespace
