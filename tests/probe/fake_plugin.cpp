// A stand-in plug-in with the nine entry points, scripted by a scenario file, so the probe can be
// run against every answer a real plug-in may give (failures, lists longer than the array, ...).
//
// FAKE_MPIO_SCENARIO names the scenario (JSON, see probe_scenario.h); FAKE_MPIO_CALL_LOG, when set,
// names a file that receives one line per call ("getMPIODevices capacity=64"). Built a second
// time with FAKE_MPIO_WITHOUT_REFRESH to stand for a plug-in that lacks an entry point.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "TsMPIO_HDLM.h"

namespace {

using nlohmann::json;

json scenario() {
    const char* path = std::getenv("FAKE_MPIO_SCENARIO");
    if (!path) return json::object();
    std::ifstream in(path);
    return json::parse(in);
}

void logCall(const std::string& line) {
    const char* path = std::getenv("FAKE_MPIO_CALL_LOG");
    if (!path) return;
    std::ofstream out(path, std::ios::app);
    out << line << "\n";
}

// As the real plug-in: the whole 1024-byte buffer is written, so a shorter one shows under ASan.
void copyPath(char* buffer, const std::string& text) {
    std::memset(buffer, 0, MAXMPIOPATHLEN);
    std::strncpy(buffer, text.c_str(), MAXMPIOPATHLEN - 1);
}

void setError(int* errorCode, char* errorMessage, int code, const std::string& text) {
    if (errorCode) *errorCode = code;
    if (errorMessage) std::snprintf(errorMessage, MAXMPIOERRORLEN, "%s", text.c_str());
}

// A failing command: status into errorCode, its text into errorMessage, minus |status| returned.
bool commandFailed(const json& step, int* errorCode, char* errorMessage, int& result) {
    int status = step.value("status", 0);
    if (status == 0) return false;
    setError(errorCode, errorMessage, status, step.value("errorText", std::string()));
    result = -std::abs(status);
    return true;
}

const char* const kDefaultVendor = "Fake MPIO vendor";

}  // namespace

