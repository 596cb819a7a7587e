// One table per enum instead of parallel switches: each value's names and texts stand on one
// line, and a lookup finds them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace facts {

// The entry of `table` whose `key` is `key`; `unknown` for a value the table lacks.
template <typename Facts, std::size_t N, typename Key>
const Facts& of(const Facts (&table)[N], Key key, const Facts& unknown) {
    const Facts* found = std::find_if(std::begin(table), std::end(table),
                                      [key](const Facts& entry) { return entry.key == key; });
    return found != std::end(table) ? *found : unknown;
}

}  // namespace facts
