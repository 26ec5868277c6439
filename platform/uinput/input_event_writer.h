#pragma once

#include <linux/input.h>
#include <vector>

// Writes input_event records to a file descriptor (the uinput device, or a pipe in
// tests), retrying short writes and interruptions.
class InputEventWriter {
public:
    explicit InputEventWriter(int fd)
        : fd_(fd)
    { }

    static input_event event(unsigned short type, unsigned short code, int value);
    // Ctrl(+Shift)+V, each key edge followed by a SYN_REPORT so that it stands alone.
    static std::vector<input_event> pasteSequence(bool withShift);

    bool write(const std::vector<input_event>& events) const;

private:
    int fd_;
};
