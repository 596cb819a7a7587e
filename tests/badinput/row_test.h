// The fixture the table's rows run under: a fresh plug-in on `Host` and a scratch folder with
// the hostile files, made anew for each row. On DeviceTest (a private mount namespace, root) run
// the rows that need device nodes; on the plain scripted host, all the others.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "row_runner.h"
#include "support/plugin_fixture.h"

namespace bad_input {

template <typename Host>
class TableRows : public Host, public ::testing::WithParamInterface<Row> {
public:
    static constexpr bool kOnNodes = std::is_base_of_v<DeviceTest, Host>;

    // The rows of the whole table that belong on this host.
    static std::vector<Row> rows() {
        std::vector<Row> rows;
        for (const Row& r : allRows())
            if (r.needsDeviceNodes() == kOnNodes) rows.push_back(r);
        return rows;
    }

protected:
    void SetUp() override {
        Host::SetUp();
        if (Host::IsSkipped() || Host::HasFatalFailure()) return;
        // On nodes the folder lies in the namespace's private /tmp, so that the character node
        // it holds never lands on a real file system, whatever TMPDIR says.
        scratch_ = std::make_unique<bad_names::Scratch>(kOnNodes ? "/tmp" : "");
        ASSERT_EQ(scratch_->error(), "");
        if constexpr (kOnNodes) {
            ASSERT_EQ(scratch_->makeDeviceNodes(), "");
        }
    }
    void TearDown() override {
        scratch_.reset();
        Host::TearDown();
    }

    void runThisRow() { runRow(*this->plugin, this->GetParam(), *scratch_); }

private:
    std::unique_ptr<bad_names::Scratch> scratch_;
};

}  // namespace bad_input
