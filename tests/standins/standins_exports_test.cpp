// The stand-ins export exactly the host's symbols and carry the library names the plug-in needs.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "process_runner.h"

namespace {

std::string run(const std::string& command) {
    return testsupport::runShell(command).out;
}

// Demangled names of the defined dynamic symbols, one per entry.
std::set<std::string> exported(const std::string& library) {
    const std::string listing =
        run("nm -DC --defined-only --format=posix '" + library + "' | sed 's/ [A-Za-z] .*$//'");
    std::set<std::string> names;
    std::string::size_type start = 0;
    while (start < listing.size()) {
        auto end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        if (end > start) names.insert(listing.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string soname(const std::string& library) {
    return run("readelf -d '" + library + "' | sed -n 's/.*Library soname: \\[\\(.*\\)\\]/\\1/p'");
}

const std::string kString =
    "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >";

TEST(HostExports, TsLibExportsOnlyTheLoggerAndTheRunner) {
    const std::set<std::string> expected = {
        "EvDebug::EvDebug(EvDebugFileInstance*)",
        "EvDebug::~EvDebug()",
        "EvDebug::DebugLvl(char const*, int, char const*, ...)",
        "TsProcess::system(char const*, " + kString + "*, " + kString + "*, int, bool)",
    };
    EXPECT_EQ(exported(TSLIB_PATH), expected);
    EXPECT_EQ(soname(TSLIB_PATH), "libTsLib.so\n");
}

TEST(HostExports, ZoUtilsExportsOnlyTheSplitter) {
    const std::set<std::string> expected = {
        "FXString::Split(" + kString + " const&, " + kString + " const&, std::vector<" + kString +
            ", std::allocator<" + kString + " > >&, unsigned int)",
    };
    EXPECT_EQ(exported(ZOUTILS_PATH), expected);
    EXPECT_EQ(soname(ZOUTILS_PATH), "libZoUtils.so\n");
}

}  // namespace
