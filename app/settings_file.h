// "settings.txt" beside the executable, read once at start: its values, each line it ignored named in
// the log, and one line saying which values hold. A missing file is the ordinary case, not an error.
#pragma once
#include "app/settings.h"

// The reading, whose problems are in the log already.
SettingsReading readSettingsFile();
