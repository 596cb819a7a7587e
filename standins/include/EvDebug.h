// The host's logger. Each message is one short-lived EvDebug object that receives one DebugLvl
// call. Lines go to the file named by TS_DEBUG_LOG, or to standard error when it is unset.
#pragma once

class EvDebugFileInstance;  // opaque log sink of the host; null selects the default sink

class EvDebug {
public:
    explicit EvDebug(EvDebugFileInstance* file);
    ~EvDebug();  // NOLINT(performance-trivially-destructible): an exported symbol of the host
    EvDebug(const EvDebug&) = delete;
    EvDebug& operator=(const EvDebug&) = delete;

    // Writes one line: "YYYY-MM-DD HH:MM:SS.mmm PID TID LEVEL LABEL MESSAGE".
    // Never throws: a line that can't be built for lack of memory is dropped.
    void DebugLvl(const char* label, int level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

private:
    // Kept for the host library's object layout; the stand-in always writes to one sink.
    // Only clang warns of an unused private field; GCC 10 rejects the attribute on a member.
#if defined(__clang__)
    [[maybe_unused]]
#endif
    EvDebugFileInstance* file_;
};
