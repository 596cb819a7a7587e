// Topology <-> JSON. Every error names the field it is about, as a JSON path.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "dlnkmgr/dlnkmgr_main.h"
#include "dlnkmgr/dlnkmgr_text.h"
#include "topology/device_names.h"
#include "topology/topology.h"

namespace sim {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
}

// A JSON object being read: refuses keys it does not know, so a typo is an error, not a default.
// A field left out keeps the default its struct in topology.h gives it, written only there.
class Reader {
public:
    Reader(const json& j, std::string where) : j_(j), where_(std::move(where)) {
        if (!j_.is_object()) fail(where_, "expected an object");
    }
    ~Reader() = default;
    const std::string& where() const { return where_; }
    std::string at(const std::string& key) const {
        return where_.empty() ? key : where_ + "." + key;
    }
    bool has(const std::string& key) {
        seen_.insert(key);
        return j_.contains(key) && !j_.at(key).is_null();
    }
    const json& get(const std::string& key) {
        if (!has(key)) fail(at(key), "missing");
        return j_.at(key);
    }
    std::string str(const std::string& key, const std::string& dflt, bool required = false) {
        if (!has(key)) {
            if (required) fail(at(key), "missing");
            return dflt;
        }
        const json& v = j_.at(key);
        if (v.is_string()) return v.get<std::string>();
        if (v.is_number_integer()) return std::to_string(v.get<long long>());
        fail(at(key), "expected a string");
    }
    long long integer(const std::string& key, long long dflt, long long lo, long long hi) {
        if (!has(key)) return dflt;
        const json& v = j_.at(key);
        if (!v.is_number_integer()) fail(at(key), "expected an integer");
        long long n = v.get<long long>();
        if (n < lo || n > hi)
            fail(at(key), "out of range: " + std::to_string(n) + " (allowed " + std::to_string(lo) +
                              ".." + std::to_string(hi) + ")");
        return n;
    }
    uint64_t u64(const std::string& key, uint64_t dflt) {
        if (!has(key)) return dflt;
        const json& v = j_.at(key);
        if (!v.is_number_unsigned() && !(v.is_number_integer() && v.get<long long>() >= 0))
            fail(at(key), "expected a non-negative integer");
        return v.get<uint64_t>();
    }
    bool boolean(const std::string& key, bool dflt) {
        if (!has(key)) return dflt;
        const json& v = j_.at(key);
        if (!v.is_boolean()) fail(at(key), "expected true or false");
        return v.get<bool>();
    }
    const json& array(const std::string& key, bool required) {
        static const json empty = json::array();
        if (!has(key)) {
            if (required) fail(at(key), "missing");
            return empty;
        }
        const json& v = j_.at(key);
        if (!v.is_array()) fail(at(key), "expected an array");
        return v;
    }
    void done() const {
        for (auto it = j_.begin(); it != j_.end(); ++it)
            if (!seen_.count(it.key())) fail(at(it.key()), "unknown field");
    }

private:
    const json& j_;
    std::string where_;
    std::set<std::string> seen_;
};

bool oneToken(const std::string& s) {
    return !s.empty() && s.find_first_of(" \t\r\n") == std::string::npos;
}

// Built once: a topology of 512 LUs is checked field by field on every dlnkmgr call.
const std::regex kDosType("[0-9a-fA-F]{1,2}");
const std::regex kHctl("[0-9]+:[0-9]+:[0-9]+:[0-9]+");
const std::regex kIlu("[0-9A-F]+");

const std::set<std::string> kStatuses = {"Online",     "Online(E)", "Offline(C)",
                                         "Offline(E)", "Online(S)", "Online(D)"};

Partition readPartition(const json& j, const std::string& where, const std::string& label) {
    Reader r(j, where);
    Partition p;
    // A GPT has 128 entries; HDLM gives a disk 16 minors, so numbers above 15 have no node.
    p.number = int(r.integer("number", 0, 1, label == "gpt" ? 128 : 15));
    if (p.number == 0) fail(r.at("number"), "missing");
    p.kind = r.str("kind", label == "dos" ? "primary" : "");
    p.start = r.u64("start", 0);
    p.size = r.u64("size", 0);
    p.type = r.str("type", "");
    r.done();
    if (p.start == 0) fail(r.at("start"), "missing or 0 (the first sector holds the table)");
    if (p.size == 0) fail(r.at("size"), "missing or 0");
    if (label == "dos") {
        if (p.kind != "primary" && p.kind != "extended" && p.kind != "logical")
            fail(r.at("kind"), "must be primary, extended or logical, not '" + p.kind + "'");
        if (p.kind == "logical" ? p.number < 5 : p.number > 4)
            fail(r.at("number"), p.kind == "logical" ? "logical partitions are numbered from 5"
                                                     : "primary and extended partitions are 1-4");
        if (!p.type.empty() && !std::regex_match(p.type, kDosType))
            fail(r.at("type"), "a dos type is a hex code such as 83");
    } else if (!p.kind.empty() && p.kind != "gpt") {
        fail(r.at("kind"), "gpt partitions have no kind");
    }
    return p;
}

