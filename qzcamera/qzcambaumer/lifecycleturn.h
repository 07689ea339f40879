#pragma once

#include "threadsafety.h"

// The life cycle of a driver object, as every host call sees it.
enum class DriverState {
    Closed,    // no camera
    Open,      // camera open, streams prepared, no frames go to the host
    Grabbing,  // a mode set-up started acquisition: frames go to the host
    Lost,      // the camera stopped answering; the host's settings are kept
    Closing,   // being given up; frames and new work are refused
};

// Whether the camera can be configured, started or triggered.
inline bool usable(DriverState state) {
    return state == DriverState::Open || state == DriverState::Grabbing;
}

// Whose turn it is to change a driver object's life cycle: one thread at a
// time opens, starts, stops, closes, reconnects or deletes. Its flag is
// guarded by the object's state lock, handed to every call, so that a thread
// that must not wait can see whether the turn is free and leave its request
// in one step.
class CAPABILITY("lifecycle turn") LifecycleTurn {
public:
    // Waits until no other thread has the turn.
    void take(Mutex& stateLock) REQUIRES(stateLock) ACQUIRE() {
        while (m_taken) {
            m_changed.wait(stateLock);
        }
        m_taken = true;
    }
    bool tryTake(Mutex& stateLock) REQUIRES(stateLock) TRY_ACQUIRE(true) {
        (void)stateLock;
        if (m_taken) {
            return false;
        }
        m_taken = true;
        return true;
    }
    void give(Mutex& stateLock) REQUIRES(stateLock) RELEASE() {
        (void)stateLock;
        m_taken = false;
        m_changed.notifyAll();
    }
    bool taken(Mutex& stateLock) const REQUIRES(stateLock) {
        (void)stateLock;
        return m_taken;
    }
    // For a thread that waits for the turn or for a reason to stop waiting.
    void waitForChange(Mutex& stateLock) REQUIRES(stateLock) { m_changed.wait(stateLock); }
    void notifyChange() { m_changed.notifyAll(); }

private:
    Condition m_changed;
    bool m_taken = false;  // under the state lock
};
