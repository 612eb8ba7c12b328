// The bytes of KVTControls.ini on disk: read whole, mended where the INI
// library would misread them (UTF-16, unclosed section lines, comments after
// the last key), written in one replacing step, and kept before a save that
// replaces a file not read cleanly.
#include "config/ini_file_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include "config/ini_file.h"
#include "core/log.h"
#include "core/text.h"
#include "platform/platform.h"

namespace Config {
namespace {
constexpr char kBackupSuffix[] = ".bak";

bool IsCommentLine(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && (line[first] == ';' || line[first] == '#');
}

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}
}  // namespace

// Reads in pieces rather than trusting a length from seeking: that keeps a
// directory or a file that changes size under us an ordinary read error.
int ReadWholeFile(const std::string& path, std::string& bytes, int& error) {
    errno = 0;
    FILE* file = platform::OpenFile(path, "rb");
    if (!file) {
        error = errno;
        return kIniFileError;
    }
    int code = kIniOk;
    try {
        char chunk[16384];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
        if (std::ferror(file)) {
            error = errno;
            code = kIniFileError;
        }
    } catch (const std::bad_alloc&) {
        code = kIniNoMemory;
    } catch (const std::length_error&) {
        code = kIniNoMemory;
    }
    std::fclose(file);
    return code;
}

// SimpleIni skips a "[" line without its "]", but has already taken the
// section name from it: the keys that follow land in a section named across
// the line break, whose name grows at every save and load. Blanking such
// lines gives what the library means: the line is dropped and the keys stay
// in the section before it. Lines end at CR or LF, as the library splits them.
void BlankUnclosedSectionLines(std::string& bytes) {
    size_t start = bytes.compare(0, 3, kUtf8Bom) == 0 ? 3 : 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const size_t first = bytes.find_first_not_of(" \t", start);
        if (first < end && bytes[first] == '[') {
            const auto line = bytes.begin() + static_cast<std::ptrdiff_t>(first);
            const auto lineEnd = bytes.begin() + static_cast<std::ptrdiff_t>(end);
            if (std::find(line, lineEnd, ']') == lineEnd) std::fill(line, lineEnd, ' ');
        }
        start = end + 1;
    }
}

// The lines after the last section or key, when there is a comment among
// them; a file of comments alone keeps them as the library's file comment.
std::vector<std::string> TrailingCommentLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));  // the library stops reading there too
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= bytes.size();) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    while (!lines.empty() && IsBlankLine(lines.back())) lines.pop_back();
    size_t tail = lines.size();
    bool comment = false;
    while (tail > 0 && (IsBlankLine(lines[tail - 1]) || IsCommentLine(lines[tail - 1]))) {
        --tail;
        if (IsCommentLine(lines[tail])) comment = true;
    }
    if (tail == 0 || !comment) return {};
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(tail), lines.end());
}

// Windows editors still offer to save as UTF-16; the library would read such
// a file as empty. Turns it into UTF-8 text in place; false when it is not
// UTF-16 (with its byte-order mark). nulOffset is the file offset of the
// first NUL character, or npos.
bool ConvertUtf16(std::string& bytes, bool& bigEndian, size_t& nulOffset) {
    if (bytes.compare(0, 2, kUtf16LeBom) == 0) {
        bigEndian = false;
    } else if (bytes.compare(0, 2, kUtf16BeBom) == 0) {
        bigEndian = true;
    } else {
        return false;
    }
    nulOffset = std::string::npos;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        if (bytes[at] == '\0' && bytes[at + 1] == '\0') {
            nulOffset = at;
            break;
        }
    }
    bytes = Utf16ToUtf8(std::string_view(bytes).substr(2), bigEndian);
    return true;
}

// The finished text goes to a sibling file first and replaces the old file in
// one step, so a failure at any point leaves the previous settings whole.
int WriteReplacing(const std::string& path, const std::string& text, int& error) {
    if (path.empty()) {
        error = ENOENT;
        return kIniFileError;
    }
    const std::string temporary = path + ".tmp";
    errno = 0;
    FILE* file = platform::OpenFile(temporary, "wb");
    if (!file) {
        error = errno;
        return kIniFileError;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (written && std::fflush(file) != 0) written = false;
    // The data must be on the disk before the rename is: a power cut between
    // the two would otherwise leave an empty file in the old one's place.
    if (written && !platform::FlushToDisk(file)) written = false;
    if (!written) error = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && !platform::ReplaceFileWith(temporary, path)) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(temporary.c_str());
        return kIniFileError;
    }
    return kIniOk;
}

// The bytes on disk, as they are, beside the file: the copy that a save keeps
// of a file it could not read cleanly.
int KeepOriginal(const std::string& path, int& error) {
    std::string original;
    const int code = ReadWholeFile(path, original, error);
    if (code == kIniFileError && error == ENOENT) return kIniOk;  // nothing on disk to keep
    if (code != kIniOk) return code;
    const std::string backup = path + kBackupSuffix;
    const int written = WriteReplacing(backup, original, error);
    if (written == kIniOk)
        LogLine("WARNING. " + path + " was not loaded cleanly; its previous content is kept as " + backup);
    return written;
}

}  // namespace Config
