// The read-only file layer: opening by relative, backslashed and differently cased names, reading,
// sizing and positioning, and refusing what cannot be opened or is not open.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace {

class FilesTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexmoor-files-XXXXXX";
        dir_ = mkdtemp(pattern);
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(saved_);
        std::filesystem::remove_all(dir_);
    }
    static void Write(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    static HANDLE Open(const char* name) {
        SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, &security, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static std::string ReadAll(HANDLE file) {
        char buffer[64] = {};
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
        return std::string(buffer, read);
    }

    std::string dir_;
    std::filesystem::path saved_;
};

TEST_F(FilesTest, OpensByTheNamesAWindowsProgramUses) {
    std::filesystem::create_directory("Data");
    Write("Data/CREDBACK.CFF", "picture");
    Write("credits.dat", "text");
    struct Case {
        const char* name;
        const char* contents;  // null when the open must fail
    };
    const Case cases[] = {
        {"credits.dat", "text"},
        {"./credits.dat", "text"},
        {"CREDITS.DAT", "text"},
        {"Data/CREDBACK.CFF", "picture"},
        {"data\\credback.cff", "picture"},
        {"missing.dat", nullptr},
        {"Data", nullptr},
        {"Data/missing/credback.cff", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE file = Open(c.name);
        if (!c.contents) {
            EXPECT_EQ(file, INVALID_HANDLE_VALUE);
            continue;
        }
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(ReadAll(file), c.contents);
        EXPECT_TRUE(CloseHandle(file));
    }
    // Two names that differ only in case make a third spelling ambiguous: it is not guessed.
    Write("Palette.pal", "a");
    Write("PALETTE.pal", "b");
    EXPECT_EQ(Open("palette.PAL"), INVALID_HANDLE_VALUE);
    // Writing is not offered.
    EXPECT_EQ(
        CreateFileA("credits.dat", 0x40000000u, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
        INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, ReadsSizesAndSeeks) {
    Write("data.bin", "0123456789");
    HANDLE file = Open("data.bin");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);

    char buffer[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "0123");
    EXPECT_EQ(SetFilePointer(file, 7, nullptr, FILE_BEGIN), 7u);
    EXPECT_TRUE(ReadFile(file, buffer, 8, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "789") << "a read at the end delivers what is there";
    EXPECT_TRUE(ReadFile(file, buffer, 8, &read, nullptr));
    EXPECT_EQ(read, 0u);

    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_CURRENT), 5u);
    EXPECT_EQ(SetFilePointer(file, -6, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    LONG highMove = 1;
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(file, 0, &highMove, FILE_BEGIN), 0u) << "4 GiB: past the end is allowed";
    EXPECT_EQ(highMove, 1);
    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_TRUE(ReadFile(file, buffer, 1, &read, nullptr));
    EXPECT_EQ(buffer[0], '3');

    EXPECT_TRUE(CloseHandle(file));
    // The handle is gone: every call on it fails instead of touching another file.
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_FALSE(ReadFile(file, buffer, 1, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

}  // namespace
