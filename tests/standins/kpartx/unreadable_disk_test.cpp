// A disk the caller may not read: -EACCES. Root reads everything, so as root the call runs in
// a child that has dropped to the unprivileged user "nobody" (65534).
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "disk_image.h"
#include "kpartx.h"
#include "temp_dir.h"

namespace {

constexpr uid_t kNobody = 65534;

struct PermissionCase {
    const char* name;
    mode_t directoryMode;
    mode_t imageMode;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const PermissionCase& c, std::ostream* os) {
    *os << c.name;
}

const PermissionCase kCases[] = {
    {"ImageWithoutReadPermission", 0755, 0000},
    {"DirectoryWithoutSearchPermission", 0600, 0644},
};

// Runs getPartitions as "nobody" when we are root, else as ourselves. Sets `skipReason` when
// the privileges can't be dropped.
int getPartitionsUnprivileged(const std::string& path, std::string& skipReason) {
    if (geteuid() != 0) {
        std::list<slice> slices;
        return getPartitions(path.c_str(), slices);
    }
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        skipReason = std::string("pipe2 failed: ") + std::strerror(errno);
        return 0;
    }
    const pid_t child = fork();
    if (child == 0) {
        int rc = 1;  // distinguishable from every negative errno
        if (setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
            setresuid(kNobody, kNobody, kNobody) == 0) {
            std::list<slice> slices;
            rc = getPartitions(path.c_str(), slices);
        }
        const ssize_t ignored = write(channel[1], &rc, sizeof rc);
        (void)ignored;
        _exit(0);
    }
    close(channel[1]);
    int rc = 0;
    const ssize_t n = child > 0 ? read(channel[0], &rc, sizeof rc) : -1;
    close(channel[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    if (n != sizeof rc)
        skipReason = "the unprivileged child reported nothing";
    else if (rc == 1)
        skipReason = "cannot drop to uid 65534 (no such user mapping?)";
    return rc;
}

class UnreadableDisk : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(UnreadableDisk, ReturnsEacces) {
    const PermissionCase& c = GetParam();
    testsupport::TempDir dir;
    DiskImage image(dir / "disk.img", 8ULL << 20);
    writeTable(image.str(), "label: dos\nstart=2048,size=4096,type=83\n");
    ASSERT_EQ(chmod(image.path().c_str(), c.imageMode), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), c.directoryMode), 0);

    std::string skipReason;
    const int rc = getPartitionsUnprivileged(image.str(), skipReason);
    chmod(dir.path().c_str(), 0700);  // let the scratch directory be removed
    if (!skipReason.empty()) GTEST_SKIP() << skipReason;
    EXPECT_EQ(rc, -EACCES);
}

INSTANTIATE_TEST_SUITE_P(Permissions, UnreadableDisk, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PermissionCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
