#include "sandbox/partition_image.h"

#include <fcntl.h>
#include <libfdisk/libfdisk.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "unique_fd.h"

namespace sim {
namespace {

struct ContextUnref {
    void operator()(fdisk_context* c) const { fdisk_unref_context(c); }
};
struct PartitionUnref {
    void operator()(fdisk_partition* p) const { fdisk_unref_partition(p); }
};
struct TypeUnref {
    void operator()(fdisk_parttype* t) const { fdisk_unref_parttype(t); }
};

void check(int rc, const std::string& what) {
    if (rc < 0) throw std::runtime_error("libfdisk: " + what + " failed: " + std::strerror(-rc));
}

// The partition's type: the topology's code or GUID, else Linux data (extended: 0x05).
std::unique_ptr<fdisk_parttype, TypeUnref> typeFor(fdisk_label* label, const PartitionTable& t,
                                                   const Partition& p) {
    std::string typeText = p.type;
    if (typeText.empty()) {
        if (t.label == "dos")
            typeText = p.kind == "extended" ? "5" : "83";
        else
            typeText = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";
    }
    fdisk_parttype* type = fdisk_label_parse_parttype(label, typeText.c_str());
    if (!type) throw std::runtime_error("libfdisk: unknown partition type '" + typeText + "'");
    return std::unique_ptr<fdisk_parttype, TypeUnref>(type);
}

}  // namespace

void writeBlankImage(const std::string& path, uint64_t sizeBytes) {
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.valid())
        throw std::runtime_error("cannot create image " + path + ": " + std::strerror(errno));
    if (ftruncate(fd.get(), off_t(sizeBytes)) != 0)
        throw std::runtime_error("cannot size image " + path + ": " + std::strerror(errno));
}

void writePartitionImage(const std::string& path, uint64_t sizeBytes, const PartitionTable& table) {
    writeBlankImage(path, sizeBytes);
    std::unique_ptr<fdisk_context, ContextUnref> cxt(fdisk_new_context());
    if (!cxt) throw std::runtime_error("libfdisk: cannot make a context");
    fdisk_disable_dialogs(cxt.get(), 1);
    check(fdisk_assign_device(cxt.get(), path.c_str(), 0), "opening " + path);
    check(fdisk_create_disklabel(cxt.get(), table.label.c_str()),
          "creating a " + table.label + " label");
    fdisk_label* label = fdisk_get_label(cxt.get(), nullptr);
    for (const Partition& p : table.partitions) {
        std::unique_ptr<fdisk_partition, PartitionUnref> pa(fdisk_new_partition());
        if (!pa) throw std::runtime_error("libfdisk: out of memory");
        std::string which = "partition " + std::to_string(p.number);
        check(fdisk_partition_set_partno(pa.get(), size_t(p.number - 1)), which + " number");
        check(fdisk_partition_set_start(pa.get(), p.start), which + " start");
        check(fdisk_partition_set_size(pa.get(), p.size), which + " size");
        auto type = typeFor(label, table, p);
        check(fdisk_partition_set_type(pa.get(), type.get()), which + " type");
        check(fdisk_add_partition(cxt.get(), pa.get(), nullptr), "adding " + which);
    }
    check(fdisk_write_disklabel(cxt.get()), "writing the table to " + path);
    check(fdisk_deassign_device(cxt.get(), 0), "closing " + path);
}

}  // namespace sim
