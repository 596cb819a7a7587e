// getUnderlyingDevices on real device nodes (private /dev; root only): resolution, the command
// line, line splitting, failures, and the refusal of names that are not plain device names.
#include <unistd.h>

#include "support/plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class UnderlyingDevicesTest : public DeviceTest {
protected:
    int underlying(const char* device, int capacity, size_t slots = 6) {
        entries = std::make_unique<EntryArray>(slots);
        count = capacity;
        return plugin->getUnderlyingDevices(nullptr, device, entries->data(), &count, &errorCode,
                                            errorMessage.data());
    }
    std::vector<std::string> filled() {
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) texts.push_back((*entries)[i].text());
        return texts;
    }
    std::unique_ptr<EntryArray> entries;
    int count = 0;
};

TEST_F(UnderlyingDevicesTest, WholeDiskAsksForItsOwnPaths) {
    standardHost();
    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n253 17 sddlmab1\n");
    host_double::answer(cmd::paths_cmd("sddlmab"), 0, "sdc\nsdd\n");
    EXPECT_EQ(underlying("/dev/sddlmab", 4), 0);
    EXPECT_THAT(filled(), ElementsAre("sdc", "sdd"));
    EXPECT_TRUE((*entries)[0].zeroFrom(3));
    EXPECT_TRUE((*entries)[2].untouched());
    EXPECT_THAT(host_double::commands(),
                ElementsAre(cmd::inventory_cmd, cmd::paths_cmd("sddlmab")));
    EXPECT_THAT(host_double::logs(), IsEmpty());
    EXPECT_EQ(errorCode, kUntouchedCode);
}

TEST_F(UnderlyingDevicesTest, PartitionStandsForItsDisk) {
    standardHost();
    host_double::answer(cmd::paths_cmd("sddlmab"), 0, "sdc\n");
    EXPECT_EQ(underlying("/dev/sddlmab1", 4), 0);
    EXPECT_THAT(filled(), ElementsAre("sdc"));
    EXPECT_EQ(host_double::commands().back(), cmd::paths_cmd("sddlmab"));
    const auto lines = host_double::logsWithLabel("HDLM::getUnderlyingDevices");
    ASSERT_EQ(lines.size(), 1u);  // written with verbose logging off
    EXPECT_EQ(lines[0].level, 0);
    EXPECT_EQ(lines[0].message, "Device=[sddlmab1] is a partition device, parent=[/dev/sddlmab]");
}

TEST_F(UnderlyingDevicesTest, PartitionWithoutParentNodeGoesOnUnderItsOwnName) {
    standardHost();
    ASSERT_EQ(unlink("/dev/sddlmab"), 0);
    host_double::answer(cmd::paths_cmd("sddlmab1"), 0, "sdc\n");
    EXPECT_EQ(underlying("/dev/sddlmab1", 4), 0);
    EXPECT_THAT(filled(), ElementsAre("sdc"));
    EXPECT_EQ(host_double::commands().back(), cmd::paths_cmd("sddlmab1"));
    // The partition test's failure report stays in the outputs.
    EXPECT_EQ(errorCode, 2);
    EXPECT_EQ(errorMessage.text(), "pdev stat failed /dev/sddlmab1(parent:/dev/sddlmab) :2");
}

TEST_F(UnderlyingDevicesTest, NonHdlmDevicesGiveMinusSix) {
    standardHost();
    setVerbose(true);
    for (const char* device : {"/dev/sdc", "/dev/nosuch", "/dev/sddlmzz"}) {
        SCOPED_TRACE(device);
        host_double::reset();
        host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n");
        EXPECT_EQ(underlying(device, 4), -6);
        EXPECT_EQ(count, 4);
        EXPECT_TRUE((*entries)[0].untouched());
        EXPECT_EQ(errorCode, kUntouchedCode);
        EXPECT_TRUE(errorMessage.untouched());
        for (const std::string& command : host_double::commands())
            EXPECT_EQ(command, cmd::inventory_cmd);
        ASSERT_FALSE(host_double::logs().empty());
        EXPECT_EQ(host_double::logs().back().message,
                  std::string("MPIO Device[") + device + "] Underlying Device count[4] rc [-6]");
    }
}

