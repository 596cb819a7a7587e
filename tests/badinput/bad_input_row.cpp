#include "bad_input_row.h"

#include <cerrno>
#include <cstddef>
#include <iterator>

#include "support/facts.h"

namespace bad_input {
namespace {

struct ScriptFacts {
    Script key;
    const char* token;     // its part of a test's name
    const char* describe;  // how the documentation shows it
};

const ScriptFacts kScripts[] = {
    {Script::Standard, "", ""},
    {Script::NoInit, "NoInit", "before any init"},
    {Script::MajorsGarbage, "MajorsGarbage", "/proc/devices pipeline prints 5000 letters"},
    {Script::LongDeviceLine, "LongDeviceLine", "`dlnkmgr view -lu` prints a name of 5000 letters"},
    {Script::DeviceLineWithNul, "DeviceLineWithNul", "`dlnkmgr view -lu` prints `sddl\\0mab`"},
    {Script::LongErrorText, "LongErrorText",
     "the command fails: status 1, 5000 letters of error text"},
    {Script::InventoryShellName, "InventoryShellName",
     "inventory names 253:16 `sddlmab;touch${IFS}canary`"},
    {Script::InventoryMalformed, "InventoryMalformed",
     "inventory lines of 2 and 4 fields and one of 5000 letters, beside `253 16 sddlmab`"},
    {Script::InventoryFails, "InventoryFails", "inventory pipeline exits 1"},
    {Script::InventoryEmpty, "InventoryEmpty", "inventory pipeline prints nothing"},
    {Script::LongPathLine, "LongPathLine", "`-hdev` query prints a path name of 5000 letters"},
    {Script::ManySlices, "ManySlices", "the disk carries 40 partitions"},
    {Script::SliceMinorIntMax, "SliceMinorIntMax", "the reader reports partition number INT_MAX"},
    {Script::ReaderFails, "ReaderFails", "the partition reader fails with -EIO"},
};

const ScriptFacts& factsOf(Script script) {
    static const ScriptFacts unknown{Script::Standard, "Unknown", "?"};
    return facts::of(kScripts, script, unknown);
}

#define BAD_INPUT_NAME(name) #name,
const char* const kEntryNames[] = {BAD_INPUT_FUNCTIONS(BAD_INPUT_NAME)};
#undef BAD_INPUT_NAME

// The entry points that fill an array of the caller's, and that parameter's name.
struct ArrayFacts {
    Entry key;
    const char* array;
};

const ArrayFacts kArrays[] = {
    {Entry::getMPIODevices, "mpioDevices"},
    {Entry::getUnderlyingDevices, "underlyingDevices"},
    {Entry::getPartitionDevices, "partInfo"},
};

// nullptr for an entry point that fills no array.
const char* arrayOf(Entry entry) {
    static const ArrayFacts none{Entry::getVendorName, nullptr};
    return facts::of(kArrays, entry, none).array;
}

bool usesArray(Entry entry) {
    return arrayOf(entry) != nullptr;
}

// Every entry point but getVendorName takes errorCode and errorMessage; the helpers take neither.
bool takesErrorOutputs(Entry entry) {
    const bool entryPoint = static_cast<size_t>(entry) < plugin_loader::kEntryPointCount;
    return entryPoint && entry != Entry::getVendorName;
}

std::string numberToken(long long value) {
    if (value == INT32_MAX) return "IntMax";
    if (value == INT32_MIN) return "IntMin";
    return value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value);
}

std::string numberText(long long value) {
    if (value == INT32_MAX) return "INT_MAX";
    if (value == INT32_MIN) return "INT_MIN";
    return std::to_string(value);
}

std::string errnoText(int value) {
    const int magnitude = value < 0 ? -value : value;
    const char* symbol = magnitude == ENOENT         ? "ENOENT"
                         : magnitude == ENAMETOOLONG ? "ENAMETOOLONG"
                         : magnitude == ELOOP        ? "ELOOP"
                         : magnitude == EINVAL       ? "EINVAL"
                         : magnitude == EIO          ? "EIO"
                                                     : nullptr;
    if (symbol == nullptr || value == -1 || value == 1) return std::to_string(value);
    return std::string(value < 0 ? "-" : "") + symbol + " (" + std::to_string(value) + ")";
}

// A text as the documentation shows it: control characters visible, long runs abbreviated,
// pipes escaped for the table.
std::string shown(const std::string& text) {
    std::string visible;
    for (char c : text) {
        if (c == '\n')
            visible += "\\n";
        else if (c == '\0')
            visible += "\\0";
        else if (c == '|')
            visible += "\\|";
        else
            visible += c;
    }
    if (visible.size() > 60) {
        visible.resize(24);
        visible += "…(" + std::to_string(text.size()) + " characters)";
    }
    const bool backtick = visible.find('`') != std::string::npos;
    return backtick ? "`` " + visible + " ``" : "`" + visible + "`";
}

std::string templateShown(const std::string& text) {
    std::string out = text;
    const size_t at = out.find("{name}");
    if (at != std::string::npos) out.replace(at, 6, "<name>");
    return shown(out);
}

}  // namespace

