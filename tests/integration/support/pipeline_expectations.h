// What the plug-in's pipelines make of a dlnkmgr output, worked out from the interface's rules
// (awk's default field splitting, 1023 characters per entry), for outputs a test injects.
#pragma once
#include <string>
#include <vector>

namespace integ {

// awk's default fields of one record: split at runs of blanks and tabs, none at either end.
std::vector<std::string> awkFields(const std::string& record);

// getMPIODevices' entries for a `dlnkmgr view -lu` output, passed through
// `grep -E '[[:space:]]sddlm[a-p]{2,3}([[:space:]]|$)' | awk '$2 ~ /^sddlm[a-p][a-p][a-p]?$/
// {print $2}'`: /dev/ and the second field of each line whose second field is an HDLM name.
std::vector<std::string> expectedListing(const std::string& viewLu);

// getUnderlyingDevices' entries for a `view -lu -item -hdev` output, passed through
// `grep sd | awk '{print $(NF-11)}'`. False when awk must fail (a line with fewer than 11
// fields asks for a negative field).
bool expectedPaths(const std::string& itemView, std::vector<std::string>& entries);

}  // namespace integ
