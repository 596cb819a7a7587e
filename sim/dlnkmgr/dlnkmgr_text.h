// The text dlnkmgr prints, laid out as HDLM lays it out.
#pragma once
#include <optional>
#include <string>

#include "topology/topology.h"

namespace sim {

// A PathID as dlnkmgr prints it: six digits.
std::string pathIdText(int id);

// "yyyy/mm/dd hh:mm:ss", local time.
std::string hdlmTimestamp();

// "KAPL01001-I The HDLM command completed normally. Operation name = OP, completion time = TIME"
std::string completionLine(const std::string& operation, const std::string& time);

std::string renderManagerView(const DlnkmgrOptions& options, const std::string& wakeupTime);

// view -lu: one block per storage system (three header lines, an empty line, the column
// header, a line per path with continuation lines for an LU's further paths), blocks
// separated by an empty line. No completion line.
std::string renderLuView(const Topology& t, const std::optional<std::string>& hdev = std::nullopt);

// How many one-token columns may follow Device under -item: those of the table, less the
// trailing ones an HDLM release may not print (a topology's itemTrailingColumns).
struct ItemTrailingRange {
    int fewest;
    int most;
};
ItemTrailingRange itemTrailingRange();

// view -lu -item [-hdev NAME]: every column; nullopt when NAME is not an HDLM device.
std::optional<std::string> renderLuItemView(const Topology& t,
                                            const std::optional<std::string>& hdev);

// `output` with `message` as a line of its own where HDLM prints one among a view's lines:
// right after the first path line of a `view -lu` table (the line after the first "iLU"
// header), else after the first line; the only line when there is no output.
std::string withMessageLine(const std::string& output, const std::string& message);

}  // namespace sim
