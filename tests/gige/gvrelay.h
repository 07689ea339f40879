#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// A GigE Vision relay between this network namespace and a simulated camera
// living in a namespace of its own, where nothing here can reach it: the
// relay alone answers for it. Control packets pass through; the camera is
// told to stream to the relay, which forwards the stream to whoever asked
// for it, drops a chosen share of the packets, keeps the recent ones and
// answers packet-resend requests from them. Aravis's simulated camera cannot
// resend, so this is what a real camera on a lossy link looks like.
class GvRelay {
public:
    struct Loss {
        double stream = 0;        // share of stream packets dropped on their way
        double resent = 0;        // share of resent packets dropped
        bool offerResend = true;  // the camera's capabilities say it resends
    };

    struct Counts {
        std::uint64_t frames = 0;          // frames the camera began (leaders)
        std::uint64_t forwarded = 0;       // stream packets passed on first time
        std::uint64_t dropped = 0;         // ... and dropped instead
        std::uint64_t resendRequests = 0;  // packet-resend commands
        std::uint64_t resent = 0;          // packets sent again from the kept ones
        std::uint64_t resentDropped = 0;   // ... and dropped instead
        std::uint64_t notKept = 0;         // asked for, no longer kept
    };

    GvRelay(pid_t cameraPid, Loss loss);
    ~GvRelay();
    GvRelay(const GvRelay&) = delete;
    GvRelay& operator=(const GvRelay&) = delete;

    // Binds the control port here and joins the camera's namespace on the
    // relay's own thread; false with the reason where that cannot be had.
    bool start(std::string* why);
    Counts counts() const;

private:
    struct State;
    void run();

    std::unique_ptr<State> m_state;
    std::thread m_thread;
};
