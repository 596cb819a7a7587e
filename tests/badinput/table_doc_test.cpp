// The documented table is the table the tests run, and its rows are told apart by name.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "bad_input_row.h"
#include "table_markers.h"

namespace bad_input {
namespace {

TEST(BadInputTable, DocumentationShowsExactlyTheTestedRows) {
    std::ifstream in(BAD_INPUT_DOC);
    ASSERT_TRUE(in) << "cannot read " << BAD_INPUT_DOC;
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const size_t begin = text.find(kTableBegin);
    const size_t end = text.find(kTableEnd);
    ASSERT_NE(begin, std::string::npos) << "no table marker in " << BAD_INPUT_DOC;
    ASSERT_NE(end, std::string::npos) << "no end marker in " << BAD_INPUT_DOC;
    const size_t bodyStart = begin + std::string(kTableBegin).size() + 1;
    EXPECT_EQ(text.substr(bodyStart, end - bodyStart), markdownTable(allRows()))
        << "docs/bad-input.md is out of date: run badinput_print_table --update " << BAD_INPUT_DOC;
}

TEST(BadInputTable, EveryRowHasItsOwnName) {
    std::set<std::string> seen;
    for (const Row& r : allRows()) EXPECT_TRUE(seen.insert(r.label()).second) << r.label();
}

TEST(BadInputTable, EveryEntryPointHasRows) {
    std::set<Entry> covered;
    for (const Row& r : allRows()) covered.insert(r.entry);
    EXPECT_EQ(covered.size(), 12u);
}

}  // namespace
}  // namespace bad_input