const char* entryName(Entry entry) {
    const size_t index = static_cast<size_t>(entry);
    return index < std::size(kEntryNames) ? kEntryNames[index] : "?";
}

std::string describe(Script script) {
    return factsOf(script).describe;
}

bool Row::needsDeviceNodes() const {
    return bad_names::needsDeviceNodes(name);
}

std::string Row::label() const {
    std::string label = entryName(entry);
    auto add = [&label](const std::string& part) {
        if (!part.empty()) label += "_" + part;
    };
    add(bad_names::token(name));
    if (nulls & kNullErrorCode) add("NullErrorCode");
    if (nulls & kNullErrorMessage) add("NullErrorMessage");
    if (nulls & kNullCount) add("NullCount");
    if (nulls & kNullArray) add("NullArray");
    if (nulls & kNullParent) add("NullParent");
    if (nulls & kNullSecondEntry) add("NullSecondEntry");
    if (nulls & kNullContext) add("NullContext");
    if (usesArray(entry) && (capacity || arrayLength != 4))
        add("Capacity" + numberToken(capacityIn()) + "Array" + std::to_string(arrayLength));
    if (entry == Entry::compareDevMajor) add(numberToken(number));
    add(factsOf(script).token);
    return label;
}

std::string Row::inputText() const {
    std::vector<std::string> parts;
    if (name != Name::None) parts.push_back("name: " + bad_names::describe(name));
    if (nulls & kNullErrorCode) parts.push_back("errorCode null");
    if (nulls & kNullErrorMessage) parts.push_back("errorMessage null");
    if (nulls & kNullCount) parts.push_back("count null");
    if (nulls & kNullParent) parts.push_back("parent null");
    if (nulls & kNullContext) parts.push_back("context null");
    if (usesArray(entry) && !(nulls & kNullCount)) {
        std::string array = (nulls & kNullArray) ? std::string(arrayOf(entry)) + " null"
                                                 : "array of " + std::to_string(arrayLength);
        if (nulls & kNullSecondEntry) array += " with entry [1] null";
        parts.push_back("capacity " + numberText(capacityIn()) + ", " + array);
    }
    if (entry == Entry::compareDevMajor) parts.push_back("major " + numberText(number));
    if (script != Script::Standard) parts.push_back(describe(script));
    if (parts.empty()) return "valid call";
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

std::string Row::resultText() const {
    switch (entry) {
        case Entry::getVendorName:
        case Entry::init:
            return result == kVendor ? "vendor string" : "null";
        case Entry::compareDevMajor:
            return result != 0 ? "true" : "false";
        default:
            return numberText(result);
    }
}

std::string Row::codeText() const {
    if (!takesErrorOutputs(entry)) return "-";
    if (nulls & kNullErrorCode) return "(null)";
    return code.written ? "= " + errnoText(code.value) : "untouched";
}

std::string Row::messageText() const {
    if (!takesErrorOutputs(entry)) return "-";
    if (nulls & kNullErrorMessage) return "(null)";
    switch (message.kind) {
        case TextEffect::Untouched:
            return "untouched";
        case TextEffect::Zeroed:
            return "empty, all 1024 bytes zero";
        case TextEffect::Text:
            return templateShown(message.text) +
                   (message.text.size() > 1023 ? ", cut to 1023 characters" : "");
    }
    return "?";
}

std::string Row::otherText() const {
    std::vector<std::string> parts;
    if (usesArray(entry) && !(nulls & kNullCount))
        parts.push_back(countOut ? "`*count` = " + numberText(*countOut) : "`*count` untouched");
    if (usesArray(entry) && !(nulls & kNullArray))
        parts.push_back(filled == 0 ? "no entry written"
                        : filled == 1
                            ? "1 entry written, the rest untouched"
                            : std::to_string(filled) + " entries written, the rest untouched");
    for (size_t i = 0; i < entryTexts.size(); ++i)
        parts.push_back("[" + std::to_string(i) + "] " + shown(entryTexts[i]));
    if (firstDevMinor) parts.push_back("[0].devMinor " + std::to_string(*firstDevMinor));
    if (entry == Entry::isPartitionDevice && !(nulls & kNullParent))
        parts.push_back(parent.kind == TextEffect::Text ? "parent " + templateShown(parent.text)
                                                        : "parent untouched");
    if (nameOut) parts.push_back("name out " + templateShown(*nameOut));
    if (mapOut) {
        std::string content;
        for (const auto& [key, value] : *mapOut)
            content += (content.empty() ? "" : ", ") + key + "→" + value;
        parts.push_back("map {" + content + "}");
    }
    switch (runs) {
        case Runs::Unchecked:
            break;
        case Runs::Nothing:
            parts.push_back("runs nothing");
            break;
        case Runs::InventoryAtMost:
            parts.push_back("runs the inventory at most");
            break;
        case Runs::NoHdevQuery:
            parts.push_back("no `-hdev` query");
            break;
        case Runs::HdevQueryFor:
            parts.push_back("`-hdev " + hdevName + "` queried");
            break;
    }
    if (tableRead)
        parts.push_back(*tableRead ? "partition table read" : "partition table not read");
    if (!refusalLogged.empty()) parts.push_back("level -1 log: " + shown(refusalLogged));
    if (!note.empty()) parts.push_back(note);
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text.empty() ? "-" : text;
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << entryName(row.entry) << " with " << row.inputText();
}

std::string markdownTable(const std::vector<Row>& rows) {
    std::string table =
        "| Entry point | Input | Result | errorCode | errorMessage | Other effects |\n"
        "|---|---|---|---|---|---|\n";
    for (const Row& r : rows) {
        table += "| `" + std::string(entryName(r.entry)) + "` | " + r.inputText() + " | " +
                 r.resultText() + " | " + r.codeText() + " | " + r.messageText() + " | " +
                 r.otherText() + " |\n";
    }
    return table;
}

std::vector<Row> nullOutputRows(RowBuilder call, long long failure) {
    RowBuilder withoutMessage = call;
    return {call.nulls(kNullErrorCode).gives(failure).runs(Runs::Nothing),
            withoutMessage.nulls(kNullErrorMessage).gives(failure).code(-1).runs(Runs::Nothing)};
}

std::vector<Row> withEachCapacity(const RowBuilder& call, std::initializer_list<int> capacities) {
    std::vector<Row> rows;
    for (int capacity : capacities) rows.push_back(RowBuilder(call).capacity(capacity));
    return rows;
}

std::vector<Row> joined(std::initializer_list<std::vector<Row>> parts) {
    std::vector<Row> rows;
    for (const std::vector<Row>& part : parts) rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

std::vector<Row> allRows() {
    return joined({frameRows(), listRows(), lookupRows(), partitionRows()});
}

}  // namespace bad_input
