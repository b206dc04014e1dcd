// The GPU half of the font atlas: the baked coverage bitmap as a texture, and the UI bind group that
// samples it.
#pragma once

// Reads "coolvetica.otf" beside the executable, bakes it into fontAtlas, uploads the atlas, and makes
// the UI bind group. False when the font cannot be read or baked (the cause is logged); no GPU object
// is made then.
bool loadFontAtlas();
