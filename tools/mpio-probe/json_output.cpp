// The --json output: one document per run.
#include <nlohmann/json.hpp>
#include <set>

#include "probe.h"

namespace probe {

// ordered: keys appear in the order the README documents them.
using json = nlohmann::ordered_json;

namespace {

bool takesDevice(const std::string& function) {
    static const std::set<std::string> withDevice = {"isMPIODevice", "getUnderlyingDevices",
                                                     "isPartitionDevice", "getPartitionDevices",
                                                     "deleteMPIODevice"};
    return withDevice.count(function) > 0;
}

// A CALL; `text` is shown as the result of init and getVendorName.
json callJson(const Call& call, const plugin_calls::Answer& answer,
              const std::optional<std::string>& text = std::nullopt) {
    json j;
    j["function"] = call.function;
    if (takesDevice(call.function)) j["device"] = call.device;
    if (call.returnsText) {
        j["result"] = text ? json(*text) : json(nullptr);
    } else {
        j["result"] = answer.result;
    }
    j["failed"] = call.failed;
    j["errorCode"] = shownCode(answer.error);
    j["errorMessage"] = shownMessage(answer.error);
    return j;
}

json callJson(const CallOutcome& outcome) {
    return callJson(outcome.call, outcome.answer, outcome.answer.text);
}

void addAttempts(json& j, const plugin_calls::Passes& passes) {
    json list = json::array();
    for (const auto& a : passes.attempts)
        list.push_back({{"capacity", a.capacity}, {"result", a.result}, {"count", a.count}});
    j["attempts"] = std::move(list);
    j["complete"] = passes.complete;
    if (!passes.complete && !passes.note.empty()) j["note"] = passes.note;
}

json listJson(const ListOutcome& l) {
    json j = callJson(l.call, l.answer);
    addAttempts(j, l.answer);
    j["items"] = l.answer.items;
    return j;
}

json checkJson(const CheckOutcome& c) {
    json j = callJson(c.call, c.answer);
    j["answer"] = c.yes();
    j["parent"] = c.parent();
    if (!c.expectedParent.empty()) {
        j["expectedParent"] = c.expectedParent;
        j["parentMatches"] = !c.parentMismatch();
    }
    return j;
}

json partitionsJson(const PartitionsOutcome& p) {
    json j = callJson(p.call, p.answer);
    addAttempts(j, p.answer);
    json list = json::array();
    for (const auto& shown : p.partitions) {
        const plugin_calls::PartitionRecord& r = shown.record;
        json e = {{"name", r.name},
                  {"number", r.number},
                  {"start", r.start},
                  {"sectors", r.sectors},
                  {"sectorSize", r.sectorSize},
                  {"bytes", r.bytes()},
                  {"size", humanSize(r.bytes())},
                  {"major", r.major},
                  {"minor", r.minor}};
        if (shown.check) e["check"] = checkJson(*shown.check);
        list.push_back(std::move(e));
    }
    j["partitions"] = std::move(list);
    return j;
}

json reportJson(const ReportOutcome& r) {
    json disks = json::array();
    for (const auto& d : r.disks) {
        disks.push_back({{"device", d.device},
                         {"underlying", listJson(d.paths)},
                         {"partitions", partitionsJson(d.partitions)}});
    }
    return {{"vendor", callJson(r.vendor)},
            {"devices", listJson(r.devices)},
            {"disks", std::move(disks)}};
}

// The command's own key in the document and its value.
struct BodyJson {
    json& doc;
    const std::string& command;

    void operator()(const NotRun&) const {}
    void operator()(const CallOutcome& c) const { doc[command] = callJson(c); }
    void operator()(const IsMpioOutcome& a) const {
        json j = callJson(a.call, a.answer);
        j["answer"] = a.yes();
        doc["isMpio"] = std::move(j);
    }
    void operator()(const ListOutcome& l) const { doc[command] = listJson(l); }
    void operator()(const CheckOutcome& c) const { doc["isPartition"] = checkJson(c); }
    void operator()(const PartitionsOutcome& p) const { doc["partitions"] = partitionsJson(p); }
    void operator()(const ReportOutcome& r) const { doc["report"] = reportJson(r); }
};

}  // namespace

namespace {

// Invalid UTF-8 from the plug-in becomes U+FFFD instead of aborting the dump.
std::string dumped(const json& doc) {
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string renderJson(const CommandResult& result) {
    json doc;
    doc["schemaVersion"] = kJsonSchemaVersion;
    doc["command"] = result.command;
    doc["plugin"] = result.pluginPath;
    doc["exitStatus"] = result.exitStatus;
    doc["ok"] = result.exitStatus == 0;
    doc["init"] = result.init ? callJson(*result.init) : json(nullptr);
    std::visit(BodyJson{doc, result.command}, result.body);
    return dumped(doc);
}

std::string loadFailureJson(const std::string& command, const std::string& pluginPath,
                            const std::string& error, int exitStatus) {
    return dumped({{"schemaVersion", kJsonSchemaVersion},
                   {"command", command},
                   {"plugin", pluginPath},
                   {"exitStatus", exitStatus},
                   {"ok", false},
                   {"init", nullptr},
                   {"error", error}});
}

}  // namespace probe