void checkTable(const PartitionTable& t, uint64_t diskSectors, const std::string& where) {
    std::set<int> numbers;
    const Partition* extended = nullptr;
    int nextLogical = 5;
    for (size_t i = 0; i < t.partitions.size(); ++i) {
        const Partition& p = t.partitions[i];
        std::string at = where + ".partitions[" + std::to_string(i) + "]";
        if (!numbers.insert(p.number).second) fail(at + ".number", "used twice");
        if (p.start + p.size > diskSectors)
            fail(at, "ends at sector " + std::to_string(p.start + p.size) + ", past the disk's " +
                         std::to_string(diskSectors));
        if (t.label == "gpt" && (p.start < 34 || p.start + p.size > diskSectors - 33))
            fail(at, "gpt partitions lie between sector 34 and the backup table");
        if (p.kind == "extended") {
            if (extended) fail(at + ".kind", "a second extended partition");
            extended = &p;
        }
        if (p.kind == "logical") {
            if (!extended)
                fail(at, "a logical partition needs an extended partition listed before it");
            if (p.number != nextLogical++)
                fail(at + ".number", "logical partitions are numbered 5, 6, ... in order");
            if (p.start <= extended->start || p.start + p.size > extended->start + extended->size)
                fail(at,
                     "lies outside its extended partition (which also needs a sector for the EBR)");
        }
        for (size_t k = 0; k < i; ++k) {
            const Partition& q = t.partitions[k];
            bool nested = (p.kind == "logical" && q.kind == "extended") ||
                          (q.kind == "logical" && p.kind == "extended");
            if (!nested && p.start < q.start + q.size && q.start < p.start + p.size)
                fail(at, "overlaps partition " + std::to_string(q.number));
        }
    }
}

PartitionTable readTable(const json& j, const std::string& where, uint64_t diskSectors) {
    Reader r(j, where);
    PartitionTable t;
    t.label = r.str("label", "", true);
    if (t.label != "dos" && t.label != "gpt")
        fail(r.at("label"), "must be dos or gpt, not '" + t.label + "'");
    const json& parts = r.array("partitions", false);
    for (size_t i = 0; i < parts.size(); ++i)
        t.partitions.push_back(
            readPartition(parts[i], r.at("partitions[" + std::to_string(i) + "]"), t.label));
    r.done();
    if (diskSectors) checkTable(t, diskSectors, where);
    return t;
}

PathState parsePathState(const std::string& s, const std::string& where) {
    if (s == "managed") return PathState::Managed;
    if (s == "attachedLater") return PathState::AttachedLater;
    if (s == "gone") return PathState::Gone;
    if (s == "removed") return PathState::Removed;
    fail(where, "must be managed, attachedLater, gone or removed, not '" + s + "'");
}

Path readPath(const json& j, const std::string& where) {
    Reader r(j, where);
    Path p;
    p.device = r.str("device", "", true);
    if (scsiIndex(p.device) < 0)
        fail(r.at("device"), "'" + p.device + "' is not a SCSI disk name (sdc, sdaa, ...)");
    p.pathId = int(r.integer("pathId", p.pathId, 0, 999999));
    p.status = r.str("status", "");
    if (!p.status.empty() && !kStatuses.count(p.status))
        fail(r.at("status"), "'" + p.status +
                                 "' is not a path status (Online, Online(E), Offline(C), "
                                 "Offline(E), Online(S), Online(D))");
    p.state = parsePathState(r.str("state", "managed"), r.at("state"));
    p.hctl = r.str("hctl", "");
    if (!p.hctl.empty() && !std::regex_match(p.hctl, kHctl))
        fail(r.at("hctl"), "expected host:channel:target:lun, not '" + p.hctl + "'");
    p.chaPort = r.str("chaPort", "");
    if (!p.chaPort.empty() && !oneToken(p.chaPort)) fail(r.at("chaPort"), "must be one word");
    p.type = r.str("type", p.type);
    if (p.type != "Own" && p.type != "Non") fail(r.at("type"), "must be Own or Non");
    p.ioCount = r.u64("ioCount", 0);
    p.ioErrors = r.u64("ioErrors", 0);
    r.done();
    return p;
}

