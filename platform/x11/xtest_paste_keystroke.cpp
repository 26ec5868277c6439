#include "platform/x11/xtest_paste_keystroke.h"

#include "platform/platform_log.h"
#include "platform/x11/synthetic_key_ledger.h"

#include <QList>
#include <algorithm>
#include <QSet>

// clang-format off: Xlib after Qt, whose names its macros would break
#include "platform/x11/xlib.h"
// clang-format on

namespace {

int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// Windows may vanish while we walk the tree; Xlib's default handler would exit.
class ScopedErrorIgnorer {
public:
    ScopedErrorIgnorer(Display* display)
        : display_(display)
        , previous_(XSetErrorHandler(ignoreXError))
    { }
    ~ScopedErrorIgnorer()
    {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    ScopedErrorIgnorer(const ScopedErrorIgnorer&) = delete;
    ScopedErrorIgnorer& operator=(const ScopedErrorIgnorer&) = delete;

private:
    Display* display_;
    XErrorHandler previous_;
};

bool isLockKeysym(KeySym sym)
{
    // Faking these would toggle a lock, not restore a held key.
    return sym == XK_Caps_Lock || sym == XK_Shift_Lock || sym == XK_Num_Lock || sym == XK_Scroll_Lock;
}

// Modifier keys currently down, as the server sees them (physical and faked).
QList<int> heldModifierKeycodes(Display* display)
{
    char keys[32] = {};
    XQueryKeymap(display, keys);
    QList<int> held;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return held;
    QSet<int> seen;
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        const int kc = map->modifiermap[i];
        if (kc == 0 || seen.contains(kc) || !(keys[kc / 8] & (1 << (kc % 8))))
            continue;
        seen.insert(kc);
        if (!isLockKeysym(XkbKeycodeToKeysym(display, XKeyCode(kc), 0, 0)))
            held.append(kc);
    }
    XFreeModifiermap(map);
    return held;
}

int keycodeFor(Display* display, KeySym sym, int fallback)
{
    const int kc = XKeysymToKeycode(display, sym);
    return kc ? kc : fallback;
}

} // namespace

XTestPasteKeystroke::XTestPasteKeystroke() = default;

XTestPasteKeystroke::~XTestPasteKeystroke()
{
    if (display_)
        XCloseDisplay(display_);
}

QString XTestPasteKeystroke::backendName() const
{
    return QStringLiteral("XTest");
}

bool XTestPasteKeystroke::open() const
{
    if (display_)
        return hasXTest_;
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return false;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    hasXTest_ = XTestQueryExtension(display_, &event, &error, &major, &minor);
    return hasXTest_;
}

bool XTestPasteKeystroke::canSend() const
{
    return open();
}

PasteMethod XTestPasteKeystroke::methodForClass(const QString& wmClass)
{
    // No default key pastes the CLIPBOARD here (Ctrl+Shift+V arrives as ^V, or starts
    // urxvt's ISO 14755 input); Shift+Insert pastes PRIMARY.
    static const QSet<QString> primaryTerminals = {
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("lxterm"),
        QStringLiteral("koi8rxterm"),
        QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),
        QStringLiteral("rxvt-unicode"),
        QStringLiteral("urxvt-256color"),
        QStringLiteral("mrxvt"),
        QStringLiteral("eterm"),
        QStringLiteral("aterm"),
    };
    static const QSet<QString> terminals = {
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("konsole"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("alacritty"),
        QStringLiteral("kitty"),
        QStringLiteral("terminator"),
        QStringLiteral("tilix"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("wezterm"),
        QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminology"),
        QStringLiteral("sakura"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("yakuake"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("ptyxis"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("roxterm"),
        QStringLiteral("ghostty"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("contour"),
        QStringLiteral("rio"),
        QStringLiteral("warp"),
        QStringLiteral("tabby"),
        QStringLiteral("hyper"),
    };
    const QString name = wmClass.toLower();
    if (primaryTerminals.contains(name))
        return PasteMethod::ShiftInsert;
    return terminals.contains(name) ? PasteMethod::ControlShiftV : PasteMethod::ControlV;
}

PasteMethod XTestPasteKeystroke::methodForFocus() const
{
    if (!open())
        return PasteMethod::ControlV;
    ScopedErrorIgnorer guard(display_);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    Window w = focus;
    // The focus is often a child of the client's top-level window, which holds WM_CLASS.
    while (w != None && w != PointerRoot) {
        XClassHint hint {nullptr, nullptr};
        if (XGetClassHint(display_, w, &hint)) {
            PasteMethod method = PasteMethod::ControlV;
            for (const char* name : {hint.res_name, hint.res_class}) {
                if (name && method == PasteMethod::ControlV)
                    method = methodForClass(QString::fromLocal8Bit(name));
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
            return method;
        }
        Window root = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, w, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        if (parent == root)
            break;
        w = parent;
    }
    return PasteMethod::ControlV;
}

void XTestPasteKeystroke::maskLoneModifier()
{
    if (open())
        tapControlUnlessHeld(heldModifierKeycodes(display_));
}

void XTestPasteKeystroke::tapControlUnlessHeld(const QList<int>& held)
{
    // A Control the person holds makes it a combination already, and a faked release
    // would lift it.
    for (int kc : held) {
        const KeySym sym = XkbKeycodeToKeysym(display_, XKeyCode(kc), 0, 0);
        if (sym == XK_Control_L || sym == XK_Control_R)
            return;
    }
    const int control = keycodeFor(display_, XK_Control_L, 37);
    auto& ledger = SyntheticKeyLedger::shared();
    for (const bool press : {true, false}) {
        ledger.expect(control, press);
        XTestFakeKeyEvent(display_, static_cast<unsigned int>(control), press ? True : False, CurrentTime);
    }
    XFlush(display_);
}

bool XTestPasteKeystroke::send(PasteMethod method)
{
    if (!open()) {
        qCWarning(lcPlatform) << "paste: no XTest on" << qEnvironmentVariable("DISPLAY");
        return false;
    }
    const int control = keycodeFor(display_, XK_Control_L, 37);
    const int shift = keycodeFor(display_, XK_Shift_L, 50);
    const int key = method == PasteMethod::ShiftInsert ? keycodeFor(display_, XK_Insert, 118)
                                                       : keycodeFor(display_, XK_v, 55);
    QList<int> modifiers;
    if (method != PasteMethod::ShiftInsert)
        modifiers << control;
    if (method != PasteMethod::ControlV)
        modifiers << shift;
    const QList<int> held = heldModifierKeycodes(display_);

    auto& ledger = SyntheticKeyLedger::shared();
    auto fake = [&](int keycode, bool press) {
        ledger.expect(keycode, press);
        XTestFakeKeyEvent(display_, static_cast<unsigned int>(keycode), press ? True : False, CurrentTime);
    };
    for (int kc : held)
        fake(kc, false);
    for (int kc : modifiers)
        fake(kc, true);
    fake(key, true);
    fake(key, false);
    for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
        fake(*it, false);
    for (int kc : held)
        fake(kc, true);
    // Pressed again by us, an Alt or Super would otherwise be let go of alone.
    const bool actsAlone = std::any_of(held.cbegin(), held.cend(), [this](int kc) {
        const KeySym sym = XkbKeycodeToKeysym(display_, XKeyCode(kc), 0, 0);
        return sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R || sym == XK_Super_L
            || sym == XK_Super_R;
    });
    if (actsAlone)
        tapControlUnlessHeld(held);
    XSync(display_, False);
    return true;
}
