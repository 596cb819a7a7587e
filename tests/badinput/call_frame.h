// Every piece of caller storage one entry point call may touch, each fenced by guard bytes:
// errorCode, errorMessage, parent, count, the array of char* and the 1024-byte buffers it
// points at, and the TsPartInfo array. Unlike the call kit's calls, any of them may be passed
// as null, and the name as a wild pointer: the raw arguments are the point of these rows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TsMPIO_HDLM.h"
#include "bad_input_row.h"
#include "guarded_memory.h"
#include "plugin_calls.h"
#include "plugin_instance.h"

namespace bad_input {

// Storage the call leaves alone keeps its guarded fill pattern; errorCode, which is set, holds
// the call kit's marker.
using plugin_calls::kUntouchedCode;

struct CallFrame {
    explicit CallFrame(const Row& row);

    guarded::Array<int> errorCode{1, "errorCode"};
    guarded::Text errorMessage{"errorMessage"};
    guarded::Text parent{"parent"};
    guarded::Array<int> count{1, "count"};
    std::vector<std::unique_ptr<guarded::Text>> entryBuffers;
    std::unique_ptr<guarded::Array<char*>> entries;
    std::unique_ptr<guarded::Array<TsPartInfo>> parts;
    std::string nameOut = "stale text of an earlier call";
    std::map<std::string, std::string> map{{"0-0", "stale"}};

    // "" when every guard holds, else each overrun.
    std::string damage() const;
};

// Calls the row's entry point with its inputs; the result as Row::result encodes it.
long long invoke(PluginInstance& plugin, const Row& row, const char* name, CallFrame& frame);

}  // namespace bad_input
