// Runs one fuzzer's harness on each checked-in input of that fuzzer, one test per input: the
// empty input, the seeds, and the inputs the fuzzer once failed on. An input passes when the
// harness reports no broken property (and, in a sanitizer build, no sanitizer report).
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

struct Input {
    std::string name;
    std::string path;  // empty: the empty input
};

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> files;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return files;  // no seeds: the empty input alone
    while (const dirent* entry = readdir(d))
        if (entry->d_name[0] != '.') files.push_back(entry->d_name);
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

// A test name of letters, digits and underscores, unique among those already given.
std::string testName(const std::string& kind, const std::string& file,
                     std::set<std::string>& used) {
    std::string name = kind + "_";
    for (char c : file) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    std::string unique = name;
    for (int n = 2; used.count(unique) != 0; ++n) unique = name + "_" + std::to_string(n);
    used.insert(unique);
    return unique;
}

std::vector<Input> allInputs() {
    std::vector<Input> inputs{{"empty_input", ""}};
    std::set<std::string> used{"empty_input"};
    for (const std::string& file : filesIn(SEED_DIR))
        inputs.push_back({testName("seed", file, used), std::string(SEED_DIR) + "/" + file});
    return inputs;
}

// gtest prints a failing parameter with this instead of its bytes.
void PrintTo(const Input& input, std::ostream* out) {
    *out << (input.path.empty() ? "the empty input" : input.path);
}

class Replay : public testing::TestWithParam<Input> {};

TEST_P(Replay, HoldsEveryProperty) {
    std::string bytes;
    if (!GetParam().path.empty()) {
        std::ifstream file(GetParam().path, std::ios::binary);
        ASSERT_TRUE(file) << "cannot read " << GetParam().path;
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    fuzzhost::takeFailures();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const std::vector<std::string> failures = fuzzhost::takeFailures();
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
    EXPECT_TRUE(failures.empty()) << failures.size() << " properties broken by "
                                  << (GetParam().path.empty() ? "the empty input"
                                                              : GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Replay, testing::ValuesIn(allInputs()),
                         [](const testing::TestParamInfo<Input>& info) { return info.param.name; });

}  // namespace