TEST_F(UnderlyingDevicesTest, EveryNonEmptyLineIsOneEntry) {
    standardHost();
    struct Case {
        const char* output;
        int capacity;
        std::vector<std::string> entries;
        int result;
    };
    const Case cases[] = {
        {"sdc\nsdd\nsde\n", 0, {}, 3},
        {"sdc\nsdd\n", 2, {"sdc", "sdd"}, 0},
        {"sdc\nsdd\nsde\nsdf\nsdg\n", 2, {"sdc", "sdd"}, 5},
        {"", 2, {}, 0},
        {"\n\n\n", 2, {}, 0},
        {"sdc\n\nsdd", 2, {"sdc", "sdd"}, 0},
        {"sdc\n", -1, {}, 1},
        // SCSI paths by every name the kernel gives them, sddlm (its 3029th disk) included.
        {"/dev/sdc\nsdaaa\nsddlm\nsddlmq\n", 4, {"/dev/sdc", "sdaaa", "sddlm", "sddlmq"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "[" << c.output << "] " << c.capacity);
        host_double::answer(cmd::paths_cmd("sddlmab"), 0, c.output);
        EXPECT_EQ(underlying("/dev/sddlmab", c.capacity), c.result);
        EXPECT_EQ(filled(), c.entries);
        EXPECT_TRUE(entries->guardsIntact());
    }
}

TEST_F(UnderlyingDevicesTest, LongLineIsCutAt1023) {
    standardHost();
    const std::string longName = "sd" + std::string(1500, 'p');
    host_double::answer(cmd::paths_cmd("sddlmab"), 0, longName + "\nsdd\n");
    EXPECT_EQ(underlying("/dev/sddlmab", 2), 0);
    EXPECT_EQ((*entries)[0].text(), longName.substr(0, 1023));
    EXPECT_EQ((*entries)[0].at(1023), '\0');
    EXPECT_EQ((*entries)[1].text(), "sdd");
    EXPECT_TRUE(entries->guardsIntact());
}

// Items of another -item layout (the Device column counted from the line's end lands elsewhere):
// an HDLM name, a PathID, a whole line, a partition, stray blanks, a dash beside the gone path's
// lone "-". The host must not take them for devices: the call fails naming the first one, as a
// failed pipeline leaves the outputs.
TEST_F(UnderlyingDevicesTest, ItemsThatNameNoScsiPathFailTheCall) {
    standardHost();
    const char* unexpected[] = {"sddlmaa", "/dev/sddlmpap", "000000",
                                " sdc \r", "sdc1",          "0010 - sddlmab /dev/sdf 000006 Online",
                                "sd",      "dev/sdc",       "--",
                                "- ",      "001A01 -",      "sddlmaa -"};
    for (const char* item : unexpected) {
        SCOPED_TRACE(item);
        host_double::reset();
        host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n");
        host_double::answer(cmd::paths_cmd("sddlmab"), 0, std::string("sdc\n") + item + "\nsdd\n");
        EXPECT_EQ(underlying("/dev/sddlmab", 4), -1);
        EXPECT_EQ(count, 4);
        EXPECT_TRUE((*entries)[0].untouched());
        EXPECT_EQ(errorCode, -1);
        EXPECT_EQ(errorMessage.text(), std::string("Unexpected item [") + item +
                                           "] in the paths of sddlmab: not a SCSI device");
        const auto lines = host_double::logsWithLabel("HDLM::getUnderlyingDevices");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].level, -1);
        EXPECT_NE(lines[0].message.find(std::string("[") + item + "]"), std::string::npos)
            << lines[0].message;
    }
}

