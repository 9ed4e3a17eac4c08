#pragma once
// Standard MIDI Files read into one time-sorted list of events with millisecond times. All parsing
// and tempo arithmetic happen here, so playback only compares precomputed times.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ruko {

enum class TMidiClass : uint8_t
{
    Channel = 0, // sent as a short message
    SysEx = 1,   // sent as a long message
    Meta = 2     // never sent
};

enum class TMidiKind : uint8_t
{
    NoteOff,
    NoteOn,
    KeyPressure,
    ControlChange,
    ProgramChange,
    ChannelPressure,
    PitchBend,
    Tempo,
    EndOfTrack,
    OtherMeta,
    GsReset,
    OtherSysEx
};

// One event. Its bytes are the status byte followed by the data as they go to the synthesiser (a
// running-status event gets the status put in front); a meta event holds FF, its type and data; a
// system-exclusive one F0 (or F7) and the bytes after its length.
struct TMidiMsgEvent
{
    int32_t Tick = 0;  // absolute, within its track
    int32_t Time = 0;  // absolute, in ms
    int32_t Delta = 0; // as read before the event
    int32_t Id = 0;    // reading order over all tracks
    uint32_t DataOffset = 0;
    uint32_t DataLength = 0;
    TMidiClass Class = TMidiClass::Meta;
    TMidiKind Kind = TMidiKind::OtherMeta;
    int32_t Track = 0;
};

struct TMidiSong
{
    std::vector<TMidiMsgEvent> Events; // sorted by Tick, ties by Id
    std::vector<uint8_t> Bytes;        // every event's data
    int32_t Length = 0;                // Time of the last event

    std::span<const uint8_t> Data(const TMidiMsgEvent& e) const
    {
        return std::span<const uint8_t>(Bytes).subspan(e.DataOffset, e.DataLength);
    }
};

// Reads a song; anything that is not a Standard MIDI File (also division 0) gives an empty song.
// A track ends at its chunk, at an end-of-track event, or at the first malformed event, and always
// ends with an end-of-track event. A song without controller-7 events gets 16 of them (value 127,
// one per channel) in front of its first note event, so its volume can be scaled.
TMidiSong ReadSmf(std::span<const uint8_t> file);

} // namespace ruko
