// The bad-input table, every row that needs no device node: run on the scripted host with the
// hostile files in a scratch folder.
#include <memory>

#include "row_runner.h"
#include "support/plugin_fixture.h"

namespace bad_input {
namespace {

std::vector<Row> rowsWithoutNodes() {
    std::vector<Row> rows;
    for (const Row& r : allRows())
        if (!r.needsDeviceNodes()) rows.push_back(r);
    return rows;
}

class BadInput : public PluginTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        scratch_ = std::make_unique<bad_names::Scratch>();
        ASSERT_EQ(scratch_->error(), "");
    }
    void TearDown() override {
        scratch_.reset();
        PluginTest::TearDown();
    }
    std::unique_ptr<bad_names::Scratch> scratch_;
};

TEST_P(BadInput, LeavesWhatTheTableSays) {
    runRow(*plugin, GetParam(), *scratch_);
}

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(rowsWithoutNodes()), RowName());

}  // namespace
}  // namespace bad_input
