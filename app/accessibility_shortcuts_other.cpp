// Platforms without Windows' accessibility shortcuts: nothing to turn off or put back.
#include "app/accessibility_shortcuts.h"

void suspendAccessibilityShortcuts() {}
void restoreAccessibilityShortcuts() {}