// Real -item text through the plug-in's own filter: what the Device column yields, line by line.
TEST_F(UnderlyingDevicesTest, ItemTextThroughTheFilter) {
    standardHost();
    node("/dev/null", 1, 3, S_IFCHR);  // the shell's
    const std::string header =
        "iLU    SLPR HDevName Device   PathID PathName                        ChaPort CLPR Status  "
        "   "
        "Type IO-Count   IO-Errors  DNum IEP HCTL\n";
    const std::string columns = " 0000.0000.0000000000000000.0000 1A 0 Online Own 15 0 0 - 2:0:0:0";
    struct Case {
        const char* what;
        std::string text;
        int result;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        // A message that names a path is too short to hold the Device column: passed over.
        {"a KAPL message among the paths",
         header + "001A01    - sddlmab  /dev/sdd 000001" + columns +
             "\nKAPL01039-W The path /dev/sdf was placed offline.\n"
             "                     /dev/sdf 000004" +
             columns + "\n",
         0,
         {"/dev/sdd", "/dev/sdf"}},
        // The LU's first path has gone: "-" where Device stands, after the HDevName.
        {"a gone first path",
         header + "001A01    - sddlmab  - 000001" + columns +
             "\n                     /dev/sdf 000004" + columns + "\n",
         0,
         {"/dev/sdf"}},
        // Two columns fewer after Device: counted from the end, "Device" lands on SLPR's "-".
        {"a layout whose Device count lands on a dash",
         header + "001A01    - sddlmab  /dev/sdd 000001 0000.0000.0000000000000000.0000 1A 0 "
                  "Online Own 15 0 0\n",
         -1,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host_double::answerThroughShell(cmd::paths_cmd("sddlmab"), c.text);
        EXPECT_EQ(underlying("/dev/sddlmab", 4), c.result) << errorMessage.text();
        if (c.result == 0) {
            EXPECT_EQ(filled(), c.entries);
        } else {
            EXPECT_EQ(errorMessage.text(),
                      "Unexpected item [001A01 -] in the paths of sddlmab: not a SCSI device");
        }
    }
}

TEST_F(UnderlyingDevicesTest, FailedPipelineReportsItsStatus) {
    standardHost();
    for (int status : {2, -5, 1}) {
        SCOPED_TRACE(status);
        host_double::answer(cmd::paths_cmd("sddlmab"), status, "sdc\n", "KAPL failure");
        EXPECT_EQ(underlying("/dev/sddlmab", 3), status < 0 ? status : -status);
        EXPECT_EQ(count, 3);
        EXPECT_TRUE((*entries)[0].untouched());
        EXPECT_EQ(errorCode, status);
        EXPECT_EQ(errorMessage.text(), "KAPL failure");
        EXPECT_TRUE(errorMessage.zeroFrom(12));
    }
}

// The verbose lines, the closing one on every call past the argument checks, failures too.
TEST_F(UnderlyingDevicesTest, VerboseLinesFollowTheName) {
    standardHost();
    setVerbose(true);
    const std::string command = "command [" + cmd::paths_cmd("sddlmab") + "] output ";
    struct Case {
        const char* device;
        const char* output;
        int capacity;
        bool nullSecondEntry;
        int result;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"/dev/sddlmab1",
         "sdc\nsdd\n",
         1,
         false,
         2,
         {"Device=[sddlmab1] is a partition device, parent=[/dev/sddlmab]",
          command + "[sdc\nsdd\n]", "MPIO Device[/dev/sddlmab] Underlying Device count[1] rc [2]"}},
        {"/dev/sddlmab",
         "sdc\n000000\n",
         4,
         false,
         -1,
         {command + "[sdc\n000000\n]",
          "Unexpected item [000000] in the output of command [" + cmd::paths_cmd("sddlmab") +
              "]: not a SCSI device",
          "MPIO Device[sddlmab] Underlying Device count[4] rc [-1]"}},
        {"/dev/sddlmab",
         "sdc\nsdd\n",
         2,
         true,
         -1,
         {command + "[sdc\nsdd\n]", "MPIO Device[sddlmab] Underlying Device count[2] rc [-1]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.device << " [" << c.output << "]");
        host_double::reset();
        host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlmab\n253 17 sddlmab1\n");
        host_double::answer(cmd::paths_cmd("sddlmab"), 0, c.output);
        entries = std::make_unique<EntryArray>(6);
        if (c.nullSecondEntry) entries->data()[1] = nullptr;
        count = c.capacity;
        EXPECT_EQ(plugin->getUnderlyingDevices(nullptr, c.device, entries->data(), &count,
                                               &errorCode, errorMessage.data()),
                  c.result);
        std::vector<std::string> messages;
        for (const auto& line : host_double::logsWithLabel("HDLM::getUnderlyingDevices"))
            messages.push_back(line.message);
        EXPECT_EQ(messages, c.lines);
    }
}

// Only the bare name after -hdev reaches the shell. It comes from /proc/partitions (or the
// parent path derived from it), never from the host's text; anything but a plain device name
// is refused before any command runs.
TEST_F(UnderlyingDevicesTest, NamesThatAreNotPlainNeverReachTheShell) {
    standardHost();
    const char* refused[] = {"sddlm;reboot", "sddlm$(id)", "sddlm`id`", "sddlm'x'",
                             "sddlm\"x",     "sddlm|x",    "sddlm&x",   "sddlm>x",
                             "sddlm\tx",     "sddlm*",     "sddlm\\x",  "sddlmä"};
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        host_double::reset();
        host_double::answer(cmd::inventory_cmd, 0, std::string("253 16 ") + name + "\n");
        EXPECT_EQ(underlying("/dev/sddlmab", 2), -6);
        EXPECT_THAT(host_double::commands(), ElementsAre(cmd::inventory_cmd));
        const auto lines = host_double::logsWithLabel("HDLM::getUnderlyingDevices");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].level, -1);
        EXPECT_NE(lines[0].message.find(name), std::string::npos);
        EXPECT_EQ(count, 2);
        EXPECT_TRUE((*entries)[0].untouched());
    }
    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlm_A-0.b\n");
    host_double::answer(cmd::paths_cmd("sddlm_A-0.b"), 0, "sdc\n");
    EXPECT_EQ(underlying("/dev/sddlmab", 2), 0);
    EXPECT_THAT(filled(), ElementsAre("sdc"));
}

