// The base of the main object and of every menu page: a node of the two-level
// menu tree that draws its lines, moves the one selection index and edits the
// selected line's value.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/hold_progress.h"
#include "core/host_interface.h"
#include "core/menu_item.h"

// The height of one menu line in the host's units.
inline constexpr float kMenuLineHeight = 17.0f;

class CPluginBase : public IPlugin {
public:
    CPluginBase(IHostGame* game, std::string name, std::atomic<bool>* enableFlag, CPluginBase* parent);
    virtual ~CPluginBase();
    CPluginBase(const CPluginBase&) = delete;
    CPluginBase& operator=(const CPluginBase&) = delete;

    // IPlugin. The host's one destructor slot forwards to the C++ destructor.
    void* KVT_THISCALL DeletingDestructor(uint32_t flags) override;
    void KVT_THISCALL DrawPluginPage() override {}
    void KVT_THISCALL HostEntry4() override {}
    void KVT_THISCALL HandlePluginInput(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
    }
    void KVT_THISCALL HostEntry6(uint32_t) override {}
    void KVT_THISCALL HostEntry7(uint32_t, uint32_t, uint32_t) override {}
    void KVT_THISCALL HostEntry8(uint32_t, uint32_t, uint32_t, uint32_t) override {}
    void KVT_THISCALL HostEntry9(uint32_t, uint32_t, uint32_t) override {}

    virtual CPluginBase* BuildMenu() { return this; }
    virtual float DrawMenuItems(int32_t selected, float x, float y);
    virtual float DrawMenuItem(int32_t selected, MenuItem* item, int32_t position, int32_t localSelected,
                               float x, float y, float lineHeight);
    virtual bool HandleMenuInput(int32_t* selected, char textKey, bool* up, bool* down, bool left, bool right,
                                 bool select);

    // Moves the combined selection by step (-1, 0, 1), wrapping at both ends
    // and stepping over a separator.
    void MoveSelection(int32_t* selected, int32_t step) const;
    // Changes the line's value one step (delta -1 or 1): flags flip, numbers
    // stay in their bounds, choices wrap. False for a line with no value.
    static bool StepValue(MenuItem& item, int32_t delta);

    CPluginBase* FindChildPage(const std::string& name) const;
    CPluginBase* CurrentPage() const;
    MenuItem* ItemAt(int32_t index) const;
    // The page's own line at a combined menu position (the root's lines come
    // first), or null when the position lies outside the page.
    MenuItem* OwnItemAt(int32_t selected) const;
    MenuItem* FindItem(int32_t id) const;
    bool UsesDevice(const std::string& deviceName) const;

    // The overlay that draws hold bars over the game: the main object's, which
    // a page reaches through its parent; none for a page on its own (tests).
    virtual HoldProgressOverlay* HoldOverlay() { return parent ? parent->HoldOverlay() : nullptr; }
    // The keys a player can type on the page's line, named on the status
    // line while it is selected; null when none.
    virtual const char* TypedKeysHint(const MenuItem&) const { return nullptr; }

    CPluginBase* Root() { return parent ? parent : this; }
    const CPluginBase* Root() const { return parent ? parent : this; }
    // True when the page's switch lets its lines be edited (no switch, or on).
    bool PageEnabled() const { return !enableFlag || *enableFlag; }

    IHostGame* game;
    std::string name;
    // Read by the input job too (a disabled page uses no device).
    std::atomic<bool>* enableFlag;
    CPluginBase* parent;
    std::vector<CPluginBase*> children;
    std::vector<MenuItem*> items;
};
