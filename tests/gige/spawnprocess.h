#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

// Starts a program (found on PATH) with these arguments; its standard output
// and error go to the files named, or stay this process's where a name is
// empty. The pid, or -1.
inline pid_t spawnProcess(std::vector<std::string> args, const std::string& out = "",
                          const std::string& errors = "") {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (!out.empty()) {
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    if (!errors.empty()) {
        posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&files);
    return pid;
}
