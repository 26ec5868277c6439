#include "platform/x11/x11_keysym_map.h"

#include "platform/key_event.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

int neutralModifierForKeysym(unsigned long keysym)
{
    switch (keysym) {
    case XK_Super_R:
        return KeyCode::RightCommand;
    case XK_Super_L:
        return KeyCode::LeftCommand;
    case XK_Shift_L:
        return KeyCode::Shift;
    case XK_Shift_R:
        return KeyCode::RightShift;
    case XK_Caps_Lock:
        return KeyCode::CapsLock;
    case XK_Alt_L:
    case XK_Meta_L:
        return KeyCode::Option;
    case XK_Alt_R:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift: // AltGr in most layouts
        return KeyCode::RightOption;
    case XK_Control_L:
        return KeyCode::Control;
    case XK_Control_R:
        return KeyCode::RightControl;
    case XF86XK_WakeUp: // what some laptops' Fn key sends, when it reaches X at all
        return KeyCode::Function;
    default:
        return 0;
    }
}
