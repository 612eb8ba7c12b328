// Fuzz target for the distribution's car lists: whatever the bytes, the name
// and shifter type found for a car are those a reading of the whole document
// gives (the first object element in the order written whose string id is the
// car's, its string member), and any document that does not parse names no car.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "core/paths.h"
#include "core/text.h"
#include "geargate/car_profiles.h"
#include "platform/sim/sim_platform.h"

namespace {
// Kept in the order written: the first car is the first a reader of the file
// sees, where a sorted map would put the members in key order.
using json = nlohmann::ordered_json;
std::string g_folder;

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// The wanted member of the first listed car, or null when none is found.
const json* Member(const json& document, const char* idKey, const std::string& idText, const char* wanted) {
    if (!document.is_array() && !document.is_object()) return nullptr;
    for (const json& element : document) {
        if (!element.is_object()) continue;
        const auto id = element.find(idKey);
        if (id == element.end() || !id->is_string() || id->get_ref<const std::string&>() != idText) continue;
        const auto member = element.find(wanted);
        return member == element.end() ? nullptr : &*member;
    }
    return nullptr;
}

int32_t ExpectedType(const json* member) {
    if (!member || !member->is_string()) return 3;
    const std::string& text = member->get_ref<const std::string&>();
    if (StartsWithNoCase(text, "Seq")) return 0;
    if (StartsWithNoCase(text, "H-") || StartsWithNoCase(text, "H+")) return 1;
    return 3;
}

// The ids worth asking for: a few fixed ones and every decimal id listed.
std::set<int32_t> Ids(const json& document) {
    std::set<int32_t> ids = {-1, 0, 1, 123};
    if (!document.is_array() && !document.is_object()) return ids;
    for (const json& element : document) {
        if (!element.is_object() || ids.size() > 16) continue;
        for (const char* key : {"id", "car_id"}) {
            const auto id = element.find(key);
            if (id == element.end() || !id->is_string()) continue;
            const std::string& text = id->get_ref<const std::string&>();
            try {
                size_t used = 0;
                const int value = std::stoi(text, &used);
                if (used == text.size()) ids.insert(value);
            } catch (const std::exception&) {
            }
        }
    }
    return ids;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/kvt-fuzz-car-json-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    g_folder = folder;
    std::atexit(RemoveFolder);
    platform::sim::SetHostExecutablePath(g_folder + "/game.exe");
    ComputePaths();
    std::filesystem::create_directories(g_folder + "/vlmdata/cache");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    WriteFile(g_folder + "/vlmdata/cache/cars.json", bytes);
    WriteFile(g_folder + "/vlmdata/cache/cars_data.json", bytes);

    json document;
    bool parsed = true;
    try {
        document = json::parse(bytes);
    } catch (const json::exception&) {
        parsed = false;
    }
    for (const int32_t id : Ids(document)) {
        const std::string text = std::to_string(id);
        const json* name = parsed ? Member(document, "id", text, "name") : nullptr;
        const std::string expectedName = name && name->is_string() ? name->get<std::string>() : std::string();
        if (CarNameFromJson(id) != expectedName) std::abort();
        if (TypeFromJson(id) !=
            ExpectedType(parsed ? Member(document, "car_id", text, "shifterType") : nullptr))
            std::abort();
    }
    return 0;
}
