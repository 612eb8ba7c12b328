// What the car-profile cache relies on from the system's profile-file write,
// as one table that the simulated platform and the real one (under Wine) must
// both answer: after the writes, each read gives its text.
#pragma once

namespace kvt_test {

struct ProfileWrite {
    const char* section;
    const char* key;
    const char* value;
};
struct ProfileRead {
    const char* section;
    const char* key;
    const char* expected;  // read with the default "default"
};
struct ProfileWriteCase {
    const char* what;
    const char* fileText;  // null: the file does not exist
    ProfileWrite writes[2];
    ProfileRead reads[3];
};

inline constexpr ProfileWriteCase kProfileWriteCases[] = {
    {"a missing file is created",
     nullptr,
     {{"Car5", "car_name", "Rally 4"}, {"Car5", "h_pattern", "1"}},
     {{"Car5", "car_name", "Rally 4"}, {"Car5", "h_pattern", "1"}, {"Car5", "other", "default"}}},
    {"a new section leaves the others alone",
     "; cache\r\n[Car7]\r\nh_pattern=0\r\nclutch_required=0\r\n",
     {{"Car-1", "car_name", ""}, {"Car-1", "h_pattern", "3"}},
     {{"Car-1", "car_name", ""}, {"Car-1", "h_pattern", "3"}, {"Car7", "clutch_required", "0"}}},
    {"a value is replaced and its neighbours kept, names without regard to case",
     "[car12]\r\nH_PATTERN=-1\r\nclutch_required=0\r\n[Car13]\r\nh_pattern=1\r\n",
     {{"Car12", "car_name", "Twelve"}, {"Car12", "h_pattern", "0"}},
     {{"Car12", "h_pattern", "0"}, {"Car12", "clutch_required", "0"}, {"Car13", "h_pattern", "1"}}},
    {"a file without a final line end",
     "[Car1]\r\nclutch_required=0",
     {{"Car1", "h_pattern", "1"}, {"Car2", "h_pattern", "0"}},
     {{"Car1", "clutch_required", "0"}, {"Car1", "h_pattern", "1"}, {"Car2", "h_pattern", "0"}}},
};

}  // namespace kvt_test
