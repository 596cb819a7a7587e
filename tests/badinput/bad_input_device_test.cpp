// The bad-input table, every row that needs device nodes: the HDLM disk 253:16, its partition
// 253:17 and a character node sharing the disk's number, made in a private mount namespace
// (root only; skipped otherwise).
#include <memory>

#include "row_runner.h"
#include "support/plugin_fixture.h"

namespace bad_input {
namespace {

std::vector<Row> rowsOnNodes() {
    std::vector<Row> rows;
    for (const Row& r : allRows())
        if (r.needsDeviceNodes()) rows.push_back(r);
    return rows;
}

class BadInputOnNodes : public DeviceTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        scratch_ = std::make_unique<bad_names::Scratch>("/tmp");
        ASSERT_EQ(scratch_->error(), "");
        ASSERT_EQ(scratch_->makeDeviceNodes(), "");
    }
    void TearDown() override {
        scratch_.reset();
        DeviceTest::TearDown();
    }
    std::unique_ptr<bad_names::Scratch> scratch_;
};

TEST_P(BadInputOnNodes, LeavesWhatTheTableSays) {
    runRow(*plugin, GetParam(), *scratch_);
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputOnNodes, ::testing::ValuesIn(rowsOnNodes()), RowName());

}  // namespace
}  // namespace bad_input
