// Merging a roster into the remote player table: the client's side of what the server reports,
// judged before anything is drawn (ids in range, finite poses, kept inside the room).
#pragma once
#include "protocol/messages.h"
#include "protocol/remote_players.h"

// Merges one roster into the table: records with an id of 16 or more, the client's own id or a
// non-finite x, y or z are skipped; the others are clamped into the room and become their slot's
// target, a slot turning active drawn at once at its target, standing (the frame's smoothing
// shrinks a crouching one). Every slot not listed with a
// kept record turns inactive. ownId is -1 before the server has given one.
void mergeRoster(RemotePlayerTable& table, const RosterMessage& roster, int ownId);
