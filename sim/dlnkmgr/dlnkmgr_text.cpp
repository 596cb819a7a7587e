#include "dlnkmgr/dlnkmgr_text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "topology/numbering.h"

namespace sim {
namespace {

struct Column {
    std::string header;
    bool rightAligned = false;
};

// Rows of cells laid out like HDLM's tables: each column as wide as its widest cell, one
// blank between columns, headers left-aligned, the last column unpadded. An empty cell on a
// continuation row leaves the column blank.
std::string layout(const std::vector<Column>& columns,
                   const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> width(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        width[c] = columns[c].header.size();
        for (const auto& row : rows) width[c] = std::max(width[c], row[c].size());
    }
    auto line = [&](const std::vector<std::string>& cells, bool header) {
        std::string out;
        for (size_t c = 0; c < cells.size(); ++c) {
            bool last = c + 1 == cells.size();
            const std::string& v = cells[c];
            size_t pad = width[c] - v.size();
            if (columns[c].rightAligned && !header)
                out += std::string(pad, ' ') + v;
            else
                out += last ? v : v + std::string(pad, ' ');
            if (!last) out += ' ';
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out + "\n";
    };
    std::vector<std::string> headers;
    headers.reserve(columns.size());
    for (const Column& c : columns) headers.push_back(c.header);
    std::string out = line(headers, true);
    for (const auto& row : rows) out += line(row, false);
    return out;
}

std::string blockHeader(const StorageSystem& ss, size_t luCount) {
    char buf[256];
    snprintf(buf, sizeof buf, "%-14s: %s\n%-14s: %s\n%-14s: %zu\n\n", "Product", ss.product.c_str(),
             "SerialNumber", ss.serial.c_str(), "LUs", luCount);
    return buf;
}

std::vector<const Path*> managedPathsById(const LU& lu) {
    std::vector<const Path*> paths;
    for (const Path& p : lu.paths)
        if (hdlmListsPath(p)) paths.push_back(&p);
    std::sort(paths.begin(), paths.end(),
              [](const Path* a, const Path* b) { return a->pathId < b->pathId; });
    return paths;
}

std::string deviceText(const Path& p, const DlnkmgrOptions& o) {
    if (p.state == PathState::Gone && o.goneDeviceAsDash) return "-";
    return "/dev/" + p.device;
}

struct Hctl {
    unsigned host, channel, target, lun;
};

// Reads "host:channel:target:lun" in order; the fields from the first that does not parse keep
// their defaults.
void readHctl(const std::string& text, Hctl& h) {
    unsigned* const fields[] = {&h.host, &h.channel, &h.target, &h.lun};
    const char* at = text.c_str();
    for (unsigned* field : fields) {
        char* end = nullptr;
        errno = 0;
        const unsigned long value = strtoul(at, &end, 10);
        if (end == at || errno != 0 || value > UINT_MAX) return;
        *field = unsigned(value);
        if (*end != ':') return;
        at = end + 1;
    }
}

Hctl hctlOf(const Path& p, size_t ssIndex, size_t luIndex, size_t pathIndex) {
    Hctl h{unsigned(2 + pathIndex), 0, unsigned(ssIndex), unsigned(luIndex)};
    if (!p.hctl.empty()) readHctl(p.hctl, h);
    return h;
}

// What one line of `view -lu -item` is made from: the path, its LU, whether it is the LU's first
// line (the per-LU columns are blank on the others), its HCTL and channel adapter port.
struct ItemLine {
    const LU& lu;
    const Path& path;
    const DlnkmgrOptions& options;
    bool first;
    Hctl hctl;
    std::string port;
};

// The columns of `view -lu -item`, in order: title, alignment, and the cell of a line. The
// columns after Device marked `trailing` are those an HDLM release may not print, the last first:
// a topology's itemTrailingColumns keeps that many columns after Device.
struct ItemColumn {
    Column column;
    bool trailing;
    std::string (*cell)(const ItemLine&);
};

const ItemColumn kItemColumns[] = {
    {{"iLU"}, false, [](const ItemLine& l) { return l.first ? l.lu.ilu : std::string(); }},
    {{"SLPR", true}, false, [](const ItemLine& l) { return std::string(l.first ? "-" : ""); }},
    {{"HDevName"}, false, [](const ItemLine& l) { return l.first ? l.lu.hdev : std::string(); }},
    {{"Device"}, false, [](const ItemLine& l) { return deviceText(l.path, l.options); }},
    {{"PathID"}, false, [](const ItemLine& l) { return pathIdText(l.path.pathId); }},
    {{"PathName"},
     false,
     [](const ItemLine& l) {
         char name[64];
         snprintf(name, sizeof name, "%04X.%04X.%016X.%04X", l.hctl.host, l.hctl.channel,
                  l.hctl.target, l.hctl.lun);
         return std::string(name);
     }},
    {{"ChaPort"}, false, [](const ItemLine& l) { return l.port; }},
    {{"CLPR", true}, false, [](const ItemLine&) { return std::string("0"); }},
    {{"Status"}, false, [](const ItemLine& l) { return effectiveStatus(l.path); }},
    {{"Type"}, false, [](const ItemLine& l) { return l.path.type; }},
    {{"IO-Count", true}, false, [](const ItemLine& l) { return std::to_string(l.path.ioCount); }},
    {{"IO-Errors", true}, false, [](const ItemLine& l) { return std::to_string(l.path.ioErrors); }},
    {{"DNum", true}, false, [](const ItemLine&) { return std::string("0"); }},
    {{"IEP"}, false, [](const ItemLine&) { return std::string("-"); }},
    {{"HCTL"},
     true,
     [](const ItemLine& l) {
         return std::to_string(l.hctl.host) + ":" + std::to_string(l.hctl.channel) + ":" +
                std::to_string(l.hctl.target) + ":" + std::to_string(l.hctl.lun);
     }},
    {{"Physical-LDEV"}, true, [](const ItemLine&) { return std::string("-"); }},
};
constexpr size_t kItemColumnCount = sizeof kItemColumns / sizeof kItemColumns[0];

// Where Device stands in the table: the trailing columns are counted after it.
size_t deviceColumn() {
    for (size_t c = 0; c < kItemColumnCount; ++c)
        if (kItemColumns[c].column.header == "Device") return c;
    return kItemColumnCount;
}

// The columns a layout with `trailingColumns` after Device prints.
size_t itemColumnsShown(int trailingColumns) {
    return std::min(kItemColumnCount, deviceColumn() + 1 + size_t(trailingColumns));
}

}  // namespace

std::string pathIdText(int id) {
    char buf[16];
    snprintf(buf, sizeof buf, "%06d", id);
    return buf;
}

std::string hdlmTimestamp() {
    char buf[32];
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

std::string completionLine(const std::string& operation, const std::string& time) {
    return "KAPL01001-I The HDLM command completed normally. Operation name = " + operation +
           ", completion time = " + time + "\n";
}

std::string renderManagerView(const DlnkmgrOptions& o, const std::string& wakeupTime) {
    char buf[256];
    snprintf(buf, sizeof buf, "%-12s %-9s %s\n%-12s %-9s %s\n", "HDLM Manager", "Ver", "WakeupTime",
             o.manager.c_str(), o.version.c_str(), o.manager == "Alive" ? wakeupTime.c_str() : "-");
    return buf;
}

std::string renderLuView(const Topology& t, const std::optional<std::string>& hdev) {
    std::vector<Column> columns = {{"iLU"}, {"HDevName"}, {"Device"}, {"PathID"}, {"Status"}};
    std::string out;
    for (const StorageSystem& ss : t.storageSystems) {
        std::vector<std::vector<std::string>> rows;
        size_t luCount = 0;
        for (const LU& lu : ss.lus) {
            if (!luVisible(lu) || (hdev && lu.hdev != *hdev)) continue;
            ++luCount;
            bool first = true;
            for (const Path* p : managedPathsById(lu)) {
                rows.push_back({first ? lu.ilu : "", first ? lu.hdev : "",
                                deviceText(*p, t.dlnkmgr), pathIdText(p->pathId),
                                effectiveStatus(*p)});
                first = false;
            }
        }
        if (!luCount) continue;
        if (!out.empty()) out += "\n";
        out += blockHeader(ss, luCount) + layout(columns, rows);
    }
    return out;
}

ItemTrailingRange itemTrailingRange() {
    ItemTrailingRange range{0, 0};
    for (size_t c = deviceColumn() + 1; c < kItemColumnCount; ++c) {
        ++range.most;
        if (!kItemColumns[c].trailing) range.fewest = range.most;
    }
    return range;
}

std::optional<std::string> renderLuItemView(const Topology& t,
                                            const std::optional<std::string>& hdev) {
    const DlnkmgrOptions& o = t.dlnkmgr;
    const size_t shown = itemColumnsShown(o.itemTrailingColumns);
    std::vector<Column> columns;
    for (size_t c = 0; c < shown; ++c) columns.push_back(kItemColumns[c].column);
    std::string out;
    bool found = false;
    for (size_t s = 0; s < t.storageSystems.size(); ++s) {
        const StorageSystem& ss = t.storageSystems[s];
        std::vector<std::vector<std::string>> rows;
        size_t luCount = 0;
        for (size_t l = 0; l < ss.lus.size(); ++l) {
            const LU& lu = ss.lus[l];
            if (!luVisible(lu) || (hdev && lu.hdev != *hdev)) continue;
            ++luCount;
            bool first = true;
            for (const Path* path : managedPathsById(lu)) {
                const Path& p = *path;
                const size_t position = size_t(&p - lu.paths.data());
                const ItemLine line{lu,
                                    p,
                                    o,
                                    first,
                                    hctlOf(p, s, l, position),
                                    p.chaPort.empty()
                                        ? std::to_string(position + 1) + char('A' + s % 26)
                                        : p.chaPort};
                std::vector<std::string> row;
                for (size_t c = 0; c < shown; ++c) row.push_back(kItemColumns[c].cell(line));
                rows.push_back(std::move(row));
                first = false;
            }
        }
        if (!luCount) continue;
        found = true;
        if (!out.empty()) out += "\n";
        out += blockHeader(ss, luCount) + layout(columns, rows);
    }
    if (hdev && !found) return std::nullopt;
    return out;
}

std::string withMessageLine(const std::string& output, const std::string& message) {
    size_t after = output.find('\n');  // the end of the first line
    size_t header = output.compare(0, 4, "iLU ") == 0 ? 0 : output.find("\niLU ");
    if (header != std::string::npos) {
        size_t headerEnd = output.find('\n', header + (header ? 1 : 0));
        size_t pathEnd =
            headerEnd == std::string::npos ? headerEnd : output.find('\n', headerEnd + 1);
        if (pathEnd != std::string::npos) after = pathEnd;
    }
    if (after == std::string::npos) return output + (output.empty() ? "" : "\n") + message + "\n";
    return output.substr(0, after + 1) + message + "\n" + output.substr(after + 1);
}

}  // namespace sim
