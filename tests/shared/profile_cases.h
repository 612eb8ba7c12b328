// What the callers rely on from the system's profile-file read, as one table
// that the simulated platform and the real one (under Wine) must both answer.
#pragma once

#include <cstdint>

namespace kvt_test {

struct ProfileCase {
    const char* what;
    const char* fileText;  // null: the file does not exist
    const char* section;
    const char* key;
    const char* defaultText;
    uint32_t bufferSize;
    const char* expected;
    uint32_t expectedCount;
};

inline constexpr ProfileCase kProfileCases[] = {
    {"plain value", "[Car05]\r\nVLMCarID=123\r\n", "Car05", "VLMCarID", "", 256, "123", 3},
    {"names ignore letter case", "[Car05]\r\nVLMCarID=123\r\n", "car05", "vlmcarid", "", 256, "123", 3},
    {"blanks around the value go", "[S]\r\nkey =   spaced value  \r\n", "S", "key", "", 256, "spaced value",
     12},
    {"a pair of double quotes goes", "[S]\r\nkey=\"4\"\r\n", "S", "key", "", 256, "4", 1},
    {"a pair of single quotes goes", "[S]\r\nkey='quoted'\r\n", "S", "key", "", 256, "quoted", 6},
    {"a single quote stays", "[S]\r\nkey=\"half\r\n", "S", "key", "", 256, "\"half", 5},
    {"the first of two sections wins", "[S]\r\nkey=1\r\n[S]\r\nkey=2\r\n", "S", "key", "", 256, "1", 1},
    {"missing key gives the default", "[S]\r\nkey=1\r\n", "S", "other", "fallback", 256, "fallback", 8},
    {"missing section gives the default", "[S]\r\nkey=1\r\n", "T", "key", "d", 256, "d", 1},
    {"missing file gives the default", nullptr, "S", "key", "d", 256, "d", 1},
    {"missing file, empty default", nullptr, "S", "key", "", 256, "", 0},
    {"value cut to the buffer", "[S]\r\nkey=1234567890\r\n", "S", "key", "", 8, "1234567", 7},
    {"default cut to the buffer", "[S]\r\n", "S", "key", "fallback", 8, "fallbac", 7},
    {"empty value", "[S]\r\nkey=\r\n", "S", "key", "d", 256, "", 0},
    {"line ends of either kind", "[S]\nfirst=1\nsecond=2\n", "S", "second", "", 256, "2", 1},
    {"comment lines are no keys", "[S]\r\n;key=1\r\nkey=2\r\n", "S", "key", "", 256, "2", 1},
    {"byte-order mark before the first section", "\xEF\xBB\xBF[S]\r\nkey=1\r\n", "S", "key", "", 256, "1", 1},
};

}  // namespace kvt_test
