// The hostile names that need no device node, with what stat makes of each when the name is
// handed to it unchanged: an errno, or 0 when stat succeeds on a node that is no HDLM device.
#pragma once

#include <cerrno>
#include <vector>

#include "bad_input_row.h"
#include "support/bad_names.h"

namespace bad_input {

struct HostilePath {
    bad_names::Name name;
    int statErrno;
};

inline std::vector<HostilePath> hostilePaths() {
    using bad_names::Name;
    return {
        {Name::Empty, ENOENT},
        {Name::Length1023, ENOENT},
        {Name::Length1024, ENOENT},
        {Name::Length4096, ENAMETOOLONG},
        {Name::LongerThanPathMax, ENAMETOOLONG},
        {Name::LongHdlmLikeName, ENAMETOOLONG},
        {Name::Blanks, ENOENT},
        {Name::Newline, ENOENT},
        {Name::Quotes, ENOENT},
        {Name::DollarParen, ENOENT},
        {Name::Backticks, ENOENT},
        {Name::Semicolon, ENOENT},
        {Name::Percent, ENOENT},
        {Name::Missing, ENOENT},
        {Name::RegularFile, 0},
        {Name::Directory, 0},
        {Name::CharDevice, 0},
        {Name::Fifo, 0},
        {Name::SymlinkLoop, ELOOP},
    };
}

// One row for each hostile path, as `rowFor` makes it.
template <typename RowFor>
std::vector<Row> forEachHostilePath(RowFor rowFor) {
    std::vector<Row> rows;
    for (const HostilePath& path : hostilePaths()) rows.push_back(rowFor(path));
    return rows;
}

// The `call` with each hostile path as its name.
inline std::vector<Row> withEachHostilePath(const RowBuilder& call) {
    return forEachHostilePath(
        [&call](const HostilePath& path) { return RowBuilder(call).with(path.name); });
}

}  // namespace bad_input
