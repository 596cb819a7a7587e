/* TsMPIO_HDLM: the HDLM multipath plug-in's interface, as the host includes it.
 *
 * Every path or message the plug-in hands back is written into a caller-owned buffer of
 * MAXMPIOPATHLEN / MAXMPIOERRORLEN bytes: at most 1023 characters and a NUL. The plug-in hands
 * out no memory and throws nothing across these functions. */
#ifndef TSMPIO_HDLM_H
#define TSMPIO_HDLM_H

#include <stddef.h> /* NOLINT(modernize-deprecated-headers): C compilers read this header too */
#include <stdint.h> /* NOLINT(modernize-deprecated-headers): C compilers read this header too */
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define MAXMPIOPATHLEN 1024
#define MAXMPIOERRORLEN 1024

/* One partition of an HDLM disk, as getPartitionDevices reports it. */
struct TsPartInfo {
    char devName[MAXMPIOPATHLEN]; /* the disk's path followed by the partition's number */
    uint32_t partNum;             /* the partition's number */
    uint64_t startSector;         /* first sector, in units of sectorSize */
    uint64_t numSectors;          /* length, in units of sectorSize */
    uint64_t sectorSize;          /* always 512 */
    uint32_t devMajor;            /* major number of the partition's node */
    uint32_t devMinor;            /* minor number of the partition's node */
#ifdef __cplusplus
    TsPartInfo()
        : devName(),
          partNum(0),
          startSector(0),
          numSectors(0),
          sectorSize(0),
          devMajor(0),
          devMinor(0) {}
#endif
};
#ifndef __cplusplus
typedef struct TsPartInfo TsPartInfo;
#endif

#ifdef __cplusplus
static_assert(sizeof(TsPartInfo) == 1064, "TsPartInfo is 1064 bytes");
static_assert(offsetof(TsPartInfo, devName) == 0, "devName offset");
static_assert(offsetof(TsPartInfo, partNum) == 1024, "partNum offset");
static_assert(offsetof(TsPartInfo, startSector) == 1032, "startSector offset");
static_assert(offsetof(TsPartInfo, numSectors) == 1040, "numSectors offset");
static_assert(offsetof(TsPartInfo, sectorSize) == 1048, "sectorSize offset");
static_assert(offsetof(TsPartInfo, devMajor) == 1056, "devMajor offset");
static_assert(offsetof(TsPartInfo, devMinor) == 1060, "devMinor offset");
extern "C" {
#else
_Static_assert(sizeof(struct TsPartInfo) == 1064, "TsPartInfo is 1064 bytes");
#endif

/* The vendor string; works before init. */
const char* getVendorName(void);
/* Prepares the plug-in; returns the vendor string, or null when HDLM is not usable. */
const char* init(void* context, int* errorCode, char* errorMessage);
/* Lists HDLM devices as /dev/ paths. *count: in capacity, out number filled.
 * Returns 0 when all fitted, the number of devices when more than the capacity, or a negative
 * command status. */
int getMPIODevices(void* context, char** mpioDevices, int* count, int* errorCode,
                   char* errorMessage);
/* 1 when device is an HDLM disk or partition, 0 otherwise, -1 when the error outputs are null. */
int isMPIODevice(void* context, const char* device, int* errorCode, char* errorMessage);
/* Lists the SCSI path devices beneath an HDLM device (a partition stands for its disk).
 * Returns 0, the number of paths (gone paths left out) when more than the capacity, -6 for a
 * device that is not HDLM, -1 for an item that names no SCSI path ("Unexpected item"), or a
 * negative command status. */
int getUnderlyingDevices(void* context, const char* mpioDevice, char** underlyingDevices,
                         int* count, int* errorCode, char* errorMessage);
/* Makes HDLM drop paths whose devices have gone, then take over new ones. */
int refreshMPIO(void* context, int* errorCode, char* errorMessage);
/* Accepted and does nothing. */
int deleteMPIODevice(void* context, const char* mpioDevice, int* errorCode, char* errorMessage);
/* 1 when device is a partition of an HDLM disk (parent, when not null, receives the disk). */
int isPartitionDevice(void* context, const char* device, char* parent, int* errorCode,
                      char* errorMessage);
/* Fills partInfo with the partitions of an HDLM disk; returns their number or a negative code. */
int getPartitionDevices(void* context, const char* device, TsPartInfo* partInfo, int* count,
                        int reserved, int* errorCode, char* errorMessage);

/* The two data symbols are exported aliases of the plug-in's own hidden variables, so that
 * another vendor's plug-in loaded earlier with the same names cannot answer for them. Reach them
 * through dlsym on the plug-in's handle, as the agent does: a host linked with libTsMPIO_HDLM.so
 * at build time that uses these declarations gets copy relocations, a copy of its own that the
 * plug-in never reads or writes. */
extern bool bVerboseLogging;    /* set by init when the verbose-logging marker file exists */
extern const char* _VendorName; /* "Tessarine: HDS HDLM MPIO" */

#ifdef __cplusplus
} /* extern "C" */

#include <map>
#include <string>

/* C++ helpers the plug-in exports under their mangled names. */
int listMPIODevices(std::map<std::string, std::string>& devices);
int FindMpDeviceName(const char* device, std::string& mpioDevice);
bool compareDevMajor(int major);
#endif

#endif /* TSMPIO_HDLM_H */