DevNum readDevNum(const json& j, const std::string& where) {
    Reader r(j, where);
    DevNum d;
    d.major = unsigned(r.integer("major", 0, 0, 4095));
    d.minor = unsigned(r.integer("minor", 0, 0, (1 << 20) - 1));
    r.done();
    return d;
}

LU readLU(const json& j, const std::string& where, int iluDigits, size_t position) {
    Reader r(j, where);
    LU lu;
    lu.ilu = r.str("ilu", "");
    if (lu.ilu.empty()) {
        char buf[32];
        snprintf(buf, sizeof buf, "%0*zX", iluDigits, position);
        lu.ilu = buf;
    }
    if (!std::regex_match(lu.ilu, kIlu) || int(lu.ilu.size()) != iluDigits)
        fail(r.at("ilu"),
             "'" + lu.ilu + "' is not " + std::to_string(iluDigits) + " upper-case hex digits");
    lu.hdev = r.str("hdev", "");
    if (!lu.hdev.empty() && hdevIndex(lu.hdev) < 0)
        fail(r.at("hdev"),
             "'" + lu.hdev + "' is not an HDLM name (sddlmaa..sddlmpp, sddlmaaa..sddlmpap)");
    lu.sizeMiB = r.u64("sizeMiB", lu.sizeMiB);
    if (lu.sizeMiB == 0 || lu.sizeMiB > (uint64_t(1) << 30))
        fail(r.at("sizeMiB"), "must be 1..2^30");
    if (r.has("partitionTable"))
        lu.table = readTable(r.get("partitionTable"), r.at("partitionTable"), lu.sizeMiB * 2048);
    const json& paths = r.array("paths", true);
    if (paths.empty()) fail(r.at("paths"), "an LU needs at least one path");
    for (size_t i = 0; i < paths.size(); ++i)
        lu.paths.push_back(readPath(paths[i], r.at("paths[" + std::to_string(i) + "]")));
    if (r.has("runtime")) {
        Reader rt(r.get("runtime"), r.at("runtime"));
        lu.disk = readDevNum(rt.get("disk"), rt.at("disk"));
        lu.loopBacked = rt.boolean("loopBacked", false);
        rt.done();
    }
    r.done();
    return lu;
}

Fault readFault(const json& j, const std::string& where) {
    Reader r(j, where);
    Fault f;
    f.status = int(r.integer("status", 0, -255, 255));
    if (r.has("stdout")) f.stdoutText = r.str("stdout", "");
    if (r.has("stderr")) f.stderrText = r.str("stderr", "");
    f.delayMs = int(r.integer("delayMs", 0, 0, 3600LL * 1000));
    f.hang = r.boolean("hang", false);
    f.times = int(r.integer("times", 0, 0, 1 << 30));
    if (r.has("message")) {
        f.message = r.str("message", "");
        if (f.message->find('\n') != std::string::npos)
            fail(r.at("message"), "one line, without a line end (it is added)");
    }
    f.used = int(r.integer("used", 0, 0, 1 << 30));
    r.done();
    return f;
}

DlnkmgrOptions readDlnkmgr(const json& j, const std::string& where) {
    Reader r(j, where);
    DlnkmgrOptions o;
    const ItemTrailingRange trailing = itemTrailingRange();
    o.itemTrailingColumns = int(
        r.integer("itemTrailingColumns", o.itemTrailingColumns, trailing.fewest, trailing.most));
    std::string messages = r.str("messages", o.messagesOnStderr ? "stderr" : "stdout");
    if (messages != "stdout" && messages != "stderr")
        fail(r.at("messages"), "must be stdout or stderr");
    o.messagesOnStderr = messages == "stderr";
    o.manager = r.str("manager", o.manager);
    if (o.manager != "Alive" && o.manager != "Dead") fail(r.at("manager"), "must be Alive or Dead");
    o.version = r.str("version", o.version);
    if (!oneToken(o.version)) fail(r.at("version"), "must be one word");
    std::string gone = r.str("goneDevice", o.goneDeviceAsDash ? "-" : "name");
    if (gone != "-" && gone != "name") fail(r.at("goneDevice"), "must be \"-\" or \"name\"");
    o.goneDeviceAsDash = gone == "-";
    if (r.has("faults")) {
        const json& faults = r.get("faults");
        if (!faults.is_object()) fail(r.at("faults"), "expected an object keyed by operation");
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            std::string at = r.at("faults[\"" + it.key() + "\"]");
            if (!isFaultOperation(it.key())) {
                std::string known;
                for (const std::string& operation : faultOperations())
                    known += (known.empty() ? "" : ", ") + operation;
                fail(at, "unknown operation (" + known + ")");
            }
            o.faults[it.key()] = readFault(it.value(), at);
        }
    }
    r.done();
    return o;
}

