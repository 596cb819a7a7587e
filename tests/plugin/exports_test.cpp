// The built library's dynamic section and symbol table: exactly the host interface, the
// three host libraries as NEEDED, RUNPATH $ORIGIN, and a working dlopen from anywhere.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "entry_points.h"
#include "temp_dir.h"

namespace {

// Runs argv with the given environment and working directory; returns (status, stdout and stderr).
std::pair<int, std::string> run(const std::vector<std::string>& args,
                                const std::vector<std::string>& env, const char* cwd) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return {-1, "pipe failed"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, cwd);
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof(buffer))) > 0) text.append(buffer, n);
    close(out[0]);
    if (spawned != 0) return {-1, "posix_spawn failed"};
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), text};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::vector<std::string> environmentWithout(const std::string& name) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind(name + "=", 0) != 0) env.emplace_back(*e);
    return env;
}

TEST(PluginExports, ExactlyTheHostInterfaceIsExported) {
    const auto [status, text] =
        run({NM_TOOL, "-D", "--defined-only", "--format=posix", PLUGIN_PATH},
            environmentWithout("LD_LIBRARY_PATH"), "/");
    ASSERT_EQ(status, 0) << "nm failed on " << PLUGIN_PATH;
    std::set<std::string> symbols;
    for (const std::string& line : lines(text)) {
        std::istringstream fields(line);
        std::string name, type;
        fields >> name >> type;
        symbols.insert(name + " " + type);
    }
    // The entry points of the hosts' table, each a function; then the two data symbols and the
    // three helpers.
    std::set<std::string> expected;
    for (const char* name : plugin_loader::kEntryPointNames)
        expected.insert(name + std::string(" T"));
    // NOLINTBEGIN(bugprone-suspicious-missing-comma): one mangled name is split over two lines
    expected.insert({
        "bVerboseLogging B",
        "_VendorName D",
        "_Z15compareDevMajori T",
        "_Z15listMPIODevicesRSt3mapINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES5_"
        "St4lessIS5_ESaISt4pairIKS5_S5_EEE T",
        "_Z16FindMpDeviceNamePKcRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE T",
    });
    // NOLINTEND(bugprone-suspicious-missing-comma)
    EXPECT_EQ(symbols, expected);
}

TEST(PluginExports, NeedsTheHostLibrariesThroughOriginRunpath) {
    const auto [status, text] =
        run({READELF_TOOL, "-d", "-W", PLUGIN_PATH}, environmentWithout("LD_LIBRARY_PATH"), "/");
    ASSERT_EQ(status, 0) << "readelf failed on " << PLUGIN_PATH;
    std::vector<std::string> needed, runpath, rpath;
    for (const std::string& line : lines(text)) {
        const size_t open = line.find('['), close = line.rfind(']');
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string value = line.substr(open + 1, close - open - 1);
        if (line.find("(NEEDED)") != std::string::npos) needed.push_back(value);
        if (line.find("(RUNPATH)") != std::string::npos) runpath.push_back(value);
        if (line.find("(RPATH)") != std::string::npos) rpath.push_back(value);
    }
    EXPECT_THAT(needed, ::testing::IsSupersetOf({"libTsLib.so", "libZoUtils.so", "libkpartx.so"}));
    EXPECT_THAT(runpath, ::testing::ElementsAre("$ORIGIN"));
    EXPECT_THAT(rpath, ::testing::IsEmpty());
}

TEST(PluginExports, LoadsFromAnyFolderWithoutLibraryPath) {
    for (const char* cwd : {"/", "/tmp"}) {
        SCOPED_TRACE(cwd);
        const auto [status, text] =
            run({DLOPEN_CHECK, PLUGIN_PATH}, environmentWithout("LD_LIBRARY_PATH"), cwd);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(text, "Tessarine: HDS HDLM MPIO\n");
    }
}

// Beside host libraries of the other std::string ABI the plug-in's imports are missing. Bound at
// dlopen in every mode, it is refused there, naming the symbol, and the host goes on; bound lazily,
// RTLD_LAZY would load it and its first call would end the host ("symbol lookup error", 127).
TEST(PluginExports, BesideLibrariesOfTheOtherAbiDlopenFailsNamingTheSymbol) {
#ifndef OLD_ABI_LIBS
    GTEST_SKIP() << "this tree builds no old-ABI stand-ins (a sanitizer tree)";
#else
    const testsupport::TempDir dir("other-abi");
    for (const char* lib : {"libTsLib.so", "libZoUtils.so", "libkpartx.so"})
        std::filesystem::copy_file(std::string(OLD_ABI_LIBS) + "/" + lib, dir / lib);
    std::filesystem::copy_file(PLUGIN_PATH, dir / "libTsMPIO_HDLM.so");
    for (const char* mode : {"--lazy", "--now"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = {DLOPEN_CHECK, mode, dir.file("libTsMPIO_HDLM.so")};
        if (std::string(mode) == "--now") args.erase(args.begin() + 1);
        const auto [status, text] = run(args, environmentWithout("LD_LIBRARY_PATH"), "/");
        EXPECT_EQ(status, 1) << text;
        EXPECT_THAT(text, ::testing::HasSubstr("dlopen failed: "));
        EXPECT_THAT(text, ::testing::ContainsRegex("undefined symbol: _Z[0-9A-Za-z_]*__cxx11"));
    }
#endif
}

}  // namespace
