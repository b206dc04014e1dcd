// POSIX sockets need no start-up.
#include "sockets/socket_layer.h"

bool networkStarted;

bool startSocketLayer() { return true; }
void stopSocketLayer() {}
