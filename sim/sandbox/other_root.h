// Running the command inside another root file system (an older distribution, say) that sees
// the simulated host: its /dev, the machine's /proc with the simulated files, and a dlnkmgr
// that works whatever C library the root carries.
#pragma once
#include <string>
#include <vector>

namespace sim {

// A folder of the caller's brought into the root (--bind SRC[:DST]).
struct BindSpec {
    std::string source;
    std::string target;  // absolute, inside the root
};

// "SRC" or "SRC:DST"; both absolute after SRC is made so. Throws std::runtime_error saying what
// is wrong with the text.
BindSpec parseBind(const std::string& text);

// Empty when `dir` can serve as a root; else what is missing ("no such directory", "no
// executable /bin/sh inside"). /bin/sh is looked up as the root sees it, links included.
std::string unusableRoot(const std::string& dir);

// Where the command starts inside the root: the caller's directory seen through the bind that
// holds it, else "/".
std::string startDirectory(const std::string& cwd, const std::vector<BindSpec>& binds);

// Assembles the root at `mountPoint`: `dir` under a throw-away writable layer kept in
// `scratch` (the root itself is never written), the simulated /dev with its pts, shm and the
// simulator's work folder, the machine's /proc (with the simulated files bound over it) and
// /sys, and the binds. Everything is a mount of the current private namespace: it goes when
// the namespace does. Throws std::runtime_error naming the step that failed.
void assembleRoot(const std::string& dir, const std::string& mountPoint, const std::string& scratch,
                  const std::vector<BindSpec>& binds);

// The machine's own root rebuilt at `mountPoint`: a tmpfs holding every top-level entry bound
// back in (links copied) and the simulated /dev and /proc, so that a top-level folder the machine
// lacks (/opt) can be added without creating anything outside the namespace. Throws
// std::runtime_error naming the step that failed.
void assembleHostRoot(const std::string& mountPoint);

// Creates `path` and its missing parents (mode 0755). Throws std::runtime_error if it cannot.
void makeDirs(const std::string& path);

// Makes `target` stand for `source` in a tree being assembled: a link is copied as a link,
// anything else bound (recursively) on a mount point made like it; a source gone meanwhile is
// passed over. Throws std::runtime_error naming the step that failed.
void mirrorEntry(const std::string& source, const std::string& target);

// Makes `script` a dlnkmgr that runs this very binary through the loader and libraries it
// runs on now, bound into `folder` (both paths as the root sees them, which is also how this
// process sees them): the root's own C library may be too old for it.
void provideDlnkmgr(const std::string& folder, const std::string& script);

}  // namespace sim
