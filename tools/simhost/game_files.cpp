// The game folder as the script prepares and checks it: writing, copying,
// removing and locking files, and the expectations on what the plug-in left
// there. Paths in scripts are relative to the game folder.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "file_bytes.h"
#include "session.h"

namespace simhost {

namespace {

bool ParseOffset(const Token& token, uint32_t& value) {
    if (token.quoted || token.text.empty() || token.text[0] == '-') return false;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(token.text.c_str(), &end, 0);
    if (*end != '\0' || parsed > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string LockKey(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return path;
}

// Creates the folders on the way to a game-folder file, as a player's copy of
// a settings folder would bring them.
void MakeFoldersFor(const std::string& path, size_t gameFolderLength) {
    for (size_t cut = path.find('\\', gameFolderLength + 1); cut != std::string::npos;
         cut = path.find('\\', cut + 1))
        CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
}

}  // namespace

std::optional<std::string> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool Session::IsFileCommand(const ScriptLine& line) {
    const std::string& command = line.tokens[0].text;
    return !line.tokens[0].quoted && (command == "write-line" || command == "copy" || command == "remove" ||
                                      command == "lock" || command == "unlock");
}

void Session::WriteLine(const ScriptLine& line) {
    if (line.tokens.size() != 3) return Usage(line, "write-line RELATIVE-PATH \"TEXT\"");
    const std::string path = GamePath(line.tokens[1].text);
    MakeFoldersFor(path, gameFolder_.size());
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << line.tokens[2].text << "\r\n";
    if (!out) return Fail(line, "cannot write " + path);
}

void Session::Copy(const ScriptLine& line) {
    if (line.tokens.size() != 3) return Usage(line, "copy RELATIVE-SOURCE RELATIVE-TARGET");
    const std::string& source = line.tokens[1].text;
    const std::string& target = line.tokens[2].text;
    std::optional<std::string> bytes = ReadBytes(GamePath(source));
    if (!bytes) return Fail(line, "cannot read " + source);
    const std::string targetPath = GamePath(target);
    MakeFoldersFor(targetPath, gameFolder_.size());
    std::ofstream out(targetPath, std::ios::binary | std::ios::trunc);
    out << *bytes;
    out.close();
    if (!out) return Fail(line, "cannot write " + target);
    Say("copy " + source + " " + target + ": " + std::to_string(bytes->size()) + " bytes");
}

void Session::Remove(const ScriptLine& line) {
    if (line.tokens.size() != 2) return Usage(line, "remove RELATIVE-PATH");
    if (!DeleteFileA(GamePath(line.tokens[1].text).c_str()))
        return Fail(line, "cannot remove " + GamePath(line.tokens[1].text));
}

void Session::Lock(const ScriptLine& line) {
    if (line.tokens.size() != 2) return Usage(line, "lock RELATIVE-PATH");
    const std::string& name = line.tokens[1].text;
    const std::string key = LockKey(GamePath(name));
    if (locks_.count(key) != 0) return Fail(line, name + " is already locked");
    // Share mode 0: while this handle is open every other open of the file,
    // the plug-in's fopen included, fails with a sharing violation. The file
    // must exist already; a lock that created it would hide a missing file.
    HANDLE file = CreateFileA(GamePath(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(line, "cannot open " + name + ", error " + std::to_string(GetLastError()));
    locks_[key] = file;
    Say("lock " + name);
}

void Session::Unlock(const ScriptLine& line) {
    if (line.tokens.size() != 2) return Usage(line, "unlock RELATIVE-PATH");
    const std::string& name = line.tokens[1].text;
    auto held = locks_.find(LockKey(GamePath(name)));
    if (held == locks_.end()) return Fail(line, name + " is not locked");
    CloseHandle(held->second);
    locks_.erase(held);
    Say("unlock " + name);
}

void Session::ReleaseLocks() {
    for (auto& [path, file] : locks_) CloseHandle(file);
    locks_.clear();
}

void Session::ExpectFile(const ScriptLine& line, const std::string& kind) {
    const std::vector<Token>& t = line.tokens;
    if (kind == "same-file") {
        if (t.size() != 4) return Usage(line, "expect same-file RELATIVE-PATH RELATIVE-PATH");
        std::optional<std::string> contents[2];
        for (int i = 0; i < 2; ++i) {
            const std::string path = GamePath(t[2 + i].text);
            if (!IsFile(path)) continue;
            contents[i] = ReadBytes(path);
            if (!contents[i]) return Fail(line, t[2 + i].text + " exists but cannot be read");
        }
        std::string problem = SameFileProblem(t[2].text, contents[0], t[3].text, contents[1]);
        return problem.empty() ? Pass(line) : Fail(line, problem);
    }
    if (kind == "file-bytes-at") {
        uint32_t offset = 0;
        std::string wanted, error;
        if (t.size() != 5 || !ParseOffset(t[3], offset))
            return Usage(line, "expect file-bytes-at RELATIVE-PATH OFFSET \"HEX\"");
        if (!ParseHexBytes(t[4].text, wanted, error)) return Fail(line, "not hex bytes: " + error);
        const std::string path = GamePath(t[2].text);
        if (!IsFile(path)) return Fail(line, t[2].text + " is not a file");
        std::optional<std::string> content = ReadBytes(path);
        if (!content) return Fail(line, t[2].text + " exists but cannot be read");
        std::string problem = BytesAtProblem(t[2].text, *content, offset, wanted);
        return problem.empty() ? Pass(line) : Fail(line, problem);
    }
    bool needsText = kind == "file-contains" || kind == "file-lacks" || kind == "file-size";
    if (t.size() != (needsText ? 4u : 3u))
        return Usage(line, "expect " + kind + " RELATIVE-PATH" + (needsText ? " \"TEXT\"" : ""));
    std::string path = GamePath(t[2].text);
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (kind == "file-exists") return exists ? Pass(line) : Fail(line, path + " does not exist");
    if (kind == "no-file") return exists ? Fail(line, path + " exists") : Pass(line);
    if (!exists || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(line, path + " is not a file");
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (kind == "file-size") {
        const std::string size = std::to_string(content.str().size());
        return size == t[3].text ? Pass(line) : Fail(line, path + " has " + size + " bytes");
    }
    bool contains = content.str().find(t[3].text) != std::string::npos;
    if (contains == (kind == "file-contains")) return Pass(line);
    Fail(line, path + (contains ? " contains it" : " lacks it") + " (" +
                   std::to_string(content.str().size()) + " bytes)");
}

}  // namespace simhost
