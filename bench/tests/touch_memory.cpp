// Test helper for peak-rss: touches MIB MiB of memory, then exits with STATUS (or dies of
// SIGNAL when STATUS is "signal:N").
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const size_t mib = std::strtoul(argv[1], nullptr, 10);
    std::vector<char> memory(mib << 20);
    std::memset(memory.data(), 0x5a, memory.size());
    volatile char sink = memory.empty() ? 0 : memory[memory.size() / 2];
    (void)sink;
    const std::string status = argv[2];
    if (status.rfind("signal:", 0) == 0)
        std::raise(static_cast<int>(std::strtol(status.c_str() + 7, nullptr, 10)));
    return static_cast<int>(std::strtol(status.c_str(), nullptr, 10));
}
