// Finding and loading the plug-in: unloadable files, a missing entry point, the default places.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "probe_sandbox.h"

namespace probe_test {
namespace {

namespace fs = std::filesystem;

struct LoadCase {
    const char* name;
    std::string plugin;  // relative names lie in the sandbox
    std::vector<std::string> expectedInStderr;
};

std::ostream& operator<<(std::ostream& out, const LoadCase& c) {
    return out << c.name;
}

class ProbeLoadFailure : public testing::TestWithParam<LoadCase> {};

TEST_P(ProbeLoadFailure, ExitsTwoWithTheReason) {
    const LoadCase& c = GetParam();
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    // Longer than an ELF header, so the loader reads it and refuses its contents.
    std::ofstream(sandbox.dir() + "/not-a-library.so") << std::string(200, 'x') << "\n";
    std::string plugin = c.plugin[0] == '/' ? c.plugin : sandbox.dir() + "/" + c.plugin;

    ProbeRun r = sandbox.run({"devices"}, plugin);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    for (const auto& text : c.expectedInStderr) {
        EXPECT_NE(r.err.find(text), std::string::npos) << "missing [" << text << "] in: " << r.err;
    }
    EXPECT_TRUE(sandbox.calls().empty()) << "no entry point may run";

    ProbeRun j = sandbox.run({"--json", "devices"}, plugin);
    EXPECT_EQ(j.status, 2);
    nlohmann::json doc = nlohmann::json::parse(j.out);
    EXPECT_EQ(doc.at("exitStatus"), 2);
    EXPECT_EQ(doc.at("ok"), false);
    EXPECT_EQ(doc.at("plugin"), plugin);
    EXPECT_NE(doc.at("error").get<std::string>().find(c.expectedInStderr.back()),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, ProbeLoadFailure,
    testing::Values(
        LoadCase{"no_such_file", "absent.so", {"cannot load the plug-in", "No such file"}},
        LoadCase{"not_elf", "not-a-library.so", {"cannot load the plug-in", "invalid ELF header"}},
        LoadCase{"missing_entry_point",
                 ProbeSandbox::kFakePluginWithoutRefresh,
                 {"lacks the entry point refreshMPIO\n"}}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

// The missing-symbol check comes before any call, even for a command that would not use it.
TEST(ProbeLoad, MissingEntryPointIsRefusedWhateverTheCommand) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    ProbeRun r = sandbox.run({"vendor"}, ProbeSandbox::kFakePluginWithoutRefresh);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("refreshMPIO"), std::string::npos);
    EXPECT_EQ(r.err.find("getVendorName"), std::string::npos) << "only the missing one is named";
}

// Without --plugin the probe looks beside itself: <prefix>/lib, then the installed places.
struct LayoutCase {
    const char* name;
    const char* pluginDir;  // under <prefix>
};

std::ostream& operator<<(std::ostream& out, const LayoutCase& c) {
    return out << c.name;
}

class ProbeDefaultPlugin : public testing::TestWithParam<LayoutCase> {};

TEST_P(ProbeDefaultPlugin, FindsThePluginFromItsOwnLocation) {
    ProbeSandbox sandbox;
    sandbox.writeScenario(twoDiskScenario());
    fs::path prefix = fs::path(sandbox.dir()) / "prefix";
    fs::create_directories(prefix / "bin");
    // /proc/self/exe resolves links, so the binary itself is copied.
    fs::copy_file(ProbeSandbox::kProbeBinary, prefix / "bin" / "mpio-probe");
    fs::path pluginDir = prefix / GetParam().pluginDir;
    fs::create_directories(pluginDir);
    fs::copy_file(ProbeSandbox::kFakePlugin, pluginDir / "libTsMPIO_HDLM.so");

    ProbeRun r = sandbox.run({"vendor"}, "", (prefix / "bin" / "mpio-probe").string());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("plug-in: " + (pluginDir / "libTsMPIO_HDLM.so").string()),
              std::string::npos)
        << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ProbeDefaultPlugin,
    testing::Values(LayoutCase{"build_tree", "lib"},
                    LayoutCase{"deb", "lib/" MPIO_PROBE_MULTIARCH "/tsmpio-hdlm-plugin"},
                    LayoutCase{"rpm", "lib64/tsmpio-hdlm-plugin"},
                    LayoutCase{"library_folder", "lib/" MPIO_PROBE_MULTIARCH}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(ProbeDefaultPlugin, NamesEveryPathTriedWhenNoneHolds) {
    ProbeSandbox sandbox;
    fs::path prefix = fs::path(sandbox.dir()) / "prefix";
    fs::create_directories(prefix / "bin");
    fs::copy_file(ProbeSandbox::kProbeBinary, prefix / "bin" / "mpio-probe");

    ProbeRun r = sandbox.run({"vendor"}, "", (prefix / "bin" / "mpio-probe").string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find((prefix / "lib" / "libTsMPIO_HDLM.so").string()), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find((prefix / "lib64" / "tsmpio-hdlm-plugin" / "libTsMPIO_HDLM.so").string()),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--plugin PATH"), std::string::npos);
}

}  // namespace
}  // namespace probe_test
