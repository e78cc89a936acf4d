#pragma once
// Text helpers: printf-style formatting, output to standard output, and byte-level
// scanning of ANSI code page text. Nothing here touches the operating system except
// say() and systemLeadBytes().

#include <array>
#include <cstddef>
#include <string>

// Marks the bytes that open a double-byte character in a code page.
typedef std::array<bool, 256> LeadBytes;

// Lead bytes of the system's ANSI code page, read once.
const LeadBytes& systemLeadBytes();

// printf-style formatting into a text.
std::string format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));

// printf-style output to standard output (text mode), handed to the stream in one write:
// an unbuffered stream would otherwise be written byte by byte.
void say(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));

// Offsets [begin, end) of the block's text without whitespace at its end, then at its start.
// The block is scanned as characters, so a trail byte is never taken for whitespace.
struct Span {
    size_t begin;
    size_t end;
};
Span trimmedSpan(const char* data, size_t size, const LeadBytes& lead);

// True when the text's last character (not a trail byte) is a backslash or a slash.
bool endsWithSeparator(const std::string& text, const LeadBytes& lead);

// True when the text's last character is a backslash.
bool endsWithBackslash(const std::string& text, const LeadBytes& lead);
