// The one remote player table.
#include "net/remote_players.h"

RemotePlayerTable remotePlayers;
