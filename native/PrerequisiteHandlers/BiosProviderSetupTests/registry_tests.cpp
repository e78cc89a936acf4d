// The lookup against the real registry of the Wine prefix, in both views.

#include "registry.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kKey[] = "SOFTWARE\\BiosProviderSetupTests\\Lookup";
const char kOnly64Key[] = "SOFTWARE\\BiosProviderSetupTests\\Only64";
const char kParentKey[] = "SOFTWARE\\BiosProviderSetupTests";

std::string withNul(const std::string& text) {
    return text + std::string(1, '\0');
}

class RegistryLookup : public ::testing::Test {
protected:
    void TearDown() override {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            deleteRegKey(kKey, view);
            deleteRegKey(kOnly64Key, view);
            deleteRegKey(kParentKey, view);
        }
    }
};

TEST_F(RegistryLookup, ReadsStringValuesAndReportsEveryFailureWithOutUntouched) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        DWORD code;
        std::string out;
    };
    const std::string fills(2047, 'a');
    const Case cases[] = {
        {"string", REG_SZ, withNul("C:\\Program Files\\Tarn Agent\\"), 0,
         "C:\\Program Files\\Tarn Agent\\"},
        {"expandable string, unexpanded", REG_EXPAND_SZ, withNul("%ProgramFiles%\\Tarn\\"), 0,
         "%ProgramFiles%\\Tarn\\"},
        {"fills the 2048 bytes with its NUL", REG_SZ, withNul(fills), 0, fills},
        {"one byte more", REG_SZ, withNul(fills + "b"), 234, "untouched"},
        {"empty string", REG_SZ, withNul(""), 0, ""},
        {"zero bytes", REG_SZ, "", 0, ""},
        {"DWORD", REG_DWORD, std::string("\x2a\0\0\0", 4), 13, "untouched"},
    };
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        const bool use64 = view == KEY_WOW64_64KEY;
        for (const Case& c : cases) {
            writeRegValue(kKey, "Value", c.type, c.bytes, view);
            std::string out = "untouched";
            EXPECT_EQ(getRegValue(kKey, "Value", out, use64), c.code) << c.name << ", 64-bit " << use64;
            EXPECT_EQ(out, c.out) << c.name << ", 64-bit " << use64;
        }
        std::string out = "untouched";
        EXPECT_EQ(getRegValue(kKey, "Missing", out, use64), 2u) << "missing value";
        EXPECT_EQ(out, "untouched");
        EXPECT_EQ(getRegValue("SOFTWARE\\BiosProviderSetupTests\\NoSuchKey", "Value", out, use64), 2u)
            << "missing key";
        EXPECT_EQ(out, "untouched");
    }
}

TEST_F(RegistryLookup, ViewsAreSeparate) {
    writeRegValue(kOnly64Key, "Value", REG_SZ, withNul("C:\\Only64\\"), KEY_WOW64_64KEY);
    std::string out = "untouched";
    EXPECT_EQ(getRegValue(kOnly64Key, "Value", out, false), 2u);
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(getRegValue(kOnly64Key, "Value", out, true), 0u);
    EXPECT_EQ(out, "C:\\Only64\\");
}

}  // namespace
