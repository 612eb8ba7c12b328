// The distribution's car lists, cars.json and cars_data.json: a whole
// distribution's cars in one document each, read element by element as the
// bytes arrive, so a lookup costs one pass and no copy of the document.
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text.h"
#include "geargate/car_profile_files.h"
#include "geargate/car_profiles.h"
#include "platform/platform.h"

using car_files::Guarded;

namespace {

// The bytes of an open file as an input range for the JSON reader, so that a
// whole distribution's list is read through one small buffer.
// The buffer is on the heap: the lookups also run on the input job's thread.
class ChunkedFile {
public:
    explicit ChunkedFile(std::FILE* file) : file_(file), chunk_(kChunkSize) {}
    bool Ready() {
        if (pos_ < length_) return true;
        length_ = std::fread(chunk_.data(), 1, chunk_.size(), file_);
        pos_ = 0;
        return length_ > 0;
    }
    char Current() const { return chunk_[pos_]; }
    void Advance() { ++pos_; }
    bool Failed() const { return std::ferror(file_) != 0; }

private:
    static constexpr size_t kChunkSize = 65536;
    std::FILE* file_;
    std::vector<char> chunk_;
    size_t pos_ = 0;
    size_t length_ = 0;
};

class ChunkIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    ChunkIterator() = default;
    explicit ChunkIterator(ChunkedFile* file) : file_(file) {}
    char operator*() const { return file_->Current(); }
    ChunkIterator& operator++() {
        file_->Advance();
        return *this;
    }
    bool operator==(const ChunkIterator& other) const { return AtEnd() == other.AtEnd(); }

private:
    bool AtEnd() const { return !file_ || !file_->Ready(); }
    ChunkedFile* file_ = nullptr;
};

// Reads the elements of the top level (an array's items or an object's
// member values) without building the document: the first element that is
// an object whose string member idKey equals idText is the car; of it only
// the member wantedKey is kept. A later duplicate of a member replaces an
// earlier one in its place, as in a document: within an element, and at the
// top level too, so an object's names are remembered until its end.
class FirstCarScan {
public:
    using json = nlohmann::json;

    FirstCarScan(std::string_view idKey, std::string_view idText, std::string_view wantedKey)
        : idKey_(idKey), idText_(idText), wantedKey_(wantedKey) {}

    struct Car {
        // The wanted member's text, when it is a string.
        bool wantedIsString = false;
        std::string wanted;
    };
    // The car found, or null.
    Car* Found() { return cars_.empty() ? nullptr : &cars_.begin()->second; }

    bool null() { return Scalar(nullptr); }
    bool boolean(bool) { return Scalar(nullptr); }
    bool number_integer(json::number_integer_t) { return Scalar(nullptr); }
    bool number_unsigned(json::number_unsigned_t) { return Scalar(nullptr); }
    bool number_float(json::number_float_t, const json::string_t&) { return Scalar(nullptr); }
    bool string(json::string_t& text) { return Scalar(&text); }
    bool binary(json::binary_t&) { return Scalar(nullptr); }
    // Keys two levels down belong to an element: only an object has keys.
    bool start_object(std::size_t) {
        if (depth_ == 0) topIsObject_ = true;
        if (depth_ == 1) {
            idMatches_ = elementWantedIsString_ = false;
        } else {
            Scalar(nullptr);
        }
        ++depth_;
        return true;
    }
    bool end_object() {
        if (--depth_ == 1) EndElement(true);
        return true;
    }
    bool start_array(std::size_t) {
        if (depth_ != 1) Scalar(nullptr);
        ++depth_;
        return true;
    }
    bool end_array() {
        if (--depth_ == 1) EndElement(false);
        return true;
    }
    bool key(json::string_t& name) {
        if (depth_ == 1) place_ = places_.try_emplace(name, places_.size()).first->second;
        if (depth_ == 2) member_ = name == idKey_ ? kId : name == wantedKey_ ? kWanted : kOther;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    enum Member { kOther, kId, kWanted };

    // An array's first car is final, an object's may still be replaced.
    bool Settled() const { return !topIsObject_ && !cars_.empty(); }
    // A value; only the members of an element count, not what is nested in them.
    bool Scalar(const std::string* text) {
        if (depth_ == 1) EndElement(false);
        if (depth_ != 2 || Settled()) return true;
        if (member_ == kId) idMatches_ = text && *text == idText_;
        if (member_ == kWanted) {
            elementWantedIsString_ = text != nullptr;
            if (text) elementWanted_.assign(*text);
        }
        member_ = kOther;
        return true;
    }
    void EndElement(bool isObject) {
        if (Settled()) return;
        const size_t place = topIsObject_ ? place_ : elements_++;
        if (!isObject || !idMatches_) {
            cars_.erase(place);
            return;
        }
        Car& car = cars_[place];
        car.wantedIsString = elementWantedIsString_;
        if (car.wantedIsString) car.wanted.swap(elementWanted_);
    }

    std::string_view idKey_, idText_, wantedKey_;
    int depth_ = 0;
    Member member_ = kOther;
    bool idMatches_ = false;
    bool elementWantedIsString_ = false;
    std::string elementWanted_;
    bool topIsObject_ = false;
    // A top-level object's names, each at the place it was first written.
    std::unordered_map<std::string, size_t> places_;
    size_t place_ = 0;
    size_t elements_ = 0;
    // The elements that are the car, by place; the first one counts.
    std::map<size_t, Car> cars_;
};

// The wanted member's text of the car in the cache file, when the whole file
// is valid JSON, the car is listed and the member is a string.
bool FindCarMember(const char* relative, const char* idKey, int32_t carId, const char* wantedKey,
                   std::string& value) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::OpenFile(HostPath(relative), "rb"),
                                                               std::fclose);
    if (!file) return false;
    const std::string idText = std::to_string(carId);
    FirstCarScan scan(idKey, idText, wantedKey);
    ChunkedFile chunks(file.get());
    const bool parsed =
        nlohmann::json::sax_parse(ChunkIterator(&chunks), ChunkIterator(), &scan) && !chunks.Failed();
    FirstCarScan::Car* car = parsed ? scan.Found() : nullptr;
    if (!car || !car->wantedIsString) return false;
    value = std::move(car->wanted);
    return true;
}

int32_t ClassifyShifterType(const std::string& text) {
    if (StartsWithNoCase(text, "Seq")) return shifter_types::kSequential;
    if (StartsWithNoCase(text, "H-") || StartsWithNoCase(text, "H+")) return shifter_types::kHPattern;
    return shifter_types::kUnknown;
}

}  // namespace

std::string CarNameFromJson(int32_t carId) {
    return Guarded(std::string(), "Reading the car names.", [&] {
        std::string name;
        return FindCarMember("\\vlmdata\\cache\\cars.json", "id", carId, "name", name) ? name : std::string();
    });
}

int32_t TypeFromJson(int32_t carId) {
    return Guarded(shifter_types::kUnknown, "Reading the car data.", [&] {
        std::string type;
        // A car without the member has the empty text, which names no type.
        FindCarMember("\\vlmdata\\cache\\cars_data.json", "car_id", carId, "shifterType", type);
        return ClassifyShifterType(type);
    });
}
