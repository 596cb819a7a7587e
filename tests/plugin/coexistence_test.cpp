// The plug-in beside another vendor's that exports the same fourteen names, in one process: each
// must answer from its own code and data whichever is loaded first and however (RTLD_GLOBAL puts
// a library's names before those of libraries loaded later). Each order runs in a child process
// of its own, since a library loaded RTLD_GLOBAL stays in the process's scope.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "TsMPIO_HDLM.h"
#include "entry_points.h"

namespace {

struct Loaded {
    void* handle = nullptr;
    template <typename T>
    T get(const char* name) const {
        return reinterpret_cast<T>(dlsym(handle, name));
    }
};

// What one library answers to the probes that went wrong when it reached the other's symbols.
struct Answers {
    std::string vendor;
    int nonexistentIsMpio = -2;
    int devNullIsPartition = -2;
};

Answers ask(const Loaded& library) {
    char message[MAXMPIOERRORLEN] = {};
    int code = 0;
    Answers a;
    a.vendor = library.get<decltype(&getVendorName)>("getVendorName")();
    a.nonexistentIsMpio = library.get<decltype(&isMPIODevice)>("isMPIODevice")(
        nullptr, "/nonexistent/x", &code, message);
    a.devNullIsPartition = library.get<decltype(&isPartitionDevice)>("isPartitionDevice")(
        nullptr, "/dev/null", nullptr, &code, message);
    return a;
}

int failures = 0;

void check(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "  %s\n", what.c_str());
    ++failures;
}

// Runs in the child: loads both libraries as `plugin first` and the modes say, then probes.
int loadBothAndProbe(bool pluginFirst, int pluginMode, int lookalikeMode) {
    Loaded plugin;
    Loaded lookalike;
    if (pluginFirst) plugin.handle = dlopen(PLUGIN_PATH, RTLD_NOW | pluginMode);
    lookalike.handle = dlopen(LOOKALIKE_PATH, RTLD_NOW | lookalikeMode);
    if (!pluginFirst) plugin.handle = dlopen(PLUGIN_PATH, RTLD_NOW | pluginMode);
    if (plugin.handle == nullptr || lookalike.handle == nullptr) {
        std::fprintf(stderr, "  dlopen failed: %s\n", dlerror());
        return 1;
    }

    // The look-alike stands for another vendor's plug-in only if it exports every entry point
    // too, each its own.
    for (const char* name : plugin_loader::kEntryPointNames) {
        void* theirs = lookalike.get<void*>(name);
        check(theirs != nullptr && theirs != plugin.get<void*>(name),
              std::string("the look-alike has no entry point ") + name + " of its own");
    }

    const Answers own = ask(plugin);
    check(own.vendor == "Tessarine: HDS HDLM MPIO", "plug-in's vendor: " + own.vendor);
    check(own.nonexistentIsMpio == 0,
          "plug-in's isMPIODevice(/nonexistent/x): " + std::to_string(own.nonexistentIsMpio));
    check(own.devNullIsPartition == 0,
          "plug-in's isPartitionDevice(/dev/null): " + std::to_string(own.devNullIsPartition));
    const Answers other = ask(lookalike);
    check(other.vendor == "Look-alike vendor MPIO", "look-alike's vendor: " + other.vendor);
    check(other.nonexistentIsMpio == 1 && other.devNullIsPartition == 1,
          "the look-alike answers from another's code");

    const bool* pluginFlag = plugin.get<const bool*>("bVerboseLogging");
    const bool* lookalikeFlag = lookalike.get<const bool*>("bVerboseLogging");
    check(pluginFlag != lookalikeFlag, "both handles name one bVerboseLogging");
    const bool marker = access("/tmp/MPIO_HDLM_VERBOSE_LOGGING", F_OK) == 0;
    char message[MAXMPIOERRORLEN] = {};
    int code = 0;
    // The look-alike's init sets its flag to !marker, the plug-in's to marker.
    lookalike.get<decltype(&init)>("init")(nullptr, &code, message);
    check(!*pluginFlag, "the look-alike's init set the plug-in's bVerboseLogging");
    plugin.get<decltype(&init)>("init")(nullptr, &code, message);
    check(*pluginFlag == marker, "the plug-in's init did not set its own bVerboseLogging");
    check(*lookalikeFlag == !marker, "the plug-in's init set the look-alike's bVerboseLogging");
    return failures;
}

TEST(Coexistence, EachPluginAnswersFromItsOwnCodeAndData) {
    struct Case {
        const char* name;
        bool pluginFirst;
        int pluginMode;
        int lookalikeMode;
    };
    const Case cases[] = {
        {"look-alike RTLD_GLOBAL first, plug-in RTLD_LOCAL", false, RTLD_LOCAL, RTLD_GLOBAL},
        {"look-alike RTLD_GLOBAL first, plug-in RTLD_GLOBAL", false, RTLD_GLOBAL, RTLD_GLOBAL},
        {"plug-in RTLD_GLOBAL first, look-alike RTLD_LOCAL", true, RTLD_GLOBAL, RTLD_LOCAL},
        {"both RTLD_LOCAL", true, RTLD_LOCAL, RTLD_LOCAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::fprintf(stderr, "%s:\n", c.name);
            _exit(loadBothAndProbe(c.pluginFirst, c.pluginMode, c.lookalikeMode));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the failed checks are printed above";
    }
}

}  // namespace
