// Windows' accessibility shortcuts (five presses of Shift for Sticky Keys, Num Lock held for Toggle
// Keys, right Shift held for Filter Keys) take the focus and so pause the game, and left Shift is the
// run key. While the window has the focus their shortcuts are off, unless the user has turned the
// feature itself on; they are put back exactly as they were when the focus goes and at exit. The
// choice is a function of the flags Windows reports; the calls are a thin platform file.
#pragma once
#include <cstdint>

// The bits of the flags that the choice reads; Windows gives each of the three features the same
// values (checked against its headers where they are called).
constexpr uint32_t ShortcutFeatureOn = 0x1;
constexpr uint32_t ShortcutHotkeyActive = 0x4;
constexpr uint32_t ShortcutConfirmHotkey = 0x8;

struct AccessibilityFlags {
    uint32_t stickyKeys, toggleKeys, filterKeys;
};

// The flags to hold while the window has the focus: each feature that is off loses its shortcut and
// the shortcut's confirmation; a feature the user turned on keeps everything; no other bit changes.
AccessibilityFlags shortcutsOffWhileFocused(AccessibilityFlags saved);

// While the window has the focus: reads and keeps the present flags, then turns the shortcuts off.
// Nothing happens where there are no such shortcuts (every platform but Windows).
void suspendAccessibilityShortcuts();
// When the focus goes and at exit: writes back what suspendAccessibilityShortcuts kept, if anything.
void restoreAccessibilityShortcuts();
