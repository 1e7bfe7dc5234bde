// What a web page needs of the sound library besides the exports a system
// loader finds: the page links the library in rather than loading it, and
// its decoder ends later than the load that began it.
#pragma once

#include "sound/demosound/decoder.h"

namespace demosound {

// The address of the export called `name` (plain, undecorated) that works,
// and for any other name the stub that the idle exports are (the page asks
// only for the names of the player's table).
void* findExport(const char* name);
// What unloading the library does.
void unload();
// Waits for every decoding that loads began, then gives each sample still
// held its sound (none when the decoding failed) and says of those cut
// what Sample_Load says elsewhere.
void finishLoads();

// Moves every playing channel on by `seconds` at once: the time of frames
// the player steps unseen while the page's clock is held.
void advance(double seconds);

// The page's decoder (decoder_web.cpp): waits for every decoding begun;
// turns a pending Pcm into its sound; forgets every decoding begun.
void awaitDecoding();
void takeDecoded(Pcm& out);
void dropDecoding();

}  // namespace demosound
