// Loads the plug-in the way a host does: by path, from whatever folder it runs in, with no
// LD_LIBRARY_PATH. Deliberately links none of the host's libraries, so only the plug-in's own
// RUNPATH can find them. Prints the vendor string; exit status 0 only on success. With --lazy it
// loads with RTLD_LAZY, as some hosts load plug-ins.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const bool lazy = argc == 3 && std::strcmp(argv[1], "--lazy") == 0;
    if (argc != 2 && !lazy) {
        std::fprintf(stderr, "usage: %s [--lazy] /path/to/libTsMPIO_HDLM.so\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[argc - 1], (lazy ? RTLD_LAZY : RTLD_NOW) | RTLD_LOCAL);
    if (plugin == nullptr) {
        std::fprintf(stderr, "dlopen failed: %s\n", dlerror());
        return 1;
    }
    using VendorName = const char* (*)();
    auto vendor = reinterpret_cast<VendorName>(dlsym(plugin, "getVendorName"));
    if (vendor == nullptr) {
        std::fprintf(stderr, "getVendorName is not exported\n");
        return 1;
    }
    std::printf("%s\n", vendor());
    return dlclose(plugin) == 0 ? 0 : 1;
}
