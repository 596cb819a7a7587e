// Loads the plug-in the way a host does: by path, from whatever folder it runs in, with no
// LD_LIBRARY_PATH. Deliberately links none of the host's libraries, so only the plug-in's own
// RUNPATH can find them. Prints the vendor string; exit status 0 only on success.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s /path/to/libTsMPIO_HDLM.so\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
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
