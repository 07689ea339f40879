#pragma once

#include <chrono>
#include <thread>

// Polls a condition until it holds or the time is up; true when it held.
template <typename Condition>
bool eventually(Condition condition, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
