// The bad-input table, every row that needs device nodes: the HDLM disk 253:16, its partition
// 253:17 and a character node sharing the disk's number, made in a private mount namespace
// (root only; skipped otherwise).
#include "row_test.h"

namespace bad_input {
namespace {

using BadInputOnNodes = TableRows<DeviceTest>;

TEST_P(BadInputOnNodes, LeavesWhatTheTableSays) {
    runThisRow();
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputOnNodes, ::testing::ValuesIn(BadInputOnNodes::rows()),
                         RowName());

}  // namespace
}  // namespace bad_input
