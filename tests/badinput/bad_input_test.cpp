// The bad-input table, every row that needs no device node: run on the scripted host with the
// hostile files in a scratch folder.
#include "row_test.h"

namespace bad_input {
namespace {

using BadInput = TableRows<PluginTest>;

TEST_P(BadInput, LeavesWhatTheTableSays) {
    runThisRow();
}

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(BadInput::rows()), RowName());

}  // namespace
}  // namespace bad_input
