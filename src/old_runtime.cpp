// For the old-ABI plug-in only: RHEL 7's stock libstdc++ (GLIBCXX_3.4.19) lacks
// std::__throw_out_of_range_fmt (3.4.20), which std::string::substr reaches through inline code.
// The plug-in keeps its own copy, so it needs nothing newer than that runtime; it throws
// the same exception, its text the format without the arguments.
#include <bits/functexcept.h>

// Defining it in std is the point: it replaces the runtime's own (NOLINT below).
namespace std {  // NOLINT(cert-dcl58-cpp)
// Not exported: the version script keeps it local. Declared noreturn by <bits/functexcept.h>.
void __throw_out_of_range_fmt(const char* format, ...) {
    std::__throw_out_of_range(format);
}
}  // namespace std
