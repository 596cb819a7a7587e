// Another vendor's plug-in as a host may load it beside this one: the same fourteen names, other
// answers, and every answer from its own code and data. Its helpers say yes to everything, so a
// plug-in that reaches them instead of its own answers wrongly.
#include <unistd.h>

#include "TsMPIO_HDLM.h"

#define LOOKALIKE_EXPORT __attribute__((visibility("default")))

extern "C" {
LOOKALIKE_EXPORT bool bVerboseLogging = false;
LOOKALIKE_EXPORT const char* _VendorName = "Look-alike vendor MPIO";

LOOKALIKE_EXPORT const char* getVendorName(void) {
    return _VendorName;
}
// Sets its flag to the opposite of what the HDLM plug-in's init sets from the marker file, so a
// write to the wrong flag shows whichever plug-in makes it.
LOOKALIKE_EXPORT const char* init(void*, int*, char*) {
    bVerboseLogging = access("/tmp/MPIO_HDLM_VERBOSE_LOGGING", F_OK) != 0;
    return _VendorName;
}
LOOKALIKE_EXPORT int getMPIODevices(void*, char**, int* count, int*, char*) {
    *count = 0;
    return 0;
}
LOOKALIKE_EXPORT int isMPIODevice(void*, const char*, int*, char*) {
    return 1;
}
LOOKALIKE_EXPORT int getUnderlyingDevices(void*, const char*, char**, int* count, int*, char*) {
    *count = 0;
    return 0;
}
LOOKALIKE_EXPORT int refreshMPIO(void*, int*, char*) {
    return 0;
}
LOOKALIKE_EXPORT int deleteMPIODevice(void*, const char*, int*, char*) {
    return 0;
}
LOOKALIKE_EXPORT int isPartitionDevice(void*, const char*, char*, int*, char*) {
    return 1;
}
LOOKALIKE_EXPORT int getPartitionDevices(void*, const char*, TsPartInfo*, int* count, int, int*,
                                         char*) {
    *count = 0;
    return 0;
}
}  // extern "C"

LOOKALIKE_EXPORT int listMPIODevices(std::map<std::string, std::string>& devices) {
    devices["1-3"] = "lookalike";
    return 0;
}
LOOKALIKE_EXPORT int FindMpDeviceName(const char*, std::string& mpioDevice) {
    mpioDevice = "lookalike";
    return 1;
}
LOOKALIKE_EXPORT bool compareDevMajor(int) {
    return true;
}
