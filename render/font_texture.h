// The GPU half of the font atlas: the baked coverage bitmap as a texture, and the two bind groups
// that the start-up order makes at this step (the UI's, which samples the atlas, and the scene's
// flat one, which needs only the scene uniforms).
#pragma once

// Reads "coolvetica.otf" beside the executable, bakes it into fontAtlas, uploads the atlas, and makes
// the flat and UI bind groups. False when the font cannot be read or baked (the cause is logged); no
// GPU object is made then.
bool loadFontAtlas();
