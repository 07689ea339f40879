#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Slot of a virtual member function in its class's virtual table (Itanium
// ABI: a pointer to a virtual member holds 1 + the slot's byte offset).
template <typename MemberFunction>
std::ptrdiff_t vtableSlot(MemberFunction function) {
    static_assert(sizeof(MemberFunction) == 2 * sizeof(std::uintptr_t), "Itanium member pointer");
    std::uintptr_t raw[2];
    std::memcpy(raw, &function, sizeof raw);
    return static_cast<std::ptrdiff_t>((raw[0] - 1) / sizeof(void*));
}
