// MIDI songs: load, three starts at different places, two seconds sequenced each.
#include "media/midiplay.h"

#include <cstdlib>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMidiPlayV player("");
    player.Load(std::span<const uint8_t>(data, size));
    const TMidiSong& song = player.Song();
    for (size_t i = 1; i < song.Events.size(); ++i)
        if (song.Events[i].Tick < song.Events[i - 1].Tick || song.Events[i].Time < song.Events[i - 1].Time)
            std::abort();
    player.OpenDevice(-1);
    player.GmReset();
    std::vector<int32_t> mix(2 * 4096);
    for (int from : {0, player.Length() / 2, player.Length() + 1}) {
        player.SetLoop(from == 0);
        player.PlayFrom(from);
        for (int i = 0; i < 22; ++i)
            player.RenderAdd(mix.data(), 4096);
        if (player.GetPosition() < 0) std::abort();
    }
    player.Stop();
    return 0;
}
