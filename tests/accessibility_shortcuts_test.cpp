// Which of Windows' accessibility shortcuts are off while the game has the focus: the flags held then,
// from the flags Windows reported, for each of the three features alike.
#include <gtest/gtest.h>

#include "app/accessibility_shortcuts.h"

TEST(AccessibilityShortcuts, OnlyTheShortcutsOfFeaturesTheUserLeftOffAreSuspended) {
    const uint32_t on = ShortcutFeatureOn, hotkey = ShortcutHotkeyActive, confirm = ShortcutConfirmHotkey;
    const uint32_t available = 0x2, audible = 0x40;  // bits the choice never touches
    struct Case {
        const char* name;
        uint32_t saved, whileFocused;
    };
    const Case cases[] = {
        {"Windows' default: shortcut and its prompt on", available | hotkey | confirm | audible, available | audible},
        {"shortcut without the prompt", hotkey, 0},
        {"the prompt alone", confirm, 0},
        {"feature turned on keeps its shortcut", on | available | hotkey | confirm, on | available | hotkey | confirm},
        {"nothing to turn off", available, available},
        {"nothing at all", 0, 0},
    };
    for (const Case& c : cases) {
        const AccessibilityFlags other = {available | hotkey, on | hotkey, hotkey | confirm};
        const AccessibilityFlags otherFocused = {available, on | hotkey, 0};
        for (uint32_t AccessibilityFlags::*feature :
             {&AccessibilityFlags::stickyKeys, &AccessibilityFlags::toggleKeys, &AccessibilityFlags::filterKeys}) {
            AccessibilityFlags saved = other;
            saved.*feature = c.saved;
            AccessibilityFlags whileFocused = shortcutsOffWhileFocused(saved);
            AccessibilityFlags expected = otherFocused;
            expected.*feature = c.whileFocused;
            EXPECT_EQ(whileFocused.stickyKeys, expected.stickyKeys) << c.name;
            EXPECT_EQ(whileFocused.toggleKeys, expected.toggleKeys) << c.name;
            EXPECT_EQ(whileFocused.filterKeys, expected.filterKeys) << c.name;
        }
    }
}
