// The choice of which accessibility shortcuts to turn off while playing, as the platform's advice for
// games has it: only a shortcut whose feature the user has not turned on.
#include "app/accessibility_shortcuts.h"

namespace {

uint32_t withoutShortcut(uint32_t flags) {
    if (flags & ShortcutFeatureOn) return flags;
    return flags & ~(ShortcutHotkeyActive | ShortcutConfirmHotkey);
}

}  // namespace

AccessibilityFlags shortcutsOffWhileFocused(AccessibilityFlags saved) {
    return {withoutShortcut(saved.stickyKeys), withoutShortcut(saved.toggleKeys), withoutShortcut(saved.filterKeys)};
}
