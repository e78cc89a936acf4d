// Byte-level rules that the real system cannot always be made to exercise.

#include "registry.h"
#include "text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

LeadBytes noLeadBytes() {
    return LeadBytes{};
}

// Lead bytes of code page 932 (Japanese), where a trail byte can be 0x5C, the backslash.
LeadBytes shiftJisLeadBytes() {
    LeadBytes lead{};
    for (unsigned b = 0x81; b <= 0x9F; ++b) lead[b] = true;
    for (unsigned b = 0xE0; b <= 0xFC; ++b) lead[b] = true;
    return lead;
}

std::string trimmed(const std::string& block, const LeadBytes& lead) {
    Span span = trimmedSpan(block.data(), block.size(), lead);
    return block.substr(span.begin, span.end - span.begin);
}

struct TrimCase {
    const char* name;
    std::string block;
    std::string expected;
};

TEST(Trim, RemovesTheSixWhitespaceCharactersAtBothEndsOnly) {
    const TrimCase cases[] = {
        {"line with blanks and CR LF", "  hello world\r\n", "hello world"},
        {"every whitespace character", " \t\n\v\f\rx \t\n\v\f\r", "x"},
        {"inner line breaks kept", "\r\none\r\ntwo\r\n", "one\r\ntwo"},
        {"only whitespace", " \r\n\t", ""},
        {"empty", "", ""},
        {"no whitespace", "abc", "abc"},
        {"other control bytes kept", "\x1b" "a\x7f", "\x1b" "a\x7f"},
        {"high bytes kept", "\xa0text\xa0", "\xa0text\xa0"},
    };
    for (const LeadBytes& lead : {noLeadBytes(), shiftJisLeadBytes()}) {
        for (const TrimCase& c : cases) {
            EXPECT_EQ(trimmed(c.block, lead), c.expected) << c.name;
        }
    }
}

TEST(Trim, NeverTakesATrailByteForWhitespace) {
    const LeadBytes lead = shiftJisLeadBytes();
    // 0x81 opens a character whose second byte is not examined.
    EXPECT_EQ(trimmed("\x81 ", lead), "\x81 ");
    EXPECT_EQ(trimmed("  a\x81\t", lead), "a\x81\t");
    EXPECT_EQ(trimmed("a\x81\t ", lead), "a\x81\t");
    // A lead byte cut off at the end of the block counts as one character.
    EXPECT_EQ(trimmed(" a\x81", lead), "a\x81");
    // Without lead bytes the same bytes are single characters.
    EXPECT_EQ(trimmed("a\x81\t ", noLeadBytes()), "a\x81");
}

TEST(Separators, LookAtTheLastCharacterNotTheLastByte) {
    const LeadBytes lead = shiftJisLeadBytes();
    struct Case {
        std::string text;
        bool separator;
        bool backslash;
    };
    const Case cases[] = {
        {"C:\\Agent\\", true, true},
        {"C:/Agent/", true, false},
        {"C:\\Agent", false, false},
        {"", false, false},
        {"\\", true, true},
        {"C:\\\x95\\", false, false},    // 0x95 0x5C is one character in code page 932
        {"C:\\\x95\\\\", true, true},    // and a real backslash after it
        {"C:\\\x95\\/", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(endsWithSeparator(c.text, lead), c.separator) << c.text;
        EXPECT_EQ(endsWithBackslash(c.text, lead), c.backslash) << c.text;
    }
    EXPECT_TRUE(endsWithBackslash("C:\\\x95\\", noLeadBytes()));
}

TEST(RegistryBytes, AcceptOnlyStringTypesEndingWithTheirNul) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        DWORD code;
        std::string out;
    };
    const Case cases[] = {
        {"string", REG_SZ, std::string("C:\\Agent\\\0", 10), 0, "C:\\Agent\\"},
        {"expandable string, taken literally", REG_EXPAND_SZ, std::string("%TEMP%\\\0", 8), 0,
         "%TEMP%\\"},
        {"no bytes", REG_SZ, "", 0, ""},
        {"only the NUL", REG_SZ, std::string("\0", 1), 0, ""},
        {"text ends at the first NUL", REG_SZ, std::string("ab\0cd\0", 6), 0, "ab"},
        {"missing NUL", REG_SZ, "C:\\Agent\\", 13, "untouched"},
        {"missing NUL, expandable", REG_EXPAND_SZ, "x", 13, "untouched"},
        {"DWORD", REG_DWORD, std::string("\1\0\0\0", 4), 13, "untouched"},
        {"multi-string", REG_MULTI_SZ, std::string("a\0\0", 3), 13, "untouched"},
        {"binary", REG_BINARY, std::string("a\0", 2), 13, "untouched"},
    };
    for (const Case& c : cases) {
        std::string out = "untouched";
        EXPECT_EQ(regStringFromBytes(c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size()), out),
                  c.code)
            << c.name;
        EXPECT_EQ(out, c.out) << c.name;
    }
}

TEST(Format, BuildsPrintfStyleTextOfAnyLength) {
    EXPECT_EQ(format("%s copy failed with %d", "msvcp140.dll", 80), "msvcp140.dll copy failed with 80");
    const std::string longText(100000, 'x');
    EXPECT_EQ(format("[%s]", longText.c_str()), "[" + longText + "]");
}

}  // namespace
