// Counts the writes to one 32-bit word of the host's memory while a site
// runs, so a scenario can tell a game mode stored once from one stored twice
// (the value alone cannot). The word's page is made read-only; each write
// faults, is counted when it hits the word, and is let through for that one
// instruction (page writable, trap flag set), after which the page is
// read-only again.
#pragma once

#include <cstdint>

namespace simhost {

class StoreCounter {
public:
    // Starts watching the word; false when its page cannot be protected.
    bool Start(uint32_t address);
    // Stops watching and returns the writes seen since Start.
    uint32_t Stop();
};

}  // namespace simhost
