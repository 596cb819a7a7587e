#include "bad_input_row.h"

#include <cerrno>

namespace bad_input {
namespace {

std::string nameToken(Name name) {
    switch (name) {
        case Name::None:
            return "";
        case Name::Null:
            return "NullName";
        case Name::WildPointer:
            return "WildName";
        case Name::Empty:
            return "EmptyName";
        case Name::Length1023:
            return "Path1023";
        case Name::Length1024:
            return "Path1024";
        case Name::Length4096:
            return "Path4096";
        case Name::LongerThanPathMax:
            return "Path5000";
        case Name::LongHdlmLikeName:
            return "LongHdlmLikeName";
        case Name::Blanks:
            return "Blanks";
        case Name::Newline:
            return "Newline";
        case Name::Quotes:
            return "Quotes";
        case Name::DollarParen:
            return "DollarParen";
        case Name::Backticks:
            return "Backticks";
        case Name::Semicolon:
            return "Semicolon";
        case Name::Percent:
            return "Percent";
        case Name::Missing:
            return "Missing";
        case Name::RegularFile:
            return "RegularFile";
        case Name::Directory:
            return "Directory";
        case Name::CharDevice:
            return "CharDevice";
        case Name::Fifo:
            return "Fifo";
        case Name::SymlinkLoop:
            return "SymlinkLoop";
        case Name::HdlmDisk:
            return "HdlmDisk";
        case Name::HdlmPartition:
            return "HdlmPartition";
        case Name::ShellTextAfterNewline:
            return "ShellTextAfterNewline";
        case Name::ShellNamedLinkToHdlmDisk:
            return "ShellNamedLink";
        case Name::CharDeviceWithHdlmNumber:
            return "CharDeviceWithHdlmNumber";
        case Name::LongPathToHdlmDisk:
            return "LongPathToHdlmDisk";
        case Name::LongPathToHdlmPartition:
            return "LongPathToHdlmPartition";
    }
    return "Unknown";
}

std::string scriptToken(Script script) {
    switch (script) {
        case Script::Standard:
            return "";
        case Script::NoInit:
            return "NoInit";
        case Script::MajorsGarbage:
            return "MajorsGarbage";
        case Script::LongDeviceLine:
            return "LongDeviceLine";
        case Script::DeviceLineWithNul:
            return "DeviceLineWithNul";
        case Script::LongErrorText:
            return "LongErrorText";
        case Script::InventoryShellName:
            return "InventoryShellName";
        case Script::InventoryMalformed:
            return "InventoryMalformed";
        case Script::InventoryFails:
            return "InventoryFails";
        case Script::InventoryEmpty:
            return "InventoryEmpty";
        case Script::LongPathLine:
            return "LongPathLine";
        case Script::ManySlices:
            return "ManySlices";
        case Script::SliceMinorIntMax:
            return "SliceMinorIntMax";
        case Script::ReaderFails:
            return "ReaderFails";
    }
    return "Unknown";
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

bool usesArray(Entry entry) {
    return entry == Entry::getMPIODevices || entry == Entry::getUnderlyingDevices ||
           entry == Entry::getPartitionDevices;
}

const char* arrayName(Entry entry) {
    switch (entry) {
        case Entry::getMPIODevices:
            return "mpioDevices";
        case Entry::getUnderlyingDevices:
            return "underlyingDevices";
        default:
            return "partInfo";
    }
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
    switch (entry) {
        case Entry::getVendorName:
            return "getVendorName";
        case Entry::init:
            return "init";
        case Entry::getMPIODevices:
            return "getMPIODevices";
        case Entry::isMPIODevice:
            return "isMPIODevice";
        case Entry::getUnderlyingDevices:
            return "getUnderlyingDevices";
        case Entry::refreshMPIO:
            return "refreshMPIO";
        case Entry::deleteMPIODevice:
            return "deleteMPIODevice";
        case Entry::isPartitionDevice:
            return "isPartitionDevice";
        case Entry::getPartitionDevices:
            return "getPartitionDevices";
        case Entry::FindMpDeviceName:
            return "FindMpDeviceName";
        case Entry::listMPIODevices:
            return "listMPIODevices";
        case Entry::compareDevMajor:
            return "compareDevMajor";
    }
    return "?";
}

std::string describe(Script script) {
    switch (script) {
        case Script::Standard:
            return "";
        case Script::NoInit:
            return "before any init";
        case Script::MajorsGarbage:
            return "/proc/devices pipeline prints 5000 letters";
        case Script::LongDeviceLine:
            return "`dlnkmgr view -lu` prints a name of 5000 letters";
        case Script::DeviceLineWithNul:
            return "`dlnkmgr view -lu` prints `sddl\\0mab`";
        case Script::LongErrorText:
            return "the command fails: status 1, 5000 letters of error text";
        case Script::InventoryShellName:
            return "inventory names 253:16 `sddlmab;touch${IFS}canary`";
        case Script::InventoryMalformed:
            return "inventory lines of 2 and 4 fields and one of 5000 letters, beside `253 16 "
                   "sddlmab`";
        case Script::InventoryFails:
            return "inventory pipeline exits 1";
        case Script::InventoryEmpty:
            return "inventory pipeline prints nothing";
        case Script::LongPathLine:
            return "`-hdev` query prints a path name of 5000 letters";
        case Script::ManySlices:
            return "the disk carries 40 partitions";
        case Script::SliceMinorIntMax:
            return "the reader reports partition number INT_MAX";
        case Script::ReaderFails:
            return "the partition reader fails with -EIO";
    }
    return "?";
}

bool Row::needsDeviceNodes() const {
    return bad_names::needsDeviceNodes(name);
}

std::string Row::label() const {
    std::string label = entryName(entry);
    auto add = [&label](const std::string& part) {
        if (!part.empty()) label += "_" + part;
    };
    add(nameToken(name));
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
    add(scriptToken(script));
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
        std::string array = (nulls & kNullArray) ? std::string(arrayName(entry)) + " null"
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
    if (entry == Entry::getVendorName || entry == Entry::FindMpDeviceName ||
        entry == Entry::listMPIODevices || entry == Entry::compareDevMajor)
        return "-";
    if (nulls & kNullErrorCode) return "(null)";
    return code.written ? "= " + errnoText(code.value) : "untouched";
}

std::string Row::messageText() const {
    if (entry == Entry::getVendorName || entry == Entry::FindMpDeviceName ||
        entry == Entry::listMPIODevices || entry == Entry::compareDevMajor)
        return "-";
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

std::vector<Row> allRows() {
    std::vector<Row> rows;
    for (auto part : {frameRows, listRows, lookupRows, partitionRows}) {
        const std::vector<Row> some = part();
        rows.insert(rows.end(), some.begin(), some.end());
    }
    return rows;
}

}  // namespace bad_input
