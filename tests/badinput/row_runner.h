// Runs one bad-input row against a freshly loaded plug-in and checks every effect the row
// documents, plus what every case must hold: no guard byte overwritten, no child process and no
// descriptor left behind, no call blocked on the FIFO, the host's text never inside a command,
// no canary created, no logger misuse.
#pragma once

#include "bad_input_row.h"
#include "plugin_instance.h"
#include "support/bad_names.h"

namespace bad_input {

// Runs the row inside the scratch folder (its working folder for the call).
void runRow(PluginInstance& plugin, const Row& row, const bad_names::Scratch& scratch);

// gtest's name for a row's test.
struct RowName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.label();
    }
};

}  // namespace bad_input
