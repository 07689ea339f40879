#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "spawnprocess.h"

// Aravis's GigE Vision simulated camera as a process on a loopback address,
// ended by its pid.
class FakeGvCamera {
public:
    explicit FakeGvCamera(std::string serial, std::string address = "127.0.0.1")
        : m_serial(std::move(serial)), m_address(std::move(address)) {}
    ~FakeGvCamera() { stop(SIGKILL); }

    // lossPerThousand: GVSP packets the camera drops on purpose.
    // ownNamespace: the camera lives in a network namespace of its own with
    // only loopback, out of this one's reach (the pid stays the camera's);
    // prepare: shell commands run there first, such as waiting for an
    // interface to be moved in and giving it the camera's address.
    bool start(int lossPerThousand = 0, bool ownNamespace = false,
               const std::string& prepare = "true") {
        std::vector<std::string> args;
        if (ownNamespace) {
            args = {"unshare", "-n", "--",
                    "sh",      "-c", "ip link set lo up && { " + prepare + "; } && exec \"$@\"",
                    "sh"};
        }
        args.insert(args.end(), {"arv-fake-gv-camera-0.8", "-i", m_address, "-s", m_serial});
        if (lossPerThousand > 0) {
            args.push_back("-r");
            args.push_back(std::to_string(lossPerThousand));
        }
        m_pid = spawnProcess(args);
        if (m_pid < 0) {
            return false;
        }
        // Listening takes a moment; discovery finds it after that.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return running();
    }

    pid_t pid() const { return m_pid; }

    bool running() { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }

    void stop(int signal = SIGTERM) {
        if (m_pid <= 0) {
            return;
        }
        kill(m_pid, signal);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    std::string m_serial;
    std::string m_address;
    pid_t m_pid = -1;
};

// Packets received on this namespace's loopback so far: a camera that
// streams moves it.
inline unsigned long long loopbackPackets() {
    unsigned long long packets = 0;
    if (FILE* file = fopen("/proc/net/dev", "r")) {
        char line[512];
        while (fgets(line, sizeof line, file) != nullptr) {
            unsigned long long bytes = 0;
            if (sscanf(line, " lo: %llu %llu", &bytes, &packets) == 2) {
                break;
            }
        }
        fclose(file);
    }
    return packets;
}
