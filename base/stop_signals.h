// The console programs' stop request (the presence server, the bots, the flood tool): Ctrl+C,
// SIGINT or SIGTERM (a console close on Windows) sets a flag their loops poll.
#pragma once

// Installs the handlers; from then on a stop request sets the flag stopRequested reads.
void installStopHandlers();
bool stopRequested();
