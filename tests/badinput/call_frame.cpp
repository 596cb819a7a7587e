#include "call_frame.h"

#include <cstdint>

namespace bad_input {

CallFrame::CallFrame(const Row& row) {
    errorCode.set(0, kUntouchedCode);
    count.set(0, row.capacityIn());
    const size_t length = static_cast<size_t>(row.arrayLength);
    entries = std::make_unique<guarded::Array<char*>>(length, "entry pointer array");
    for (size_t i = 0; i < length; ++i) {
        entryBuffers.push_back(
            std::make_unique<guarded::Text>("entry buffer [" + std::to_string(i) + "]"));
        entries->set(i,
                     (row.nulls & kNullSecondEntry) && i == 1 ? nullptr : entryBuffers[i]->chars());
    }
    parts = std::make_unique<guarded::Array<TsPartInfo>>(length, "TsPartInfo array");
}

std::string CallFrame::damage() const {
    std::string report;
    auto add = [&report](const std::string& what) {
        if (!what.empty()) report += what + "; ";
    };
    add(errorCode.damage());
    add(errorMessage.damage());
    add(parent.damage());
    add(count.damage());
    for (const auto& buffer : entryBuffers) add(buffer->damage());
    add(entries->damage());
    add(parts->damage());
    return report;
}

long long invoke(PluginInstance& plugin, const Row& row, const char* name, CallFrame& frame) {
    const unsigned nulls = row.nulls;
    // The host's context is never read: a pointer that would fault if it were.
    void* context = (nulls & kNullContext) ? nullptr : reinterpret_cast<void*>(uintptr_t{1});
    int* code = (nulls & kNullErrorCode) ? nullptr : frame.errorCode.data();
    char* message = (nulls & kNullErrorMessage) ? nullptr : frame.errorMessage.chars();
    int* count = (nulls & kNullCount) ? nullptr : frame.count.data();
    char** array = (nulls & kNullArray) ? nullptr : frame.entries->data();
    TsPartInfo* parts = (nulls & kNullArray) ? nullptr : frame.parts->data();
    char* parent = (nulls & kNullParent) ? nullptr : frame.parent.chars();
    if (row.name == Name::WildPointer) name = reinterpret_cast<const char*>(uintptr_t{1});

    auto vendorOrNull = [](const char* vendor) {
        return vendor == nullptr ? kNullResult : kVendor;
    };
    switch (row.entry) {
        case Entry::getVendorName:
            return vendorOrNull(plugin.getVendorName());
        case Entry::init:
            return vendorOrNull(plugin.init(context, code, message));
        case Entry::getMPIODevices:
            return plugin.getMPIODevices(context, array, count, code, message);
        case Entry::isMPIODevice:
            return plugin.isMPIODevice(context, name, code, message);
        case Entry::getUnderlyingDevices:
            return plugin.getUnderlyingDevices(context, name, array, count, code, message);
        case Entry::refreshMPIO:
            return plugin.refreshMPIO(context, code, message);
        case Entry::deleteMPIODevice:
            return plugin.deleteMPIODevice(context, name, code, message);
        case Entry::isPartitionDevice:
            return plugin.isPartitionDevice(context, name, parent, code, message);
        case Entry::getPartitionDevices:
            // The fifth argument is never read: an arbitrary value.
            return plugin.getPartitionDevices(context, name, parts, count, -12345, code, message);
        case Entry::FindMpDeviceName:
            return plugin.FindMpDeviceName(name, frame.nameOut);
        case Entry::listMPIODevices:
            return plugin.listMPIODevices(frame.map);
        case Entry::compareDevMajor:
            return plugin.compareDevMajor(row.number) ? 1 : 0;
    }
    return -999;
}

}  // namespace bad_input
