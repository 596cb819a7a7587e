// Shell code in names never runs: the real plug-in on the real runner (libTsLib), with a PATH
// whose first folder holds a tiny fake dlnkmgr and a cat that shows a scripted /proc. Names
// carrying $(), backticks and ; are handed to every entry point, both as the host's text and as
// names the inventory reports, and the canary file their code would create must never appear.
// A control case shows that the same text does create the canary once it reaches a shell.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "TsProcess.h"
#include "call_frame.h"
#include "census.h"
#include "plugin_instance.h"
#include "support/bad_names.h"
#include "support/working_folder.h"
#include "temp_dir.h"

namespace bad_input {
namespace {

using testsupport::readFile;

const char* const kShellTexts[] = {"$(touch canary)", "`touch canary`",       ";touch canary",
                                   "x;touch canary",  "a b\n$(touch canary)", "'\";touch canary"};

void writeScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

class ShellMetacharacters : public ::testing::Test {
protected:
    void SetUp() override {
        census::adoptOrphans();
        scratch_ = std::make_unique<bad_names::Scratch>();
        ASSERT_EQ(scratch_->error(), "");
        dir_ = scratch_->dir();
        ASSERT_EQ(mkdir((dir_ + "/bin").c_str(), 0755), 0);
        // dlnkmgr records each call's arguments, one line per call, and answers like HDLM.
        writeScript(dir_ + "/bin/dlnkmgr",
                    "printf '%s\\n' \"$*\" >> '" + dir_ +
                        "/dlnkmgr.calls'\n"
                        "case \"$*\" in\n"
                        "  'view -lu') echo '0001 sddlmab VSP';;\n"
                        "  'view -lu -item -hdev '*) echo 'x sdc a b c d e f g h i j k';;\n"
                        "esac\n"
                        "exit 0\n");
        writeScript(dir_ + "/bin/cat",
                    "case \"$1\" in\n"
                    "  /proc/partitions) exec /bin/cat '" +
                        dir_ +
                        "/partitions';;\n"
                        "  /proc/devices) echo '253 sddlmfdrv';;\n"
                        "  *) exec /bin/cat \"$@\";;\n"
                        "esac\n");
        setInventoryName("sddlmab");
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (dir_ + "/bin:" + savedPath_).c_str(), 1);
        setenv("TS_DEBUG_LOG", (dir_ + "/host.log").c_str(), 1);
        inScratch_ = std::make_unique<WorkingFolder>(dir_);
        ASSERT_TRUE(inScratch_->entered()) << "cannot enter " << dir_;

        plugin_ = loadFreshPlugin();
        ASSERT_NE(plugin_, nullptr);
        int code = 0;
        char message[MAXMPIOERRORLEN] = {};
        ASSERT_NE(plugin_->init(nullptr, &code, message), nullptr)
            << "init failed through the fake dlnkmgr and cat in " << dir_ << "/bin";
    }
    void TearDown() override {
        plugin_.reset();
        inScratch_.reset();
        setenv("PATH", savedPath_.c_str(), 1);
        unsetenv("TS_DEBUG_LOG");
        scratch_.reset();
    }

    // The scripted /proc/partitions lists the number of `blockNode_` (a block device of this
    // machine: only a block node names an HDLM device) under this name.
    void setInventoryName(const std::string& name) {
        std::ofstream(dir_ + "/partitions")
            << "major minor  #blocks  name\n\n"
            << "   " << major(blockNumber_) << "        " << minor(blockNumber_) << "          0 "
            << name << "\n";
    }

    // A block node under /dev that no major would make a partition (its minor's low four bits
    // clear), or "" (its number in blockNumber_).
    std::string findBlockNode() {
        std::unique_ptr<DIR, int (*)(DIR*)> dev(opendir("/dev"), closedir);
        for (dirent* entry = dev ? readdir(dev.get()) : nullptr; entry != nullptr;
             entry = readdir(dev.get())) {
            std::string path = std::string("/dev/") + entry->d_name;
            struct stat node {};
            if (lstat(path.c_str(), &node) == 0 && S_ISBLK(node.st_mode) &&
                (minor(node.st_rdev) & 15) == 0) {
                blockNumber_ = node.st_rdev;
                return path;
            }
        }
        return "";
    }
    dev_t blockNumber_ = 0;

