// The console programs' own console window on Windows, where two things about it matter to a host:
// a click into the window starts a selection (QuickEdit) that blocks every write to it, and so the
// server's one loop, until the selection ends; and a window opened for a double-clicked program
// closes as it ends, taking its last words with it. Elsewhere these do nothing.
#pragma once

// Switches QuickEdit off for the program's console, when it has one, until the program ends.
void keepConsoleFromBlocking();

// When the console is the program's alone (it was started by a double-click, not from a prompt or
// as a service), waits for a key, so the line saying why it stops can be read.
void holdOwnConsoleUntilKey();
