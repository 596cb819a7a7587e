// The partition reader's symbol for executables that load the plug-in: answers from the script
// in host_doubles.cpp, or hands over to libkpartx.so. A harness with the plug-in's module
// compiled in links the stand-in reader itself instead.
#include <dlfcn.h>

#include <cerrno>

#include "host_doubles.h"

int getPartitions(const char* device, std::list<slice>& slices) {
    host_double::PartitionScript& script = host_double::partitionScript();
    script.reads.emplace_back(device);
    if (script.real) {
        // The real reader comes next in the search order under the same (mangled) name as
        // this definition.
        using Reader = int (*)(const char*, std::list<slice>&);
        static const Reader real = [] {
            Dl_info self{};
            const Reader own = &getPartitions;
            if (dladdr(reinterpret_cast<void*>(own), &self) == 0 || self.dli_sname == nullptr)
                return Reader{};
            return reinterpret_cast<Reader>(dlsym(RTLD_NEXT, self.dli_sname));
        }();
        if (real == nullptr) return -ENOSYS;
        return real(device, slices);
    }
    if (!script.scripted) return -ENOSYS;
    slices.insert(slices.end(), script.slices.begin(), script.slices.end());
    return script.result;
}