    // Calls every entry point that takes a name, and the others, with `name`; after each call
    // the canary must be absent, the guards whole and nothing left running or open.
    void callEverything(const std::string& name) {
        for (Entry entry : kAllEntries) {
            SCOPED_TRACE(std::string(entryName(entry)) + " on [" + name + "]");
            const Row r = row(entry);
            CallFrame frame(r);
            const census::Snapshot before;
            invoke(*plugin_, r, name.c_str(), frame);
            EXPECT_EQ(before.leftBehind(), "");
            EXPECT_EQ(frame.damage(), "");
            EXPECT_NE(access(scratch_->canary().c_str(), F_OK), 0)
                << "shell code in a name was executed";
        }
    }

    std::vector<std::string> hdevQueries() {
        std::vector<std::string> queries;
        std::istringstream calls(readFile(dir_ + "/dlnkmgr.calls"));
        for (std::string line; std::getline(calls, line);)
            if (line.rfind("view -lu -item -hdev", 0) == 0) queries.push_back(line);
        return queries;
    }

    std::unique_ptr<bad_names::Scratch> scratch_;
    std::string dir_;
    std::string savedPath_;
    std::unique_ptr<WorkingFolder> inScratch_;
    std::unique_ptr<PluginInstance> plugin_;
};

TEST_F(ShellMetacharacters, TheCanaryWorksWhenTextReachesAShell) {
    std::string output;
    std::string error;
    EXPECT_EQ(TsProcess::system((std::string("echo ") + kShellTexts[0]).c_str(), &output, &error,
                                10, false),
              0);
    EXPECT_EQ(access(scratch_->canary().c_str(), F_OK), 0)
        << "the canary check could never fail: shell code in this text does not create it";
}

TEST_F(ShellMetacharacters, HostTextOfMissingNodesNeverRuns) {
    for (const char* text : kShellTexts) {
        callEverything(text);
        callEverything(std::string("/dev/sddlmab") + text);
    }
    EXPECT_TRUE(hdevQueries().empty()) << "no name resolved, so dlnkmgr had nothing to query";
}

TEST_F(ShellMetacharacters, HostTextOfRealNodesReachesDlnkmgrOnlyAsTheInventoryName) {
    const std::string blockNode = findBlockNode();
    if (blockNode.empty()) GTEST_SKIP() << "this machine has no block device node under /dev";
    setInventoryName("sddlmab");
    for (const char* text : kShellTexts) {
        const std::string link = dir_ + "/dev" + text;
        ASSERT_EQ(symlink(blockNode.c_str(), link.c_str()), 0) << link;
        callEverything(link);
        // The link resolves by its number to the inventory's sddlmab; a name holding a newline
        // is cut there first and then names no node.
        const bool cut = std::string(text).find('\n') != std::string::npos;
        Row r = row(Entry::getUnderlyingDevices);
        CallFrame frame(r);
        EXPECT_EQ(invoke(*plugin_, r, link.c_str(), frame), cut ? -6 : 0) << link;
        if (!cut) {
            EXPECT_EQ(frame.entryBuffers[0]->text(), "sdc");
        }
    }
    const std::vector<std::string> queries = hdevQueries();
    ASSERT_FALSE(queries.empty()) << "getUnderlyingDevices never reached dlnkmgr";
    for (const std::string& query : queries) EXPECT_EQ(query, "view -lu -item -hdev sddlmab");
}

TEST_F(ShellMetacharacters, InventoryNamesWithShellCodeAreRefused) {
    ASSERT_EQ(symlink("/dev/null", (dir_ + "/plain-link").c_str()), 0);
    for (const char* name :
         {"sddlm$(touch${IFS}canary)", "sddlm`touch${IFS}canary`", "sddlm;touch${IFS}canary",
          "sddlm|touch${IFS}canary", "sddlm&&touch${IFS}canary"}) {
        SCOPED_TRACE(name);
        setInventoryName(name);
        Row r = row(Entry::getUnderlyingDevices);
        CallFrame frame(r);
        const census::Snapshot before;
        EXPECT_EQ(invoke(*plugin_, r, (dir_ + "/plain-link").c_str(), frame), -6);
        EXPECT_EQ(before.leftBehind(), "");
        EXPECT_EQ(frame.damage(), "");
        EXPECT_NE(access(scratch_->canary().c_str(), F_OK), 0);
        callEverything(dir_ + "/plain-link");
    }
    // The inventory's filter takes only HDLM's own names, so these never reach the plug-in.
    EXPECT_TRUE(hdevQueries().empty());
}

}  // namespace
}  // namespace bad_input