extern "C" {

const char* getVendorName(void) {
    try {
        logCall("getVendorName");
        json s = scenario();
        if (s.value("vendorIsNull", false)) return nullptr;
        static std::string vendor;
        vendor = s.value("vendor", std::string(kDefaultVendor));
        return vendor.c_str();
    } catch (...) {
        return nullptr;
    }
}

const char* init(void*, int* errorCode, char* errorMessage) {
    try {
        logCall("init");
        if (!errorCode) return nullptr;
        if (!errorMessage) {
            *errorCode = -1;
            return nullptr;
        }
        json s = scenario();
        if (s.value("/init/fail"_json_pointer, false)) return nullptr;
        return kDefaultVendor;
    } catch (...) {
        return nullptr;
    }
}

// Lists like the real plug-in: the command's output has a final newline, so the segment total
// is one more than the devices; a positive result says the total exceeded the capacity.
int getMPIODevices(void*, char** mpioDevices, int* count, int* errorCode, char* errorMessage) {
    try {
        logCall("getMPIODevices capacity=" + std::to_string(*count));
        json step = scenario().value("devices", json::object());
        int result = 0;
        if (commandFailed(step, errorCode, errorMessage, result)) return result;
        auto items = step.value("items", std::vector<std::string>());
        int filled = 0;
        for (const auto& item : items) {
            if (filled < *count) copyPath(mpioDevices[filled++], "/dev/" + item);
        }
        int segments = static_cast<int>(items.size()) + 1;
        result = segments > *count ? segments : 0;
        *count = filled;
        return result;
    } catch (...) {
        return -1;
    }
}

int isMPIODevice(void*, const char* device, int* errorCode, char* errorMessage) {
    try {
        logCall(std::string("isMPIODevice ") + device);
        if (!errorCode) return -1;
        if (!errorMessage) {
            *errorCode = -1;
            return -1;
        }
        json s = scenario();
        if (s.contains("isMpioResult")) return s["isMpioResult"].get<int>();
        for (const auto& name : s.value("mpio", std::vector<std::string>())) {
            if (name == device) return 1;
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

int getUnderlyingDevices(void*, const char* mpioDevice, char** underlyingDevices, int* count,
                         int* errorCode, char* errorMessage) {
    try {
        logCall(std::string("getUnderlyingDevices ") + mpioDevice +
                " capacity=" + std::to_string(*count));
        json all = scenario().value("underlying", json::object());
        if (!all.contains(mpioDevice)) return -6;
        const json& step = all[mpioDevice];
        int result = 0;
        if (commandFailed(step, errorCode, errorMessage, result)) return result;
        auto items = step.value("items", std::vector<std::string>());
        int filled = 0;
        for (const auto& item : items) {
            if (filled < *count) copyPath(underlyingDevices[filled++], item);
        }
        int total = static_cast<int>(items.size());
        result = total > *count ? total : 0;
        *count = filled;
        return result;
    } catch (...) {
        return -1;
    }
}

#ifndef FAKE_MPIO_WITHOUT_REFRESH
int refreshMPIO(void*, int* errorCode, char* errorMessage) {
    try {
        logCall("refreshMPIO");
        json step = scenario().value("refresh", json::object());
        int status = step.value("status", 0);
        setError(errorCode, errorMessage, status, step.value("errorText", std::string()));
        return status;
    } catch (...) {
        return -1;
    }
}
#endif

int deleteMPIODevice(void*, const char* mpioDevice, int*, char*) {
    try {
        logCall(std::string("deleteMPIODevice ") + (mpioDevice ? mpioDevice : "(null)"));
        return scenario().value("/delete/result"_json_pointer, 0);
    } catch (...) {
        return -1;
    }
}

// Only failures write the error outputs; a plain "no" leaves them as they were.
int isPartitionDevice(void*, const char* device, char* parent, int* errorCode, char* errorMessage) {
    try {
        logCall(std::string("isPartitionDevice ") + device);
        json all = scenario().value("partitionOf", json::object());
        if (!all.contains(device)) return 0;
        const json& entry = all[device];
        if (entry.contains("statErrno")) {
            int error = entry["statErrno"].get<int>();
            setError(errorCode, errorMessage, error,
                     std::string("Stat ") + device + " failed:" + std::to_string(error));
            return 0;
        }
        if (parent) copyPath(parent, entry.value("parent", std::string()));
        return 1;
    } catch (...) {
        return 0;
    }
}

// *count becomes the number of partitions found, which may exceed the capacity; only as many
// entries as fit are filled.
int getPartitionDevices(void*, const char* device, TsPartInfo* partInfo, int* count, int,
                        int* errorCode, char* errorMessage) {
    try {
        logCall(std::string("getPartitionDevices ") + device +
                " capacity=" + std::to_string(*count));
        json all = scenario().value("partitions", json::object());
        if (!all.contains(device) || all[device].value("status", 0) < 0) {
            int status = all.contains(device) ? all[device].value("status", 0) : -1;
            *count = 0;
            setError(errorCode, errorMessage, status, device);
            return status;
        }
        const json& list = all[device].at("list");
        int found = static_cast<int>(list.size());
        for (int i = 0; i < found && i < *count; ++i) {
            const json& p = list[static_cast<size_t>(i)];
            TsPartInfo info;
            std::snprintf(info.devName, sizeof info.devName - 1, "%s%u", device,
                          p.at("number").get<unsigned>());
            info.partNum = p.at("number").get<uint32_t>();
            info.startSector = p.at("start").get<uint64_t>();
            info.numSectors = p.at("sectors").get<uint64_t>();
            info.sectorSize = 512;
            info.devMajor = p.at("major").get<uint32_t>();
            info.devMinor = p.at("minor").get<uint32_t>();
            partInfo[i] = info;
        }
        *count = found;
        return found;
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
