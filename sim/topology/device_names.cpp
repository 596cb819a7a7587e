#include "topology/device_names.h"

namespace sim {

std::string hdevName(int index) {
    if (index < 0 || index >= kMaxHdlmDevices) return {};
    std::string name = "sddlm";
    if (index < 256) {
        name += char('a' + index / 16);
        name += char('a' + index % 16);
    } else {
        int i = index - 256;
        name += char('a' + i / 16);
        name += 'a';
        name += char('a' + i % 16);
    }
    return name;
}

int hdevIndex(const std::string& name) {
    if (name.compare(0, 5, "sddlm") != 0) return -1;
    std::string tail = name.substr(5);
    auto letter = [](char c) { return c >= 'a' && c <= 'p' ? c - 'a' : -1; };
    if (tail.size() == 2) {
        int x = letter(tail[0]), y = letter(tail[1]);
        if (x < 0 || y < 0) return -1;
        return x * 16 + y;
    }
    if (tail.size() == 3 && tail[1] == 'a') {
        int x = letter(tail[0]), y = letter(tail[2]);
        if (x < 0 || y < 0) return -1;
        return 256 + x * 16 + y;
    }
    return -1;
}

int hdevLetter(int index) {
    return index < 256 ? index / 16 : (index - 256) / 16;
}

unsigned hdevDiskMinor(int index) {
    return index < 256 ? unsigned(16 * (index % 16)) : unsigned(256 + 16 * ((index - 256) % 16));
}

int scsiIndex(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "sd") != 0) return -1;
    // Bijective base 26, as the sd driver names its disks.
    long index = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        char c = name[i];
        if (c < 'a' || c > 'z') return -1;
        index = index * 26 + (c - 'a' + 1);
        if (index > 1000000) return -1;
    }
    return int(index - 1);
}

std::string scsiName(int index) {
    std::string letters;
    for (long i = long(index) + 1; i > 0; i = (i - 1) / 26)
        letters.insert(0, 1, char('a' + (i - 1) % 26));
    return "sd" + letters;
}

DevNum scsiDevNum(int index) {
    unsigned group = unsigned(index & 0xf0) >> 4;
    unsigned major = group == 0 ? 8 : group < 8 ? 64 + group : 128 + group - 8;
    unsigned minor = (unsigned(index & 0xf) << 4) | unsigned(index & 0xfff00);
    return {major, minor};
}

}  // namespace sim