Recording readRecording(const json& j, const std::string& where) {
    Reader r(j, where);
    Recording rec;
    if (r.has("commands")) {
        const json& cmds = r.get("commands");
        if (!cmds.is_object())
            fail(r.at("commands"), "expected an object keyed by dlnkmgr arguments");
        for (auto it = cmds.begin(); it != cmds.end(); ++it) {
            Reader c(it.value(), r.at("commands[\"" + it.key() + "\"]"));
            RecordedCommand rc;
            rc.out = c.str("stdout", "");
            rc.err = c.str("stderr", "");
            rc.status = int(c.integer("status", 0, -255, 255));
            c.done();
            rec.commands[it.key()] = rc;
        }
    }
    rec.procPartitions = r.str("procPartitions", "", true);
    rec.procDevices = r.str("procDevices", "", true);
    const json& nodes = r.array("nodes", false);
    for (size_t i = 0; i < nodes.size(); ++i) {
        Reader n(nodes[i], r.at("nodes[" + std::to_string(i) + "]"));
        RecordedNode node;
        node.name = n.str("name", "", true);
        if (node.name.empty() || node.name.find('/') != std::string::npos)
            fail(n.at("name"), "must be a plain file name");
        std::string type = n.str("type", "b");
        if (type != "b" && type != "c") fail(n.at("type"), "must be b or c");
        node.type = type[0];
        node.dev.major = unsigned(n.integer("major", 0, 0, 4095));
        node.dev.minor = unsigned(n.integer("minor", 0, 0, (1 << 20) - 1));
        n.done();
        rec.nodes.push_back(node);
    }
    const json& disks = r.array("disks", false);
    for (size_t i = 0; i < disks.size(); ++i) {
        Reader d(disks[i], r.at("disks[" + std::to_string(i) + "]"));
        RecordedDisk disk;
        disk.name = d.str("name", "", true);
        disk.sectors = d.u64("sectors", 0);
        if (d.has("partitionTable"))
            disk.table = readTable(d.get("partitionTable"), d.at("partitionTable"), disk.sectors);
        if (d.has("runtime")) {
            Reader rt(d.get("runtime"), d.at("runtime"));
            disk.disk = readDevNum(rt.get("disk"), rt.at("disk"));
            disk.loopBacked = rt.boolean("loopBacked", false);
            rt.done();
        }
        d.done();
        rec.disks.push_back(disk);
    }
    r.done();
    return rec;
}

Runtime readRuntime(const json& j, const std::string& where) {
    Reader r(j, where);
    Runtime rt;
    rt.procPartitionsFile = r.str("procPartitionsFile", "");
    rt.procDevicesFile = r.str("procDevicesFile", "");
    rt.devDir = r.str("devDir", "");
    rt.realPartitions = r.str("realPartitions", "");
    rt.realDevices = r.str("realDevices", "");
    for (const json& m : r.array("letterMajors", false))
        rt.letterMajors.push_back(m.get<unsigned>());
    rt.loopMajor = unsigned(r.integer("loopMajor", 0, 0, 4095));
    rt.nextPathId = int(r.integer("nextPathId", 0, 0, 999999));
    rt.enforceRoot = r.boolean("enforceRoot", false);
    rt.wakeupTime = r.str("wakeupTime", "");
    r.done();
    return rt;
}

json tableJson(const PartitionTable& t) {
    json parts = json::array();
    for (const Partition& p : t.partitions) {
        json jp = {{"number", p.number}, {"start", p.start}, {"size", p.size}};
        if (!p.kind.empty()) jp["kind"] = p.kind;
        if (!p.type.empty()) jp["type"] = p.type;
        parts.push_back(jp);
    }
    return {{"label", t.label}, {"partitions", parts}};
}

