// Starting and stopping the platform's socket layer. Only Windows has anything to start.
#pragma once

bool startSocketLayer();
void stopSocketLayer();

// True once the socket layer started; set at start-up, read by the presence client, which opens no
// socket without it. Lives for the process.
extern bool networkStarted;