TEST_F(UnderlyingDevicesTest, ParentDerivedFromAnUnsafeNameIsRefusedToo) {
    standardHost();
    node("/dev/sddlm;x1", 253, 17);
    node("/dev/sddlm;x", 253, 16);
    host_double::reset();
    host_double::answer(cmd::inventory_cmd, 0, "253 16 sddlm;x\n253 17 sddlm;x1\n");
    EXPECT_EQ(underlying("/dev/sddlmab1", 2), -6);
    EXPECT_THAT(host_double::commands(), ElementsAre(cmd::inventory_cmd));
    EXPECT_EQ(host_double::logsWithLabel("HDLM::getUnderlyingDevices").back().level, -1);
}

TEST_F(UnderlyingDevicesTest, NullArgumentsAreRefusedBeforeAnyWork) {
    standardHost();
    host_double::reset();
    EntryArray array(2);
    int capacity = 2;
    EXPECT_EQ(plugin->getUnderlyingDevices(nullptr, "/dev/sddlmab", array.data(), &capacity,
                                           nullptr, errorMessage.data()),
              -1);
    EXPECT_EQ(plugin->getUnderlyingDevices(nullptr, "/dev/sddlmab", array.data(), &capacity,
                                           &errorCode, nullptr),
              -1);
    EXPECT_EQ(errorCode, -1);
    struct Case {
        const char* device;
        char** array;
        int* count;
        const char* message;
    };
    const Case cases[] = {
        {nullptr, array.data(), &capacity, "Invalid argument: mpioDevice is null"},
        {"/dev/sddlmab", array.data(), nullptr, "Invalid argument: count is null"},
        {"/dev/sddlmab", nullptr, &capacity, "Invalid argument: underlyingDevices is null"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        errorCode = 0;
        EXPECT_EQ(plugin->getUnderlyingDevices(nullptr, c.device, c.array, c.count, &errorCode,
                                               errorMessage.data()),
                  -1);
        EXPECT_EQ(errorCode, -1);
        EXPECT_EQ(errorMessage.text(), c.message);
    }
    EXPECT_EQ(capacity, 2);
    EXPECT_THAT(host_double::commands(), IsEmpty());
    EXPECT_THAT(host_double::logs(), IsEmpty());
}

}  // namespace
