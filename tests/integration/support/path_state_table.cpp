#include "path_state_table.h"

#include <array>
#include <utility>

#include "topology/device_names.h"

namespace integ {
namespace {

using nlohmann::json;

struct PathSetting {
    const char* state;   // as the topology says it
    const char* status;  // "": the simulator's default
};

const PathSetting kOnline{"managed", ""};
const PathSetting kOfflineC{"managed", "Offline(C)"};
const PathSetting kGone{"gone", ""};

struct Row {
    std::array<PathSetting, 3> paths;
    std::vector<std::pair<size_t, PathChange::Kind>> whileRunning;  // path index, change
};

std::vector<Row> rows() {
    std::vector<Row> rows = {{{kOnline, kOnline, kOnline}, {}}, {{kGone, kGone, kGone}, {}}};
    const PathSetting inTopology[] = {{"managed", "Online(E)"},
                                      kOfflineC,
                                      {"managed", "Offline(E)"},
                                      kGone,
                                      {"attachedLater", ""}};
    for (size_t at : {0u, 1u}) {  // the LU's first path, a later one
        for (const PathSetting& s : inTopology) {
            Row r{{kOnline, kOnline, kOnline}, {}};
            r.paths[at] = s;
            rows.push_back(r);
        }
        Row takenOffline{{kOnline, kOnline, kOnline}, {{at, PathChange::Offline}}};
        rows.push_back(takenOffline);
        Row broughtOnline{{kOnline, kOnline, kOnline}, {{at, PathChange::Online}}};
        broughtOnline.paths[at] = kOfflineC;
        rows.push_back(broughtOnline);
        rows.push_back({{kOnline, kOnline, kOnline}, {{at, PathChange::Remove}}});  // Offline(E)
        Row lastOnline{{kOfflineC, kOfflineC, kOfflineC}, {{at, PathChange::Remove}}};
        lastOnline.paths[at] = kOnline;  // its disk gone, it stays Online(E)
        rows.push_back(lastOnline);
        rows.push_back(
            {{kOnline, kOnline, kOnline}, {{at, PathChange::Remove}, {at, PathChange::Return}}});
    }
    rows.push_back({{kOnline, kOnline, kOnline},
                    {{0, PathChange::Remove}, {1, PathChange::Remove}, {2, PathChange::Remove}}});
    return rows;
}

std::string deviceOf(size_t row, size_t path) {
    return sim::scsiName(int(2 + 3 * row + path));  // from sdc on
}

int pathIdOf(size_t row, size_t path) {
    return int(3 * row + path);
}

}  // namespace

std::string PathChange::command() const {
    switch (kind) {
        case Offline:
            return "dlnkmgr offline -path -pathid " + std::to_string(pathId) + " -s";
        case Online:
            return "dlnkmgr online -path -pathid " + std::to_string(pathId) + " -s";
        case Remove:
            return "hdlm-sim fault remove " + device;
        case Return:
            return "hdlm-sim fault return " + device;
    }
    return "false";
}

void PathChange::applyTo(testsupport::HostModel& model) const {
    if (kind == Remove) model.removeDevice(device);
    if (kind == Return) model.returnDevice(device);
}

json pathStateTopology() {
    json lus = json::array();
    const std::vector<Row> table = rows();
    for (size_t r = 0; r < table.size(); ++r) {
        json paths = json::array();
        for (size_t p = 0; p < 3; ++p) {
            const PathSetting& s = table[r].paths[p];
            json path = {{"device", deviceOf(r, p)}, {"state", s.state}};
            if (*s.status) path["status"] = s.status;
            // Paths HDLM has not taken over get their PathIDs from add -path.
            if (std::string(s.state) != "attachedLater") path["pathId"] = pathIdOf(r, p);
            paths.push_back(path);
        }
        lus.push_back({{"sizeMiB", 8},
                       {"partitionTable",
                        {{"label", "dos"},
                         {"partitions", {{{"number", 1}, {"start", 2048}, {"size", 8192}}}}}},
                       {"paths", paths}});
    }
    return {{"comment", "Every path state as an LU's first path and as a later one"},
            {"storageSystems", {{{"lus", lus}}}}};
}

std::vector<PathChange> pathChangesWhileRunning() {
    std::vector<PathChange> changes;
    const std::vector<Row> table = rows();
    for (size_t r = 0; r < table.size(); ++r)
        for (const auto& [path, kind] : table[r].whileRunning)
            changes.push_back({kind, deviceOf(r, path), pathIdOf(r, path)});
    return changes;
}

}  // namespace integ
