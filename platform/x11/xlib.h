#pragma once

// Xlib for the X11 backends. Include it after every Qt header: Xlib defines macros
// (Bool, None, Status, KeyPress...) that clash with Qt's own names.

#include "platform/key_event.h"

// WORKAROUND(Xlib): X.h declares a type KeyCode, key_event.h a namespace of that name;
// the X type is renamed XKeyCode here (same type, so the ABI is unchanged).
#define KeyCode XKeyCode
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#undef KeyCode
