// One menu line: creation, choice handling and the value column text.
#include "core/menu_item.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/setting_id.h"
#include "core/text.h"
#include "platform/mutex.h"

namespace {
std::atomic<KeyNamer> g_keyNamer{nullptr};

// The key's name for a keyboard binding text, or null.
const char* KeyName(std::string_view text) {
    const KeyNamer namer = g_keyNamer;
    return namer ? namer(text) : nullptr;
}
}  // namespace

MenuBook& TheMenuBook() {
    static MenuBook book;
    return book;
}

void SetKeyNamer(KeyNamer namer) {
    g_keyNamer = namer;
}

std::string_view DevicePart(std::string_view binding) {
    const size_t space = binding.find(' ');
    return space == std::string_view::npos ? std::string_view() : binding.substr(space + 1);
}

kvt::Mutex MenuItem::textLock_;
std::atomic<uint32_t> MenuItem::anyTextVersion_{1};

void MenuItem::TextChanged() {
    textVersion_.fetch_add(1, std::memory_order_release);
    anyTextVersion_.fetch_add(1, std::memory_order_release);
}

MenuItem::MenuItem(int32_t id_, const char* name_, int32_t group_, const std::string& description_)
    : name(name_ ? name_ : ""), description(description_), id(id_), group(group_) {
    if (group == KEYBIND) TheMenuBook().bindingLines.push_back(this);
}

MenuItem::~MenuItem() {
    auto& list = TheMenuBook().bindingLines;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (ownsValue && HasText()) delete Text();
    delete options;
}

MenuItem* MenuItem::Boolean(int32_t id, const char* name, int32_t group, const std::string& description,
                            std::atomic<bool>* value) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_BOOLEAN;
    item->value = value;
    return item;
}

MenuItem* MenuItem::Toggle(int32_t id, const char* name, int32_t group, const std::string& description,
                           std::atomic<bool>* value) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_TOGGLE;
    item->value = value;
    return item;
}

MenuItem* MenuItem::Integer(int32_t id, const char* name, int32_t group, const std::string& description,
                            std::atomic<int32_t>* value, int32_t minimum, int32_t maximum) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_INTEGER;
    item->value = value;
    item->intMin = minimum;
    item->intMax = maximum;
    return item;
}

MenuItem* MenuItem::Decimal(int32_t id, const char* name, int32_t group, const std::string& description,
                            std::atomic<float>* value, double maximum, double step) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_DECIMAL;
    item->value = value;
    item->max = maximum;
    item->step = step;
    return item;
}

MenuItem* MenuItem::OwnChoice(int32_t id, const char* name, int32_t group, const std::string& description) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_CHOICE;
    item->value = item->text_ = new std::string();
    item->ownsValue = true;
    return item;
}

MenuItem* MenuItem::TextChoice(int32_t id, const char* name, int32_t group, const std::string& description,
                               std::string* value) {
    auto* item = new MenuItem(id, name, group, description);
    item->type = ITEM_CHOICE;
    item->value = item->text_ = value;
    return item;
}

MenuItem* MenuItem::Binding(int32_t id, const char* name, const std::string& description, int32_t extra) {
    auto* item = new MenuItem(id, name, KEYBIND, description);
    item->type = ITEM_BINDING;
    item->value = item->text_ = new std::string();
    item->ownsValue = true;
    item->extra = extra;
    return item;
}

int MenuItem::OptionIndex(const std::string& text) const {
    if (!HasText() || !options) return -1;
    for (size_t i = 0; i < options->size(); ++i)
        if (EqualsNoCase((*options)[i], text)) return static_cast<int>(i);
    return -1;
}

int MenuItem::AddOption(const std::string& text) {
    if (!HasText()) return -1;
    if (!options) options = new std::vector<std::string>();
    const int existing = OptionIndex(text);
    if (existing >= 0) return existing;
    options->push_back(text);
    return static_cast<int>(options->size() - 1);
}

