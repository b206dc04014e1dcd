// Windows' accessibility shortcuts through SystemParametersInfo. Changes are never written to the
// user's profile, so a game that dies while focused leaves them off only until the next sign-in.
#include "app/accessibility_shortcuts.h"

#include <windows.h>

#include "base/log.h"

static_assert(SKF_STICKYKEYSON == ShortcutFeatureOn && TKF_TOGGLEKEYSON == ShortcutFeatureOn &&
              FKF_FILTERKEYSON == ShortcutFeatureOn);
static_assert(SKF_HOTKEYACTIVE == ShortcutHotkeyActive && TKF_HOTKEYACTIVE == ShortcutHotkeyActive &&
              FKF_HOTKEYACTIVE == ShortcutHotkeyActive);
static_assert(SKF_CONFIRMHOTKEY == ShortcutConfirmHotkey && TKF_CONFIRMHOTKEY == ShortcutConfirmHotkey &&
              FKF_CONFIRMHOTKEY == ShortcutConfirmHotkey);

namespace {

// What was read at the last focus, to be written back; lives for the process, main thread only.
struct HeldShortcuts {
    bool suspended;
    bool logged;
    STICKYKEYS stickyKeys;
    TOGGLEKEYS toggleKeys;
    FILTERKEYS filterKeys;
    AccessibilityFlags saved, whileFocused;
};

HeldShortcuts held;

template <typename Record>
bool writeFlags(UINT action, Record record, uint32_t flags) {
    record.dwFlags = flags;
    return SystemParametersInfoW(action, sizeof(Record), &record, 0);
}

}  // namespace

void suspendAccessibilityShortcuts() {
    if (held.suspended) return;
    held.stickyKeys = {sizeof(STICKYKEYS), 0};
    held.toggleKeys = {sizeof(TOGGLEKEYS), 0};
    held.filterKeys = {sizeof(FILTERKEYS), 0, 0, 0, 0, 0};
    if (!SystemParametersInfoW(SPI_GETSTICKYKEYS, sizeof(STICKYKEYS), &held.stickyKeys, 0) ||
        !SystemParametersInfoW(SPI_GETTOGGLEKEYS, sizeof(TOGGLEKEYS), &held.toggleKeys, 0) ||
        !SystemParametersInfoW(SPI_GETFILTERKEYS, sizeof(FILTERKEYS), &held.filterKeys, 0)) {
        if (!held.logged) logLine("accessibility shortcuts left alone: they cannot be read (error %lu)", GetLastError());
        held.logged = true;
        return;
    }
    held.saved = {uint32_t(held.stickyKeys.dwFlags), uint32_t(held.toggleKeys.dwFlags), uint32_t(held.filterKeys.dwFlags)};
    held.whileFocused = shortcutsOffWhileFocused(held.saved);
    held.suspended = true;
    bool written = true;
    if (held.whileFocused.stickyKeys != held.saved.stickyKeys)
        written &= writeFlags(SPI_SETSTICKYKEYS, held.stickyKeys, held.whileFocused.stickyKeys);
    if (held.whileFocused.toggleKeys != held.saved.toggleKeys)
        written &= writeFlags(SPI_SETTOGGLEKEYS, held.toggleKeys, held.whileFocused.toggleKeys);
    if (held.whileFocused.filterKeys != held.saved.filterKeys)
        written &= writeFlags(SPI_SETFILTERKEYS, held.filterKeys, held.whileFocused.filterKeys);
    if (!held.logged) {
        logLine("accessibility shortcuts while focused: Sticky Keys flags 0x%x to 0x%x, Toggle Keys 0x%x to 0x%x, "
                "Filter Keys 0x%x to 0x%x%s",
                unsigned(held.saved.stickyKeys), unsigned(held.whileFocused.stickyKeys), unsigned(held.saved.toggleKeys),
                unsigned(held.whileFocused.toggleKeys), unsigned(held.saved.filterKeys),
                unsigned(held.whileFocused.filterKeys), written ? "" : " (a change was refused)");
        held.logged = true;
    }
}

void restoreAccessibilityShortcuts() {
    if (!held.suspended) return;
    held.suspended = false;
    if (held.whileFocused.stickyKeys != held.saved.stickyKeys)
        writeFlags(SPI_SETSTICKYKEYS, held.stickyKeys, held.saved.stickyKeys);
    if (held.whileFocused.toggleKeys != held.saved.toggleKeys)
        writeFlags(SPI_SETTOGGLEKEYS, held.toggleKeys, held.saved.toggleKeys);
    if (held.whileFocused.filterKeys != held.saved.filterKeys)
        writeFlags(SPI_SETFILTERKEYS, held.filterKeys, held.saved.filterKeys);
}
