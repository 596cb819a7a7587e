// One line per entry-point call, results aligned: the call with its arguments, its result, and for
// a failure the error outputs it wrote.
#pragma once

#include <string>

#include "probe_model.h"
#include "text_table.h"

namespace probe {

class CallLines {
public:
    CallLines() : table_({TextTable::Align::Left, TextTable::Align::Left}) {}

    void add(const CallOutcome& call, const std::string& note = "");
    // One line per attempt of a list call.
    void addAttempts(const CallOutcome& last, const std::vector<Attempt>& attempts, bool complete,
                     const std::string& note, const std::string& unit);
    void addPlain(const std::string& label, const std::string& value);
    std::string render() const { return table_.render(); }

private:
    TextTable table_;
};

// "errorCode=2 errorMessage="..."" for a failed call (or one that wrote its error outputs), with
// what a well-known result means.
std::string errorOutputsText(const CallOutcome& call);

// "getUnderlyingDevices(/dev/sddlmaa)", or with a capacity "(…, capacity=64)".
std::string callLabel(const CallOutcome& call, int capacity = -1);

}  // namespace probe
