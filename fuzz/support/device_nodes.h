// Device nodes a harness can stat: in a private scratch folder that becomes the working
// directory, block nodes with the numbers of the machine's memory devices (major 1, minors 3, 5,
// 7, 9; never a minor with its low four bits zero; links to the character nodes themselves where
// no node can be made), and relative links to them whose names end in digits, so that stripping a
// partition number leads to another existing node.
#pragma once
#include <string>

namespace fuzzhost {

// Creates the scratch folder once per process, enters it and removes it at exit.
void enterScratchNodes();

// Since the working directory changes, libFuzzer must get absolute paths: rewrites relative
// corpus and artifact paths of the command line against the starting directory, and sends
// crash inputs there (not into the scratch folder) unless -artifact_prefix says otherwise.
// Called from LLVMFuzzerInitialize (scratch_nodes_start.cpp), which runs before libFuzzer reads
// its arguments.
void makeFuzzerPathsAbsolute(int* argc, char*** argv);

// A device name chosen by `selector`: one of the nodes above, a relative link, a path that does
// not exist, or (for the last values) `fallback`, the fuzzed name itself.
std::string chooseDevice(unsigned char selector, const std::string& fallback);

// The major number every node above has.
constexpr int kMemoryMajor = 1;

}  // namespace fuzzhost
