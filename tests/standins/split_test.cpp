// FXString::Split: every separator character cuts, empty pieces are kept, results are appended.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FXString.h"

namespace {

using Pieces = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string text;
    std::string separators;
    Pieces expected;
};

class SplitTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, GivesThePiecesBetweenSeparators) {
    const SplitCase& c = GetParam();
    Pieces pieces;
    const int count = FXString::Split(c.text, c.separators, pieces, 0);
    EXPECT_EQ(pieces, c.expected);
    EXPECT_EQ(count, static_cast<int>(c.expected.size()));
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTable,
    ::testing::Values(
        SplitCase{"EmptyTextIsOneEmptyPiece", "", "\n", {""}},
        SplitCase{"NoSeparatorInText", "sddlmaa", "\n", {"sddlmaa"}},
        SplitCase{"TrailingSeparatorGivesTrailingEmptyPiece", "a\nb\n", "\n", {"a", "b", ""}},
        SplitCase{"LeadingSeparatorGivesLeadingEmptyPiece", "\na", "\n", {"", "a"}},
        SplitCase{"OnlySeparator", "\n", "\n", {"", ""}},
        SplitCase{"DoubledSeparatorGivesEmptyPiece", "253  0", " ", {"253", "", "0"}},
        SplitCase{"EveryCharacterOfSeparatorsCuts", "a b\tc\nd", " \t\n", {"a", "b", "c", "d"}},
        SplitCase{"MixedNeighbouringSeparators", "a \tb", " \t", {"a", "", "b"}},
        SplitCase{"NoSeparatorsKeepsWholeText", "a b\nc", "", {"a b\nc"}},
        SplitCase{"NoSeparatorsAndNoText", "", "", {""}},
        SplitCase{"NulIsAnOrdinarySeparator", "a\0b"s, "\0"s, {"a", "b"}},
        SplitCase{"NulInsideTextIsKept", "a\0b c"s, " ", {"a\0b"s, "c"}},
        SplitCase{"ProcPartitionsLine",
                  "253 0 10485760 sddlmaa",
                  " ",
                  {"253", "0", "10485760", "sddlmaa"}},
        SplitCase{"SeparatorsAreSetNotSequence", "a,b;c", ";,", {"a", "b", "c"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(Split, AppendsAfterExistingPieces) {
    Pieces pieces{"kept"};
    EXPECT_EQ(FXString::Split("x y", " ", pieces, 0), 2);
    EXPECT_EQ(pieces, (Pieces{"kept", "x", "y"}));
}

TEST(Split, FlagsOtherThanZeroBehaveLikeZero) {
    for (unsigned int flags : {1u, 2u, 0xffffffffu}) {
        Pieces pieces;
        EXPECT_EQ(FXString::Split("a  b\n", " \n", pieces, flags), 4) << "flags " << flags;
        EXPECT_EQ(pieces, (Pieces{"a", "", "b", ""})) << "flags " << flags;
    }
}

TEST(Split, LargeOutputKeepsEveryLine) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "line" + std::to_string(i) + '\n';
    Pieces pieces;
    ASSERT_EQ(FXString::Split(text, "\n", pieces, 0), 100001);
    EXPECT_EQ(pieces.front(), "line0");
    EXPECT_EQ(pieces[99999], "line99999");
    EXPECT_EQ(pieces.back(), "");
}

}  // namespace
