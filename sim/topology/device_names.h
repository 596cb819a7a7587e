// HDLM and SCSI device naming and numbering.
#pragma once
#include <string>

#include "topology/topology.h"

namespace sim {

constexpr int kMaxHdlmDevices = 512;

// HDLM names: index 0 -> sddlmaa, 255 -> sddlmpp, 256 -> sddlmaaa, 511 -> sddlmpap
// (three letters with the middle one 'a' once the two-letter names are used up).
std::string hdevName(int index);
// The inverse; -1 for a name that is not an HDLM disk name.
int hdevIndex(const std::string& name);
// The first letter's position (0 for 'a'), which selects the driver major.
int hdevLetter(int index);
// Minor of the disk under its letter's major: 16 minors per disk. Two-letter names use
// minors 0..255 (16 x second letter); three-letter names continue at 256..511
// (256 + 16 x last letter), so both kinds share their letter's major without colliding.
unsigned hdevDiskMinor(int index);

// SCSI disk names: sda=0 ... sdz=25, sdaa=26 ...; -1 for anything else.
int scsiIndex(const std::string& name);
std::string scsiName(int index);
// The kernel's numbering: sda..sdp major 8, then 65..71 and 128..135, 16 minors each;
// beyond 256 disks the minor carries the index's high bits.
DevNum scsiDevNum(int index);

}  // namespace sim
