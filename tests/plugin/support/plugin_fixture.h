// Fixtures: a fresh plug-in on the scripted host, and the same inside a private mount
// namespace with real device nodes on a tmpfs /dev (root only; skipped otherwise).
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device_namespace.h"
#include "guarded_memory.h"
#include "hdlm_commands.h"
#include "host_doubles.h"
#include "plugin_calls.h"
#include "plugin_instance.h"

namespace cmd = hdlm_commands;
// What errorCode holds before a call: the hosts' call kit's marker.
using plugin_calls::kUntouchedCode;

// A caller buffer of `size` bytes with guard bytes on both sides, to catch any overrun.
class GuardedBuffer : public guarded::Text {
public:
    explicit GuardedBuffer(size_t size = 1024) : Text("caller buffer", size) {}
    char* data() { return chars(); }
};

// An array of `n` guarded 1024-byte entries, as getMPIODevices/getUnderlyingDevices take.
using EntryArray = guarded::TextArray;

// A partition record's fields, so that a test compares a whole record in one expectation.
using plugin_calls::PartitionRecord;
using plugin_calls::recordOf;

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_double::reset();
        plugin = loadFreshPlugin();
        ASSERT_NE(plugin, nullptr);
    }

    void TearDown() override {
        if (plugin) {
            EXPECT_THAT(host_double::misuse(), ::testing::IsEmpty());
        }
        plugin.reset();
    }

    // Runs init on a host whose /proc/devices pipeline prints `majorsOutput`.
    void initWithMajors(const std::string& majorsOutput) {
        host_double::answer(cmd::mpioviewinfo_cmd, 0, "HDLM Manager Ver ...\n");
        host_double::answer(cmd::admin_majors_cmd, 0, majorsOutput);
        ASSERT_NE(plugin->init(nullptr, &errorCode, errorMessage.data()), nullptr);
    }

    void setVerbose(bool on) { *plugin->bVerboseLogging = on; }

    std::unique_ptr<PluginInstance> plugin;
    int errorCode = kUntouchedCode;
    GuardedBuffer errorMessage;
};

class DeviceTest : public PluginTest {
protected:
    void SetUp() override {
        const std::string why = device_namespace::enter();
        if (!why.empty()) GTEST_SKIP() << "device-node test skipped: " << why;
        // Loaded first: the library may itself live under /tmp, which is about to be covered.
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(device_namespace::mountFreshDevAndTmp(), "");
        mounted_ = true;
    }

    void TearDown() override {
        PluginTest::TearDown();
        if (mounted_) device_namespace::unmountDevAndTmp();
    }

    void node(const std::string& path, unsigned major, unsigned minor, mode_t type = S_IFBLK) {
        ASSERT_EQ(device_namespace::makeNode(path, major, minor, type), "");
    }

    // The usual HDLM host: driver major 253, disk sddlmab (253:16) with partition sddlmab1
    // (253:17), listed in /proc/partitions, and an ordinary SCSI disk sdc (8:32).
    void standardHost() {
        initWithMajors("253\n");
        node("/dev/sddlmab", 253, 16);
        node("/dev/sddlmab1", 253, 17);
        node("/dev/sdc", 8, 32);
        host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n253 17 sddlmab1\n");
    }

private:
    bool mounted_ = false;
};
