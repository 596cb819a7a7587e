// The plug-in's name helpers on arbitrary names: stripDev, removeNewLine, prepareDevName,
// getParentDev, and the two tests that guard what reaches admin_majors and the shell.
//
// Input: one flag byte (bit 0: verbose logging), then the name.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "host_doubles.h"
#include "plugin_module.h"

namespace {

using host_double::countLogged;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool startsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

void checkStripDev(const std::string& name) {
    const std::string last = stripDev(name);
    FUZZ_CHECK(last.find('/') == std::string::npos, "stripDev kept a slash: " + last);
    FUZZ_CHECK(endsWith(name, last), "stripDev result is not the name's tail");
    if (name.find('/') == std::string::npos)
        FUZZ_CHECK(last == name, "stripDev changed a name without a slash");
    else
        FUZZ_CHECK(name[name.size() - last.size() - 1] == '/',
                   "stripDev cut somewhere else than after the last slash");
}

void checkRemoveNewLine(const std::string& name) {
    const std::string cut = removeNewLine(name);
    FUZZ_CHECK(startsWith(name, cut), "removeNewLine result is not the name's head");
    const size_t newline = name.rfind('\n');
    if (newline == std::string::npos)
        FUZZ_CHECK(cut == name, "removeNewLine changed a name without a newline");
    else
        FUZZ_CHECK(cut.size() == newline, "removeNewLine did not cut at the last newline");
}

void checkPrepareDevName(const std::string& name) {
    const std::string path = prepareDevName(name);
    if (name.find("sddlm") != std::string::npos) {
        // An HDLM name is looked up directly under /dev/, whatever folder the caller named.
        FUZZ_CHECK(startsWith(path, "/dev/"), "HDLM name not under /dev/: " + path);
        const std::string rest = path.substr(5);
        FUZZ_CHECK(rest.find('/') == std::string::npos, "HDLM path has a folder: " + path);
        FUZZ_CHECK(startsWith(stripDev(name), rest), "HDLM path is not the last component");
    } else {
        FUZZ_CHECK(path == removeNewLine(name), "other names are only cut at the last newline");
    }
}

void checkGetParentDev(const std::string& name) {
    const size_t loggedBefore = countLogged("device [");
    const std::string parent = getParentDev(name);
    const size_t logged = countLogged("device [") - loggedBefore;
    FUZZ_CHECK(logged == (bVerboseLogging && !name.empty() ? 1u : 0u),
               "getParentDev logged " + std::to_string(logged) + " lines");
    FUZZ_CHECK(startsWith(name, parent), "the parent is not a prefix of the name");
    if (name.empty()) {
        FUZZ_CHECK(parent.empty(), "a parent out of nothing");
        return;
    }
    FUZZ_CHECK(!parent.empty(), "empty parent of a non-empty name");
    for (size_t i = parent.size(); i < name.size(); ++i)
        FUZZ_CHECK(isDigit(name[i]), "getParentDev removed a character that is not 0-9");
    FUZZ_CHECK(parent.size() == 1 || !isDigit(parent.back()),
               "getParentDev left a trailing digit: " + parent);
    FUZZ_CHECK(getParentDev(parent) == parent, "the parent of a parent differs");
}

void checkParseMajor(const std::string& line) {
    bool allDigits = !line.empty();
    unsigned long long value = 0;
    for (char c : line) {
        allDigits = allDigits && isDigit(c);
        if (allDigits && value <= INT_MAX) value = value * 10 + static_cast<unsigned>(c - '0');
    }
    int major = -1;
    const bool accepted = parseMajor(line, major);
    if (accepted)
        FUZZ_CHECK(allDigits && value <= INT_MAX && major == static_cast<int>(value),
                   "parseMajor took [" + line + "] as " + std::to_string(major));
    if (allDigits && line.size() <= 10 && value <= INT_MAX)
        FUZZ_CHECK(accepted, "parseMajor refused the number [" + line + "]");
}

void checkPlainName(const std::string& name) {
    static const std::string plain =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.";
    const bool expected = !name.empty() && name.find_first_not_of(plain) == std::string::npos;
    FUZZ_CHECK(isPlainDeviceName(name) == expected,
               "isPlainDeviceName disagrees on [" + name + "]");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzhost::FuzzInput input(data, size);
    input.flags(bVerboseLogging);
    host_double::resetLogger();
    const std::string name = input.rest();

    checkStripDev(name);
    checkRemoveNewLine(name);
    checkPrepareDevName(name);
    checkGetParentDev(name);
    checkPlainName(name);
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('\n', start);
        if (end == std::string::npos) end = name.size();
        checkParseMajor(name.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
