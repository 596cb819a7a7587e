#include "call_lines.h"

#include "text_format.h"

namespace probe {

std::string callLabel(const CallOutcome& call, int capacity) {
    std::string args = call.device.empty() ? "" : visible(call.device);
    if (capacity >= 0)
        args += (args.empty() ? "" : ", ") + std::string("capacity=") + std::to_string(capacity);
    return call.function + "(" + args + ")";
}

std::string errorOutputsText(const CallOutcome& call) {
    std::string text = "errorCode=" + std::to_string(call.errorCode) +
                       " errorMessage=" + quoted(call.errorMessage);
    // The one result the interface gives a meaning of its own; the others are command statuses.
    if (call.function == "getUnderlyingDevices" && call.result == -6) {
        text += " (not a multipath device)";
    }
    return text;
}

namespace {

std::string resultText(const CallOutcome& call) {
    if (call.returnsText) return call.text ? "= " + quoted(*call.text) : "= null";
    return "= " + std::to_string(call.result);
}

// FAILED with the error outputs; for a call that succeeded yet wrote them, the outputs alone.
std::string failureText(const CallOutcome& call) {
    if (call.failed) return "FAILED " + errorOutputsText(call);
    if (call.errorsWritten()) return "(wrote " + errorOutputsText(call) + ")";
    return "";
}

std::string joined(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "  " + b;
}

}  // namespace

void CallLines::add(const CallOutcome& call, const std::string& note) {
    table_.addRow({callLabel(call), joined(resultText(call), joined(failureText(call), note))});
}

void CallLines::addAttempts(const CallOutcome& last, const std::vector<Attempt>& attempts,
                            bool complete, const std::string& note, const std::string& unit) {
    for (size_t i = 0; i < attempts.size(); ++i) {
        const Attempt& a = attempts[i];
        bool isLast = i + 1 == attempts.size();
        std::string detail;
        if (isLast && last.failed) {
            detail = failureText(last);
        } else {
            detail = "count=" + std::to_string(a.count);
            if (!isLast) {
                detail += ", more " + unit + " than the array held: retrying with capacity " +
                          std::to_string(attempts[i + 1].capacity);
            } else if (!complete) {
                detail += ", INCOMPLETE: " + note;
            }
            detail = joined(detail, isLast ? failureText(last) : "");
        }
        table_.addRow(
            {callLabel(last, a.capacity), joined("= " + std::to_string(a.result), detail)});
    }
}

void CallLines::addPlain(const std::string& label, const std::string& value) {
    table_.addRow({label, value});
}

}  // namespace probe
