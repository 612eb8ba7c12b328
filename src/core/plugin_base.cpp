// Drawing, navigation and editing shared by the main object and every page.
#include "core/plugin_base.h"

#include <algorithm>

#include "core/log.h"
#include "core/setting_id.h"
#include "core/text.h"

namespace {
constexpr float kSeparatorHeight = 4.0f;
constexpr float kValueColumn = 200.0f;
constexpr float kSelectionWidth = 510.0f;
constexpr float kSeparatorWidth = 440.0f;

int32_t Count(const std::vector<MenuItem*>& items) {
    return static_cast<int32_t>(items.size());
}
}  // namespace

CPluginBase::CPluginBase(IHostGame* game_, std::string name_, std::atomic<bool>* enableFlag_,
                         CPluginBase* parent_)
    : game(game_), name(std::move(name_)), enableFlag(enableFlag_), parent(parent_) {}

CPluginBase::~CPluginBase() {
    for (CPluginBase* child : children) delete child;
    children.clear();
    for (MenuItem* item : items) delete item;
    items.clear();
}

void* KVT_THISCALL CPluginBase::DeletingDestructor(uint32_t flags) {
    if (flags & 1) {
        delete this;
    } else {
        this->~CPluginBase();
    }
    return this;
}

CPluginBase* CPluginBase::FindChildPage(const std::string& pageName) const {
    for (CPluginBase* child : children)
        if (child->name == pageName) return child;
    LogLine("Failed to find a named plugin: " + pageName);
    return nullptr;
}

CPluginBase* CPluginBase::CurrentPage() const {
    const CPluginBase* root = Root();
    for (MenuItem* item : root->items) {
        if (item->id != MENUPAGE_SWITCH) continue;
        // Asked several times a frame: compared in place, copied only to log a miss.
        for (CPluginBase* child : root->children)
            if (item->TextEquals(child->name)) return child;
        return root->FindChildPage(item->TextValue());
    }
    return root->FindChildPage(std::string());
}

MenuItem* CPluginBase::OwnItemAt(int32_t selected) const {
    const int32_t local = selected - (parent ? static_cast<int32_t>(parent->items.size()) : 0);
    if (local < 0 || local >= static_cast<int32_t>(items.size())) return nullptr;
    return items[static_cast<size_t>(local)];
}

MenuItem* CPluginBase::ItemAt(int32_t index) const {
    if (index < 0) return nullptr;
    const CPluginBase* root = Root();
    if (index < Count(root->items)) return root->items[index];
    const CPluginBase* page = CurrentPage();
    if (!page) return nullptr;
    const int32_t local = index - Count(root->items);
    return local < Count(page->items) ? page->items[local] : nullptr;
}

MenuItem* CPluginBase::FindItem(int32_t id) const {
    const CPluginBase* root = Root();
    for (MenuItem* item : root->items)
        if (item->id == id) return item;
    for (CPluginBase* child : root->children)
        for (MenuItem* item : child->items)
            if (item->id == id) return item;
    return nullptr;
}

bool CPluginBase::UsesDevice(const std::string& deviceName) const {
    for (MenuItem* item : items) {
        if (item->group != KEYBIND) continue;
        if (!item->HasText()) continue;
        const std::string text = item->TextValue();
        const size_t space = text.find(' ');
        if (space != std::string::npos && text.compare(space + 1, std::string::npos, deviceName) == 0)
            return true;
    }
    return false;
}

