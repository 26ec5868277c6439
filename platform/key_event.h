#pragma once

#include <QtGlobal>

// The neutral keyboard stream the gesture logic reads, whatever backend produced it:
// (event type, modifier flags, key code). Values follow one fixed virtual layout so the
// logic needs no knowledge of X11 keycodes or evdev codes.

enum class KeyEventType : int {
    KeyDown = 10, // an ordinary (non-modifier) key went down
    KeyUp = 11, // an ordinary key went up
    FlagsChanged = 12, // a modifier key went down or up; flags carry the new state
};

// Modifier flags: device-independent bits, one per modifier kind, plus device-dependent
// bits that tell left from right.
namespace ModifierFlag {
inline constexpr quint64 Shift = 0x20000;
inline constexpr quint64 Control = 0x40000;
inline constexpr quint64 Alternate = 0x80000; // Alt ("Option")
inline constexpr quint64 Command = 0x100000; // Super ("Command")
inline constexpr quint64 SecondaryFn = 0x800000; // Fn, where the keyboard reports it
inline constexpr quint64 LeftCommandDevice = 0x08;
inline constexpr quint64 RightCommandDevice = 0x10;
} // namespace ModifierFlag

// Key codes of the modifier keys; ordinary keys carry the backend's own code (>= 256 is
// never used by a modifier, so any other value simply means "not a modifier").
namespace KeyCode {
inline constexpr int RightCommand = 54; // right Super
inline constexpr int LeftCommand = 55; // left Super
inline constexpr int Shift = 56;
inline constexpr int CapsLock = 57;
inline constexpr int Option = 58; // left Alt
inline constexpr int Control = 59; // left Ctrl
inline constexpr int RightShift = 60;
inline constexpr int RightOption = 61; // right Alt / AltGr
inline constexpr int RightControl = 62;
inline constexpr int Function = 63; // Fn
inline constexpr int OrdinaryKeyBase = 256; // ordinary keys: OrdinaryKeyBase + backend code
} // namespace KeyCode
