#include "platform/uinput/input_event_writer.h"

#include <cerrno>
#include <unistd.h>

input_event InputEventWriter::event(unsigned short type, unsigned short code, int value)
{
    input_event e {};
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

std::vector<input_event> InputEventWriter::pasteSequence(bool withShift)
{
    std::vector<input_event> events;
    auto key = [&](unsigned short code, int value) {
        events.push_back(event(EV_KEY, code, value));
        events.push_back(event(EV_SYN, SYN_REPORT, 0));
    };
    key(KEY_LEFTCTRL, 1);
    if (withShift)
        key(KEY_LEFTSHIFT, 1);
    key(KEY_V, 1);
    key(KEY_V, 0);
    if (withShift)
        key(KEY_LEFTSHIFT, 0);
    key(KEY_LEFTCTRL, 0);
    return events;
}

bool InputEventWriter::write(const std::vector<input_event>& events) const
{
    const auto* data = reinterpret_cast<const char*>(events.data());
    size_t left = events.size() * sizeof(input_event);
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= size_t(n);
    }
    return true;
}
