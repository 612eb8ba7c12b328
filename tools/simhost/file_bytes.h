// Comparing game-folder files byte by byte for the script's file expectations,
// and the texts that say how they differ. Portable, so the self-tests run it
// natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace simhost {

// "FFFE5B00" (blanks between bytes allowed, either letter case) into its bytes.
// False with a reason for an odd digit count, a non-hex character or no bytes.
bool ParseHexBytes(const std::string& hex, std::string& bytes, std::string& error);

// Bytes as upper-case hex pairs without blanks, the form ParseHexBytes takes.
std::string HexBytes(const std::string& bytes);

// Empty when both files exist and are identical; otherwise which one is
// missing, or both sizes and the offset of the first byte that differs (the
// shorter size when one is the other's beginning). nullopt stands for a file
// that could not be read.
std::string SameFileProblem(const std::string& nameA, const std::optional<std::string>& a,
                            const std::string& nameB, const std::optional<std::string>& b);

// Empty when content holds wanted at offset; otherwise the file's size and what
// it holds there, as many bytes as wanted has.
std::string BytesAtProblem(const std::string& name, const std::string& content, uint32_t offset,
                           const std::string& wanted);

}  // namespace simhost
