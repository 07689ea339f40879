#pragma once

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <unistd.h>

// Runs this program again in a private network namespace with only loopback
// up (QZCAM_NETNS set there), so that a simulated GigE camera's traffic stays
// on its own loopback. Returns only when already inside one, or when the
// namespace cannot be had (false).
inline bool inPrivateNetworkNamespace(int argc, char** argv) {
    if (std::getenv("QZCAM_NETNS") != nullptr) {
        return true;
    }
    std::vector<char*> args{const_cast<char*>("unshare"),
                            const_cast<char*>("-n"),
                            const_cast<char*>("--"),
                            const_cast<char*>("sh"),
                            const_cast<char*>("-c"),
                            const_cast<char*>("ip link set lo up && QZCAM_NETNS=1 exec \"$@\""),
                            const_cast<char*>("sh")};
    for (int i = 0; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    execvp("unshare", args.data());
    std::perror("unshare");
    return false;
}
