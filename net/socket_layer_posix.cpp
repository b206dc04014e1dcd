// POSIX sockets need no start-up.
#include "net/socket_layer.h"

bool networkStarted;

bool startSocketLayer() { return true; }
void stopSocketLayer() {}