json devJson(const DevNum& d) {
    return {{"major", d.major}, {"minor", d.minor}};
}

}  // namespace

std::string pathStateName(PathState s) {
    switch (s) {
        case PathState::Managed:
            return "managed";
        case PathState::AttachedLater:
            return "attachedLater";
        case PathState::Gone:
            return "gone";
        case PathState::Removed:
            return "removed";
    }
    return "managed";
}

std::string effectiveStatus(const Path& p) {
    if (!p.status.empty()) return p.status;
    return p.state == PathState::Gone ? "Offline(E)" : "Online";
}

Topology parseTopology(const std::string& jsonText) {
    json j;
    try {
        j = json::parse(jsonText);
    } catch (const json::parse_error& e) {
        throw std::runtime_error(std::string("not valid JSON: ") + e.what());
    }
    Reader r(j, "");
    Topology t;
    const json& systems = r.array("storageSystems", false);
    std::set<std::string> hdevs, devices, serials;
    size_t luCount = 0;
    for (size_t i = 0; i < systems.size(); ++i) {
        Reader s(systems[i], "storageSystems[" + std::to_string(i) + "]");
        StorageSystem ss;
        ss.product = s.str("product", ss.product);
        if (!oneToken(ss.product)) fail(s.at("product"), "must be one word");
        ss.serial = s.str("serial", ss.serial);
        if (!oneToken(ss.serial)) fail(s.at("serial"), "must be one word");
        if (!serials.insert(ss.product + "/" + ss.serial).second)
            fail(s.at("serial"), "storage system listed twice");
        ss.iluDigits = int(s.integer("iluDigits", ss.iluDigits, 1, 8));
        const json& lus = s.array("lus", true);
        std::set<std::string> ilus;
        for (size_t k = 0; k < lus.size(); ++k) {
            std::string where = s.at("lus[" + std::to_string(k) + "]");
            LU lu = readLU(lus[k], where, ss.iluDigits, k);
            if (!ilus.insert(lu.ilu).second)
                fail(where + ".ilu", "'" + lu.ilu + "' used twice in this storage system");
            if (!lu.hdev.empty() && !hdevs.insert(lu.hdev).second)
                fail(where + ".hdev", "'" + lu.hdev + "' used twice");
            for (size_t p = 0; p < lu.paths.size(); ++p)
                if (!devices.insert(lu.paths[p].device).second)
                    fail(where + ".paths[" + std::to_string(p) + "].device",
                         "'" + lu.paths[p].device + "' used twice");
            ss.lus.push_back(std::move(lu));
            ++luCount;
        }
        s.done();
        t.storageSystems.push_back(std::move(ss));
    }
    if (luCount > size_t(kMaxHdlmDevices))
        fail("storageSystems", std::to_string(luCount) + " LUs; HDLM's naming allows at most 512");
    if (r.has("dlnkmgr")) t.dlnkmgr = readDlnkmgr(r.get("dlnkmgr"), "dlnkmgr");
    if (r.has("proc")) {
        Reader p(r.get("proc"), "proc");
        t.proc.charDeviceSddlmfdrv = p.boolean("charDeviceSddlmfdrv", t.proc.charDeviceSddlmfdrv);
        t.proc.alertDriver = p.boolean("alertDriver", t.proc.alertDriver);
        p.done();
    }
    t.loopDevices = r.boolean("loopDevices", t.loopDevices);
    t.maxLoopBackedLUs = int(r.integer("maxLoopBackedLUs", t.maxLoopBackedLUs, 0, kMaxHdlmDevices));
    if (r.has("recording")) t.recording = readRecording(r.get("recording"), "recording");
    if (r.has("runtime")) t.runtime = readRuntime(r.get("runtime"), "runtime");
    r.has("comment");  // free text for the reader of the file
    r.done();
    if (t.storageSystems.empty() && !t.recording)
        fail("storageSystems", "missing or empty (a topology needs LUs, or a recording)");
    return t;
}

