#include "text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace {

LeadBytes readLeadBytes() {
    LeadBytes lead{};
    CPINFO info;
    if (GetCPInfo(CP_ACP, &info)) {
        // Ranges come in pairs and end with a pair of zeros.
        for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
                lead[b] = true;
            }
        }
    }
    return lead;
}

// Whitespace of the C locale: space, tab, line feed, vertical tab, form feed, carriage return.
bool isBlank(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool hasLeadBytes(const LeadBytes& lead) {
    for (bool b : lead) {
        if (b) return true;
    }
    return false;
}

// Offset of the last character's first byte, scanning from the start; size when empty.
size_t lastCharacterStart(const char* data, size_t size, const LeadBytes& lead) {
    size_t last = size;
    for (size_t i = 0; i < size;) {
        last = i;
        i += (lead[static_cast<unsigned char>(data[i])] && i + 1 < size) ? 2 : 1;
    }
    return last;
}

std::string vformat(const char* fmt, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < sizeof small) return std::string(small, length);
    std::string text(static_cast<size_t>(length), '\0');
    vsnprintf(&text[0], text.size() + 1, fmt, args);
    return text;
}

}  // namespace

const LeadBytes& systemLeadBytes() {
    static const LeadBytes lead = readLeadBytes();
    return lead;
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text;
}

void say(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
}

Span trimmedSpan(const char* data, size_t size, const LeadBytes& lead) {
    size_t end = size;
    if (!hasLeadBytes(lead)) {
        while (end > 0 && isBlank(static_cast<unsigned char>(data[end - 1]))) --end;
    } else {
        // Only a forward scan knows where characters start.
        end = 0;
        for (size_t i = 0; i < size;) {
            size_t width = (lead[static_cast<unsigned char>(data[i])] && i + 1 < size) ? 2 : 1;
            if (width == 2 || !isBlank(static_cast<unsigned char>(data[i]))) end = i + width;
            i += width;
        }
    }
    size_t begin = 0;
    while (begin < end && isBlank(static_cast<unsigned char>(data[begin]))) ++begin;
    return Span{begin, end};
}

bool endsWithSeparator(const std::string& text, const LeadBytes& lead) {
    size_t last = lastCharacterStart(text.data(), text.size(), lead);
    return last + 1 == text.size() && (text[last] == '\\' || text[last] == '/');
}

bool endsWithBackslash(const std::string& text, const LeadBytes& lead) {
    size_t last = lastCharacterStart(text.data(), text.size(), lead);
    return last + 1 == text.size() && text[last] == '\\';
}
