// POSIX sockets need no start-up.
#include "net/socket_layer.h"

bool startSocketLayer() { return true; }
void stopSocketLayer() {}
