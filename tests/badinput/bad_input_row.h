// One case of the bad-input table: which entry point, with which hostile input, and what the
// host must find afterwards. Rows are built with a small fluent builder so that each reads like
// the line of the documentation table printed from it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "entry_points.h"
#include "support/bad_names.h"

namespace bad_input {

using bad_names::Name;

// Every function a row may call: the entry points, then the exported C++ helpers.
#define BAD_INPUT_FUNCTIONS(X) \
    TSMPIO_ENTRY_POINTS(X)     \
    X(FindMpDeviceName)        \
    X(listMPIODevices)         \
    X(compareDevMajor)

#define BAD_INPUT_ENUMERATOR(name) name,
enum class Entry { BAD_INPUT_FUNCTIONS(BAD_INPUT_ENUMERATOR) };
#undef BAD_INPUT_ENUMERATOR

#define BAD_INPUT_ENTRY(name) Entry::name,
inline constexpr Entry kAllEntries[] = {BAD_INPUT_FUNCTIONS(BAD_INPUT_ENTRY)};
#undef BAD_INPUT_ENTRY

const char* entryName(Entry entry);

// Pointers a row passes as null (a name passed as null is Name::Null).
enum NullPointer : unsigned {
    kNoNulls = 0,
    kNullErrorCode = 1u << 0,
    kNullErrorMessage = 1u << 1,
    kNullCount = 1u << 2,
    kNullArray = 1u << 3,        // mpioDevices, underlyingDevices or partInfo
    kNullParent = 1u << 4,       // isPartitionDevice's parent
    kNullSecondEntry = 1u << 5,  // the array itself is given, its entry [1] is null
    kNullContext = 1u << 6,      // otherwise context is (void*)1, which must never be read
};

// What the host's side says during the call, beyond the standard HDLM host (init learnt major
// 253; the inventory lists sddlmab 253:16 and sddlmab1 253:17; dlnkmgr lists sddlmab and
// sddlmac, and the paths sdc and sdd beneath sddlmab; the refresh commands succeed; the disk
// carries partitions 1 and 2).
enum class Script {
    Standard,
    NoInit,              // init never ran: no HDLM major is known
    MajorsGarbage,       // /proc/devices pipeline prints one line of 5000 letters
    LongDeviceLine,      // dlnkmgr view -lu prints one device name of 5000 letters
    DeviceLineWithNul,   // dlnkmgr view -lu prints "sddl\0mab"
    LongErrorText,       // the command fails with status 1 and 5000 letters of error text
    InventoryShellName,  // the inventory lists 253:16 as "sddlmab;touch${IFS}canary"
    InventoryMalformed,  // inventory lines of 2 and 4 fields and one of 5000 letters
    InventoryFails,      // the inventory pipeline exits 1
    InventoryEmpty,      // the inventory pipeline prints nothing
    LongPathLine,        // the -hdev query prints one path name of 5000 letters
    ManySlices,          // the disk carries 40 partitions
    SliceMinorIntMax,    // the reader reports a partition numbered INT_MAX
    ReaderFails,         // the partition reader fails with -EIO
};
std::string describe(Script script);

// errorCode: untouched, or the value it must hold.
struct CodeEffect {
    bool written = false;
    int value = 0;
};

// errorMessage (and parent / name outputs): untouched, a text, or all 1024 bytes zero.
// "{name}" in a text stands for the name the row passes; the text is cut to 1023 characters,
// as the buffer holds.
struct TextEffect {
    enum Kind { Untouched, Text, Zeroed } kind = Untouched;
    std::string text;
};

// Commands the scripted runner saw.
enum class Runs { Unchecked, Nothing, InventoryAtMost, NoHdevQuery, HdevQueryFor };

struct Row {
    Entry entry = Entry::getVendorName;
    Name name = Name::None;
    unsigned nulls = kNoNulls;
    int arrayLength = 4;
    std::optional<int> capacity;  // *count on entry; the array's length when not given
    int number = 0;               // compareDevMajor's argument
    Script script = Script::Standard;

    // Expected. For init and getVendorName the result is kVendor or kNullResult; for the yes/no
    // functions 1 or 0.
    long long result = 0;
    CodeEffect code;
    TextEffect message;
    TextEffect parent;
    std::optional<std::string> nameOut;   // FindMpDeviceName's output ({name} allowed)
    std::optional<int> countOut;          // nullopt: *count keeps the value passed in
    int filled = 0;                       // array entries written, from [0]; the rest untouched
    std::vector<std::string> entryTexts;  // expected text of entries [0], [1], ...
    std::optional<std::map<std::string, std::string>> mapOut;  // listMPIODevices' map
    Runs runs = Runs::Unchecked;
    std::string hdevName;                   // with Runs::HdevQueryFor
    std::string refusalLogged;              // a level -1 log line must hold this text
    std::optional<uint32_t> firstDevMinor;  // TsPartInfo [0].devMinor
    std::optional<bool> tableRead;          // whether the partition reader was asked
    std::string note;                       // anything else the documentation should say

