// What a shifter-type lookup costs over a whole distribution's car data: a
// cars_data.json of 5 000 cars, looked up by the last car's id, next to a
// plain whole-document parse of the same file as the reference, and the
// cached lookup every later car set-up makes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "alloc_counter.h"
#include "core/log.h"
#include "core/paths.h"
#include "geargate/car_profiles.h"
#include "platform/sim/sim_platform.h"

namespace {
namespace fs = std::filesystem;
constexpr int kCars = 5000;
constexpr int32_t kFirstId = 1000;
constexpr int32_t kLastId = kFirstId + kCars - 1;

// A game folder whose car data lists kCars cars with the members a
// distribution's list carries, the shifter types taking turns.
struct CarDataRig {
    CarDataRig() {
        root = fs::temp_directory_path() / ("kvt-bench-cars-" + std::to_string(getpid()));
        fs::create_directories(root / "Plugins" / "KVTControls");
        fs::create_directories(root / "vlmdata" / "cache");
        platform::sim::SetHostExecutablePath((root / "game.exe").string());
        OnLibraryLoad();
        g_verboseLog = false;
        const char* const types[] = {"Sequential", "H+ dogleg", "Automatic", "H-pattern"};
        std::ostringstream out;
        out << "[\n";
        for (int i = 0; i < kCars; ++i) {
            const int32_t id = kFirstId + i;
            out << (i ? ",\n" : "") << "  {\"car_id\": \"" << id << "\", \"name\": \"Rally Car " << id
                << "\", \"class\": \"Group " << (i % 7) << "\", \"drivetrain\": \"" << (i % 2 ? "AWD" : "FWD")
                << "\", \"power_hp\": " << 180 + i % 200 << ", \"weight_kg\": " << 1100.5 + i % 300
                << ", \"gears\": [3.2, 2.1, 1.6, 1.3, 1.1, 0.9], \"shifterType\": \"" << types[i % 4]
                << "\", \"author\": {\"name\": \"Modder " << i % 50 << "\", \"version\": \"1." << i % 9
                << "\"}}";
        }
        out << "\n]\n";
        document = out.str();
        file = root / "vlmdata" / "cache" / "cars_data.json";
        std::ofstream(file, std::ios::binary) << document;
    }
    ~CarDataRig() {
        OnLibraryUnload();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
    fs::path file;
    std::string document;
};

void BM_TypeFromJson5000Cars(benchmark::State& state) {
    CarDataRig rig;
    // The last car is a "H-pattern" one.
    if (TypeFromJson(kLastId) != 1) state.SkipWithError("the last car was not found");
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        benchmark::DoNotOptimize(TypeFromJson(kLastId));
        allocations += AllocationCount() - before;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rig.document.size()));
    state.counters["file_KiB"] = double(rig.document.size()) / 1024.0;
    state.counters["allocs/lookup"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_TypeFromJson5000Cars)->Unit(benchmark::kMillisecond);

// The reference: the same file read and parsed whole into a document.
void BM_PlainJsonParse5000Cars(benchmark::State& state) {
    CarDataRig rig;
    uint64_t allocations = 0;
    for (auto _ : state) {
        const uint64_t before = AllocationCount();
        std::ifstream in(rig.file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        nlohmann::json parsed = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(parsed.size());
        allocations += AllocationCount() - before;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rig.document.size()));
    state.counters["allocs/parse"] = double(allocations) / double(state.iterations());
}
BENCHMARK(BM_PlainJsonParse5000Cars)->Unit(benchmark::kMillisecond);

// Every lookup after a car's first reads only its CarInfo.ini entry.
void BM_TypeForCachedCar(benchmark::State& state) {
    CarDataRig rig;
    if (TypeForCarId(kLastId) != 1) state.SkipWithError("the last car was not cached");
    for (auto _ : state) benchmark::DoNotOptimize(TypeForCarId(kLastId));
}
BENCHMARK(BM_TypeForCachedCar)->Unit(benchmark::kMicrosecond);

// The cached lookup's floor: it reads CarInfo.ini again each time, so that a
// player's edit of a car's entry counts from the next car, and a small
// file's open, read and close is most of its cost where system calls are dear.
void BM_SmallFileReadFloor(benchmark::State& state) {
    CarDataRig rig;
    TypeForCarId(kLastId);
    const fs::path file = rig.root / "Plugins" / "KVTControls" / "CarInfo.ini";
    if (!fs::exists(file)) state.SkipWithError("no CarInfo.ini");
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_SmallFileReadFloor)->Unit(benchmark::kMicrosecond);

}  // namespace
