// Text helpers shared by every room: case-insensitive comparison, trimming and
// the conversions between UTF-8, UTF-16 and the system code page.
#pragma once

#include <string>
#include <string_view>

// Same length and equal characters after lower-casing.
bool EqualsNoCase(std::string_view a, std::string_view b);
// An empty prefix never matches.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Copies at most size - 1 characters of text into out and ends it with NUL:
// the fixed buffers of the per-frame and per-event paths, which must not
// allocate.
void CopyCut(std::string_view text, char* out, size_t size);
// Cuts text, in place, to at most maxChars characters at the last blank that
// lets "..." follow (a comma before it goes too), or inside a word too long
// for any; a text that fits is kept.
void CutAtWord(char* text, size_t maxChars);
// Strips space, tab, line feed, carriage return, form feed and vertical tab at both ends.
std::string Trim(std::string_view text);

// UTF-16 code units (without their byte-order mark) to UTF-8, the same on
// every platform: an unpaired surrogate or a lone last byte becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// Throws std::runtime_error "MultiByteToWideChar() failed: <result>" on failure.
std::wstring Utf8ToWide(std::string_view text);
// Throws std::runtime_error "WideCharToMultiByte() failed: <result>" on failure.
std::string WideToCodePage(std::wstring_view text);
