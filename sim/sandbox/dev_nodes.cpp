#include "sandbox/dev_nodes.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

namespace sim {
namespace {

bool simulatedName(const std::string& name) {
    if (name.compare(0, 2, "sd") != 0 || name.size() < 3) return false;
    for (size_t i = 2; i < name.size(); ++i)
        if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9')))
            return false;
    return true;
}

}  // namespace

void syncNodes(const std::string& devDir, const std::vector<NodeSpec>& wanted) {
    std::map<std::string, const NodeSpec*> want;
    for (const NodeSpec& n : wanted) want[n.name] = &n;
    DIR* dir = opendir(devDir.c_str());
    if (!dir) throw std::runtime_error("cannot list " + devDir + ": " + std::strerror(errno));
    std::map<std::string, struct stat> existing;
    while (struct dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (!simulatedName(name)) continue;
        struct stat st;
        if (lstat((devDir + "/" + name).c_str(), &st) == 0) existing[name] = st;
    }
    closedir(dir);
    struct group* disk = getgrnam("disk");
    gid_t diskGid = disk ? disk->gr_gid : 0;
    for (const auto& [name, st] : existing) {
        auto it = want.find(name);
        bool keep = it != want.end() &&
                    (it->second->type == 'b' ? S_ISBLK(st.st_mode) : S_ISCHR(st.st_mode)) &&
                    st.st_rdev == makedev(it->second->dev.major, it->second->dev.minor);
        if (keep) {
            want.erase(it);
        } else if (unlink((devDir + "/" + name).c_str()) != 0 && errno != ENOENT) {
            throw std::runtime_error("cannot remove " + devDir + "/" + name + ": " +
                                     std::strerror(errno));
        }
    }
    for (const auto& [name, n] : want) {
        std::string path = devDir + "/" + name;
        mode_t type = n->type == 'b' ? S_IFBLK : S_IFCHR;
        if (mknod(path.c_str(), type | 0660, makedev(n->dev.major, n->dev.minor)) != 0)
            throw std::runtime_error("cannot create device node " + path + ": " +
                                     std::strerror(errno));
        if (chown(path.c_str(), 0, diskGid) != 0 || chmod(path.c_str(), 0660) != 0)
            throw std::runtime_error("cannot set owner of " + path + ": " + std::strerror(errno));
    }
}

}  // namespace sim
