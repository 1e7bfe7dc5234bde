// The sound library built into the page. The one a demo carries is native
// code for Linux or Windows; in its place the page gives the same library
// linked in (sound/demosound on Web Audio), under the names of the player's
// own table and no others.
#include <cstring>

#include "platform/web/web_platform.h"
#include "sound/demosound/exports.h"
#include "sound/sound_api.h"

namespace {

// The table's names are all "_Name@bytes": the library's own are plain.
void* entry(const char* name)
{
    for (const char* known : kSoundApiNames) {
        if (std::strcmp(known, name) != 0)
            continue;
        char plain[64] = {};
        for (size_t i = 1; name[i] && name[i] != '@' && i < sizeof plain; ++i)
            plain[i - 1] = name[i];
        return demosound::findExport(plain);
    }
    return nullptr;
}

const platform::web::BuiltInLibrary kLibrary = {&entry, &demosound::unload};

}  // namespace

void provideSoundLibrary()
{
    platform::web::provideLibrary(&kLibrary);
}
