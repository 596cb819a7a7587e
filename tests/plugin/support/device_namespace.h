// Real device nodes without touching the machine: the test process moves into a private mount
// namespace (as root) and gets a fresh tmpfs over /dev and over /tmp for every test.
#pragma once

#include <sys/stat.h>

#include <string>

namespace device_namespace {

// Enters the private namespace once per process. Returns "" on success, else why it can't.
std::string enter();
// Mounts a fresh, empty tmpfs over /dev and /tmp; returns "" or what failed.
std::string mountFreshDevAndTmp();
// Detaches both tmpfs mounts again.
void unmountDevAndTmp();

// Makes a block node (or, with `type` S_IFCHR, a character node; mode 0600) at `path`; returns
// "" or what failed.
std::string makeNode(const std::string& path, unsigned major, unsigned minor,
                     mode_t type = S_IFBLK);

}  // namespace device_namespace