    int capacityIn() const { return capacity ? *capacity : arrayLength; }
    bool needsDeviceNodes() const;
    std::string label() const;  // unique test name
    std::string inputText() const;
    std::string resultText() const;
    std::string codeText() const;
    std::string messageText() const;
    std::string otherText() const;
};

constexpr long long kVendor = 0x7e7e7e7e;
constexpr long long kNullResult = 0;

// Fluent construction: row(Entry::isMPIODevice).with(Name::Fifo).gives(0).runs(...)
class RowBuilder {
public:
    explicit RowBuilder(Entry entry) { row_.entry = entry; }
    RowBuilder& with(Name name) { return set(&Row::name, name); }
    RowBuilder& nulls(unsigned mask) { return set(&Row::nulls, row_.nulls | mask); }
    RowBuilder& array(int length) { return set(&Row::arrayLength, length); }
    RowBuilder& capacity(int value) { return set(&Row::capacity, value); }
    RowBuilder& number(int value) { return set(&Row::number, value); }
    RowBuilder& script(Script value) { return set(&Row::script, value); }
    RowBuilder& gives(long long result) { return set(&Row::result, result); }
    RowBuilder& code(int value) { return set(&Row::code, CodeEffect{true, value}); }
    RowBuilder& message(std::string text) {
        return set(&Row::message, TextEffect{TextEffect::Text, std::move(text)});
    }
    RowBuilder& messageZeroed() { return set(&Row::message, TextEffect{TextEffect::Zeroed, ""}); }
    RowBuilder& parent(std::string text) {
        return set(&Row::parent, TextEffect{TextEffect::Text, std::move(text)});
    }
    RowBuilder& nameOut(std::string text) { return set(&Row::nameOut, std::move(text)); }
    RowBuilder& count(int value) { return set(&Row::countOut, value); }
    RowBuilder& fills(int entries) { return set(&Row::filled, entries); }
    RowBuilder& entries(std::vector<std::string> texts) {
        return set(&Row::entryTexts, std::move(texts));
    }
    RowBuilder& map(std::map<std::string, std::string> content) {
        return set(&Row::mapOut, std::move(content));
    }
    RowBuilder& runs(Runs runs, std::string hdevName = "") {
        row_.hdevName = std::move(hdevName);
        return set(&Row::runs, runs);
    }
    RowBuilder& logsRefusal(std::string text) { return set(&Row::refusalLogged, std::move(text)); }
    RowBuilder& firstDevMinor(uint32_t value) { return set(&Row::firstDevMinor, value); }
    RowBuilder& readsTable(bool read) { return set(&Row::tableRead, read); }
    RowBuilder& note(std::string text) { return set(&Row::note, std::move(text)); }
    // A null argument refused before anything runs: -1, errorCode -1 and the message naming it.
    RowBuilder& refusesNull(const std::string& argument) {
        return gives(-1)
            .code(-1)
            .message("Invalid argument: " + argument + " is null")
            .runs(Runs::Nothing);
    }
    operator Row() const { return row_; }  // NOLINT: rows read best without a build() call

private:
    // Every setter is this one assignment; returning the builder lets the calls chain.
    template <typename Field, typename Value>
    RowBuilder& set(Field Row::*field, Value&& value) {
        row_.*field = std::forward<Value>(value);
        return *this;
    }

    Row row_;
};

inline RowBuilder row(Entry entry) {
    return RowBuilder(entry);
}

// The two rows of an entry point's error outputs passed as null: without errorCode it can
// report nothing, so it just gives `failure` and runs nothing; without errorMessage it also
// sets errorCode -1.
std::vector<Row> nullOutputRows(RowBuilder call, long long failure);

// The `call` once with each capacity (*count on entry).
std::vector<Row> withEachCapacity(const RowBuilder& call, std::initializer_list<int> capacities);

// The parts, one after the other.
std::vector<Row> joined(std::initializer_list<std::vector<Row>> parts);

// The whole table, in documentation order, and its parts by entry point family.
std::vector<Row> allRows();
std::vector<Row> frameRows();      // getVendorName, init, refreshMPIO, deleteMPIODevice
std::vector<Row> listRows();       // getMPIODevices, getUnderlyingDevices
std::vector<Row> lookupRows();     // isMPIODevice, FindMpDeviceName, listMPIODevices,
                                   // compareDevMajor
std::vector<Row> partitionRows();  // isPartitionDevice, getPartitionDevices

// How the test output shows a row.
void PrintTo(const Row& row, std::ostream* out);

// The table as markdown, one line per row.
std::string markdownTable(const std::vector<Row>& rows);

}  // namespace bad_input