void MenuItem::SetValue(const std::string& text) {
    if (!text_) return;
    if (options && OptionIndex(text) < 0) return;
    kvt::MutexLock lock(textLock_);
    *text_ = text;
    TextChanged();
}

void MenuItem::SetValue(const char* text) {
    SetValue(std::string(text ? text : ""));
}

void MenuItem::SelectOption(size_t index) {
    if (!text_ || !options || index >= options->size()) return;
    kvt::MutexLock lock(textLock_);
    *text_ = (*options)[index];
    TextChanged();
}

void MenuItem::ShowOption(int32_t index) {
    if (!text_) return;
    if (options && index >= 0 && static_cast<size_t>(index) < options->size())
        return SelectOption(static_cast<size_t>(index));
    kvt::MutexLock lock(textLock_);
    text_->clear();
    TextChanged();
}

std::string MenuItem::TextValue() const {
    if (!text_) return std::string();
    kvt::MutexLock lock(textLock_);
    return *text_;
}

bool MenuItem::TextEquals(std::string_view text) const {
    if (!text_) return false;
    kvt::MutexLock lock(textLock_);
    return *text_ == text;
}

void MenuItem::Rename(const std::string& newName) {
    kvt::MutexLock lock(textLock_);
    name = newName;
}

std::string MenuItem::Name() const {
    kvt::MutexLock lock(textLock_);
    return name;
}

std::string MenuItem::DisplayText() const {
    if (!HasText()) return std::string();
    const std::string text = TextValue();
    if (group == KEYBIND || type == ITEM_BINDING)
        if (const char* named = KeyName(text)) return named;
    return text;
}

namespace {
// Copies at most kMaxValueText characters and terminates.
void CopyCut(char* out, std::string_view text) {
    ::CopyCut(text, out, kMaxValueText + 1);
}
}  // namespace

void MenuItem::WriteValueText(char* out) const {
    constexpr size_t size = kMaxValueText + 1;
    out[0] = '\0';
    switch (type) {
        case ITEM_BOOLEAN:
            CopyCut(out, Flag()->load() ? "TRUE" : "FALSE");
            return;
        case ITEM_TOGGLE:
            CopyCut(out, Flag()->load() ? "ENABLED" : "DISABLED");
            return;
        case ITEM_INTEGER:
            std::snprintf(out, size, "%d", Number()->load());
            return;
        case ITEM_DECIMAL:
            std::snprintf(out, size, "%.3f", static_cast<double>(Decimal()->load()));
            return;
        case ITEM_CHOICE:
        case ITEM_BINDING: {
            char shown[kMaxValueText + 1] = {};
            if (text_) {
                kvt::MutexLock lock(textLock_);
                CopyCut(shown, *text_);
            }
            if (group == KEYBIND || type == ITEM_BINDING)
                if (const char* named = KeyName(shown)) CopyCut(shown, named);
            if (shown[0] != '\0') {
                const char* delay = DelayMarkText(delayMark);
                // snprintf cuts an over-long binding at the buffer instead of overflowing.
                std::snprintf(out, size, "%s %s%s%s", shown, delay, *delay ? " " : "",
                              ContextMarkText(contextMark));
                return;
            }
            if (id == SAVE_SETTINGS && TheMenuBook().unsavedChanges) CopyCut(out, "[PENDING CHANGES]");
            return;
        }
        default:
            return;
    }
}

std::string MenuItem::ValueText() const {
    char buffer[kMaxValueText + 1];
    WriteValueText(buffer);
    return buffer;
}

const char* DelayMarkText(uint32_t index) {
    static const char* const marks[] = {"", "[=]", "[==]"};
    return index < 3 ? marks[index] : "";
}

const char* ContextMarkText(uint32_t index) {
    static const char* const marks[] = {"", "[race]", "[menu]"};
    return index < 3 ? marks[index] : "";
}
