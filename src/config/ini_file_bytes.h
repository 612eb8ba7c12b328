// The bytes of KVTControls.ini on disk, for the INI access layer. Each
// function that touches the disk returns kIniOk or kIniFileError with the
// system's error number in error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Config {

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
inline constexpr char kUtf16LeBom[] = "\xFF\xFE";
inline constexpr char kUtf16BeBom[] = "\xFE\xFF";

int ReadWholeFile(const std::string& path, std::string& bytes, int& error);
// Blanks every "[" line that has no "]": the INI library would take the
// keys after it into a section named across the line break.
void BlankUnclosedSectionLines(std::string& bytes);
// The lines after the last section or key, when there is a comment among
// them (the library keeps comments only in front of an entry).
std::vector<std::string> TrailingCommentLines(std::string_view bytes);
// Turns UTF-16 text (with its byte-order mark) into UTF-8 in place; false
// when it is not UTF-16. nulOffset: the file offset of the first NUL
// character, or npos.
bool ConvertUtf16(std::string& bytes, bool& bigEndian, size_t& nulOffset);
// Writes to a sibling file, then replaces path with it in one step.
int WriteReplacing(const std::string& path, const std::string& text, int& error);
// Copies the file's bytes to path + ".bak" (nothing on disk: nothing to keep).
int KeepOriginal(const std::string& path, int& error);

}  // namespace Config