float CPluginBase::DrawMenuItems(int32_t selected, float x, float y) {
    const int32_t parentCount = parent ? Count(parent->items) : 0;
    const int32_t own = Count(items);
    const int32_t localSelected =
        (selected >= parentCount && selected <= parentCount + own - 1) ? selected - parentCount : -1;
    game->SetTextStyle(host_draw::kStyleMenu);
    for (int32_t position = 0; position < own; ++position) {
        MenuItem* item = items[position];
        const float lineHeight = item->id == SEPARATOR ? kSeparatorHeight : kMenuLineHeight;
        char value[kMaxValueText + 1];
        item->WriteValueText(value);
        if (position == localSelected) game->DrawSelectionBar(0, y, kSelectionWidth, lineHeight + 1);
        if (item->id == SEPARATOR) {
            game->DrawSelectionBar(x, y, kSeparatorWidth, lineHeight - 1);
            y += lineHeight;
            continue;
        }
        if (item->enabled && (item->id == PLUGIN_ENABLED || PageEnabled())) {
            game->SetPresetColour(host_draw::kPresetMenuLine);
        } else {
            // The host takes these values as they are, not scaled to 0..1.
            game->SetColour(120, 120, 120, 10);
        }
        float height = DrawMenuItem(selected, item, position, localSelected, x, y, lineHeight);
        if (height < 0) {
            // Copied out under the lock: nothing is allocated per frame.
            char shownName[kMaxNameText + 1];
            item->WithName([&](std::string_view text) { CopyCut(text, shownName, sizeof shownName); });
            game->WriteText(x, y, shownName);
            game->WriteText(x + kValueColumn, y, value);
            height = lineHeight;
        }
        y += height;
    }
    return y;
}

float CPluginBase::DrawMenuItem(int32_t, MenuItem*, int32_t, int32_t, float, float, float) {
    return -1.0f;
}

bool CPluginBase::HandleMenuInput(int32_t* selected, char, bool* up, bool* down, bool left, bool right,
                                  bool) {
    MoveSelection(selected, *up ? -1 : (*down ? 1 : 0));
    *up = false;
    *down = false;
    if (!(left || right)) return false;
    MenuItem* item = OwnItemAt(*selected);
    if (!item || !item->enabled) return false;
    if (item->id != PLUGIN_ENABLED && !PageEnabled()) return false;
    if (!StepValue(*item, left ? -1 : 1)) return false;
    if (item->id != MENUPAGE_SWITCH && item->id != SAVE_SETTINGS) TheMenuBook().unsavedChanges = true;
    return true;
}

void CPluginBase::MoveSelection(int32_t* selected, int32_t step) const {
    const CPluginBase* root = Root();
    const CPluginBase* page = CurrentPage();
    const int32_t total = Count(root->items) + (page ? Count(page->items) : 0);
    *selected += step;
    if (*selected < 0) {
        *selected = total - 1;
    } else if (*selected >= total) {
        *selected = 0;
    }
    // A separator is stepped over, in the direction of the move.
    MenuItem* landed = ItemAt(*selected);
    if (landed && landed->id == SEPARATOR) *selected += step;
}

namespace {
// The next index of a wrapping choice.
int32_t Wrapped(int32_t index, int32_t count) {
    return index < 0 ? count - 1 : (index >= count ? 0 : index);
}
}  // namespace

bool CPluginBase::StepValue(MenuItem& item, int32_t delta) {
    switch (item.type) {
        case ITEM_BOOLEAN:
        case ITEM_TOGGLE: {
            std::atomic<bool>* flag = item.Flag();
            flag->store(!flag->load());
            return true;
        }
        case ITEM_INTEGER: {
            std::atomic<int32_t>* number = item.Number();
            int64_t next = int64_t(number->load()) + delta;
            if (next < item.intMin) {
                next = item.intMin;
            } else if (next > item.intMax) {
                next = item.intMax;
            }
            number->store(static_cast<int32_t>(next));
            return true;
        }
        case ITEM_DECIMAL: {
            std::atomic<float>* number = item.Decimal();
            const double candidate = delta * item.step + double(number->load());
            number->store(
                static_cast<float>(item.min > candidate ? item.min : std::min(item.max, candidate)));
            return true;
        }
        case ITEM_CHOICE:
        case ITEM_BINDING: {
            if (item.options && !item.options->empty()) {
                const int32_t count = static_cast<int32_t>(item.options->size());
                const int32_t index = std::max(item.OptionIndex(item.TextValue()), 0);
                item.SelectOption(static_cast<size_t>(Wrapped(index + delta, count)));
            }
            return true;
        }
        default:
            return false;
    }
}
