// Owns a libblkid probe; the probe never owns the descriptor it reads from.
#pragma once
#include <blkid/blkid.h>

#include <memory>
#include <type_traits>

struct ProbeDeleter {
    void operator()(blkid_probe probe) const noexcept { blkid_free_probe(probe); }
};
using ProbeHandle = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;
