// The plug-in file, as a host sees it.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& path) {
    std::set<std::string> symbols;
    const std::string command = "nm -D --defined-only --format=posix '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return symbols;
    }
    char name[512];
    char type[8];
    while (std::fscanf(pipe, "%511s %7s %*[^\n]", name, type) == 2) {
        symbols.insert(name);
    }
    pclose(pipe);
    return symbols;
}

}  // namespace

TEST(PluginFile, ExportsExactlyTheTwoEntryPoints) {
    const std::set<std::string> symbols = definedDynamicSymbols(QZCAM_PLUGIN_PATH);
    EXPECT_EQ(symbols, (std::set<std::string>{"Camera_Create", "Camera_Delete"}));
}