Topology loadTopology(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read topology " + path + ": " + std::strerror(errno));
    std::stringstream ss;
    ss << in.rdbuf();
    try {
        return parseTopology(ss.str());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

std::string toJson(const Topology& t, bool pretty) {
    json j;
    json systems = json::array();
    for (const StorageSystem& ss : t.storageSystems) {
        json lus = json::array();
        for (const LU& lu : ss.lus) {
            json paths = json::array();
            for (const Path& p : lu.paths) {
                json jp = {{"device", p.device}};
                if (p.pathId >= 0) jp["pathId"] = p.pathId;
                if (!p.status.empty()) jp["status"] = p.status;
                if (p.state != PathState::Managed) jp["state"] = pathStateName(p.state);
                if (!p.hctl.empty()) jp["hctl"] = p.hctl;
                if (!p.chaPort.empty()) jp["chaPort"] = p.chaPort;
                if (p.type != "Own") jp["type"] = p.type;
                if (p.ioCount) jp["ioCount"] = p.ioCount;
                if (p.ioErrors) jp["ioErrors"] = p.ioErrors;
                paths.push_back(jp);
            }
            json jl = {{"ilu", lu.ilu}, {"sizeMiB", lu.sizeMiB}};
            if (!lu.hdev.empty()) jl["hdev"] = lu.hdev;
            if (lu.table) jl["partitionTable"] = tableJson(*lu.table);
            jl["paths"] = paths;
            if (lu.disk.major)
                jl["runtime"] = {{"disk", devJson(lu.disk)}, {"loopBacked", lu.loopBacked}};
            lus.push_back(jl);
        }
        systems.push_back({{"product", ss.product},
                           {"serial", ss.serial},
                           {"iluDigits", ss.iluDigits},
                           {"lus", lus}});
    }
    if (!systems.empty()) j["storageSystems"] = systems;
    const DlnkmgrOptions& o = t.dlnkmgr;
    json d = {{"itemTrailingColumns", o.itemTrailingColumns},
              {"messages", o.messagesOnStderr ? "stderr" : "stdout"},
              {"manager", o.manager},
              {"version", o.version},
              {"goneDevice", o.goneDeviceAsDash ? "-" : "name"}};
    if (!o.faults.empty()) {
        json faults = json::object();
        for (const auto& [key, f] : o.faults) {
            json jf = {{"status", f.status}};
            if (f.stdoutText) jf["stdout"] = *f.stdoutText;
            if (f.stderrText) jf["stderr"] = *f.stderrText;
            if (f.delayMs) jf["delayMs"] = f.delayMs;
            if (f.hang) jf["hang"] = true;
            if (f.times) jf["times"] = f.times;
            if (f.message) jf["message"] = *f.message;
            if (f.used) jf["used"] = f.used;
            faults[key] = jf;
        }
        d["faults"] = faults;
    }
    j["dlnkmgr"] = d;
    j["proc"] = {{"charDeviceSddlmfdrv", t.proc.charDeviceSddlmfdrv},
                 {"alertDriver", t.proc.alertDriver}};
    j["loopDevices"] = t.loopDevices;
    j["maxLoopBackedLUs"] = t.maxLoopBackedLUs;
    if (t.recording) {
        const Recording& rec = *t.recording;
        json cmds = json::object();
        for (const auto& [key, c] : rec.commands)
            cmds[key] = {{"stdout", c.out}, {"stderr", c.err}, {"status", c.status}};
        json nodes = json::array();
        for (const RecordedNode& n : rec.nodes)
            nodes.push_back({{"name", n.name},
                             {"type", std::string(1, n.type)},
                             {"major", n.dev.major},
                             {"minor", n.dev.minor}});
        json disks = json::array();
        for (const RecordedDisk& dk : rec.disks) {
            json jd = {{"name", dk.name}, {"sectors", dk.sectors}};
            if (dk.table) jd["partitionTable"] = tableJson(*dk.table);
            if (dk.disk.major)
                jd["runtime"] = {{"disk", devJson(dk.disk)}, {"loopBacked", dk.loopBacked}};
            disks.push_back(jd);
        }
        j["recording"] = {{"commands", cmds},
                          {"procPartitions", rec.procPartitions},
                          {"procDevices", rec.procDevices},
                          {"nodes", nodes},
                          {"disks", disks}};
    }
    if (t.runtime) {
        const Runtime& rt = *t.runtime;
        j["runtime"] = {{"procPartitionsFile", rt.procPartitionsFile},
                        {"procDevicesFile", rt.procDevicesFile},
                        {"devDir", rt.devDir},
                        {"realPartitions", rt.realPartitions},
                        {"realDevices", rt.realDevices},
                        {"letterMajors", rt.letterMajors},
                        {"loopMajor", rt.loopMajor},
                        {"nextPathId", rt.nextPathId},
                        {"enforceRoot", rt.enforceRoot},
                        {"wakeupTime", rt.wakeupTime}};
    }
    return j.dump(pretty ? 2 : -1) + "\n";
}

}  // namespace sim
