#include "media/smf.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace ruko {
namespace {

constexpr uint8_t GsReset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

// Big-endian integers and variable-length numbers inside [pos, end).
struct TReader
{
    const uint8_t* data;
    size_t pos;
    size_t end;

    bool Has(size_t n) const { return end - pos >= n; }
    std::optional<uint32_t> Fixed(int bytes)
    {
        if (!Has(static_cast<size_t>(bytes))) return std::nullopt;
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | data[pos++];
        return v;
    }
    // At most 4 bytes; a longer one is damage.
    std::optional<uint32_t> Variable()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            if (!Has(1)) return std::nullopt;
            uint8_t b = data[pos++];
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        return std::nullopt;
    }
};

TMidiKind ChannelKind(uint8_t status, uint8_t data2)
{
    switch (status & 0xF0) {
    case 0x80:
        return TMidiKind::NoteOff;
    case 0x90:
        return data2 == 0 ? TMidiKind::NoteOff : TMidiKind::NoteOn;
    case 0xA0:
        return TMidiKind::KeyPressure;
    case 0xB0:
        return TMidiKind::ControlChange;
    case 0xC0:
        return TMidiKind::ProgramChange;
    case 0xD0:
        return TMidiKind::ChannelPressure;
    default:
        return TMidiKind::PitchBend;
    }
}

class TSongBuilder
{
  public:
    explicit TSongBuilder(TMidiSong& song) : song_(song) {}

    void Add(int32_t tick, int32_t delta, int32_t track, TMidiClass cls, TMidiKind kind,
             const uint8_t* prefix, size_t prefixLength, const uint8_t* data, size_t length)
    {
        TMidiMsgEvent e;
        e.Tick = tick;
        e.Delta = delta;
        e.Id = static_cast<int32_t>(song_.Events.size());
        e.Track = track;
        e.Class = cls;
        e.Kind = kind;
        e.DataOffset = static_cast<uint32_t>(song_.Bytes.size());
        e.DataLength = static_cast<uint32_t>(prefixLength + length);
        song_.Bytes.insert(song_.Bytes.end(), prefix, prefix + prefixLength);
        song_.Bytes.insert(song_.Bytes.end(), data, data + length);
        song_.Events.push_back(e);
    }

  private:
    TMidiSong& song_;
};

// Reads one track chunk's events; every way it can end leaves it closed by an end-of-track event.
void ReadTrack(TReader r, int32_t track, TSongBuilder& out)
{
    int64_t tick = 0;
    int32_t lastTick = 0;
    int running = -1;
    for (;;) {
        auto delta = r.Variable();
        if (!delta) break;
        tick += *delta;
        if (tick > INT32_MAX) break;
        const int32_t at = static_cast<int32_t>(tick);
        if (!r.Has(1)) break;
        uint8_t status = r.data[r.pos];
        uint8_t prefix[2];
        if (status >= 0x80) {
            ++r.pos;
        } else if (running >= 0) {
            status = static_cast<uint8_t>(running);
        } else {
            break; // a data byte with no status to run on
        }
        if (status < 0xF0) {
            const size_t need = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
            if (!r.Has(need) || r.data[r.pos] >= 0x80 || (need == 2 && r.data[r.pos + 1] >= 0x80)) break;
            running = status;
            prefix[0] = status;
            const uint8_t data2 = need == 2 ? r.data[r.pos + 1] : 0;
            out.Add(at, static_cast<int32_t>(*delta), track, TMidiClass::Channel, ChannelKind(status, data2),
                    prefix, 1, r.data + r.pos, need);
            r.pos += need;
        } else if (status == 0xFF) {
            running = -1;
            auto type = r.Fixed(1);
            if (!type) break;
            auto length = r.Variable();
            if (!length || !r.Has(*length)) break;
            const uint8_t* data = r.data + r.pos;
            TMidiKind kind = TMidiKind::OtherMeta;
            // A tempo that is not three bytes, or is 0, would stall or garble the clock: it is kept
            // as an ordinary meta event.
            if (*type == 0x51 && *length == 3 && (data[0] | data[1] | data[2]) != 0) kind = TMidiKind::Tempo;
            if (*type == 0x2F) kind = TMidiKind::EndOfTrack;
            prefix[0] = 0xFF;
            prefix[1] = static_cast<uint8_t>(*type);
            out.Add(at, static_cast<int32_t>(*delta), track, TMidiClass::Meta, kind, prefix, 2, data,
                    *length);
            r.pos += *length;
            lastTick = at;
            if (kind == TMidiKind::EndOfTrack) return;
            continue;
        } else if (status == 0xF0 || status == 0xF7) {
            running = -1;
            auto length = r.Variable();
            if (!length || !r.Has(*length)) break;
            prefix[0] = status;
            const uint8_t* data = r.data + r.pos;
            bool gs = status == 0xF0 && *length + 1 == sizeof GsReset &&
                      std::memcmp(data, GsReset + 1, *length) == 0;
            out.Add(at, static_cast<int32_t>(*delta), track, TMidiClass::SysEx,
                    gs ? TMidiKind::GsReset : TMidiKind::OtherSysEx, prefix, 1, data, *length);
            r.pos += *length;
        } else {
            break; // system common and real-time bytes have no place in a file
        }
        lastTick = at;
    }
    const uint8_t end[2] = {0xFF, 0x2F};
    out.Add(lastTick, 0, track, TMidiClass::Meta, TMidiKind::EndOfTrack, end, 2, nullptr, 0);
}

// Milliseconds are kept as a fraction: time = units / perMs, so rounding happens once per event.
struct TClock
{
    bool smpte = false;
    int64_t division = 0;     // ticks per quarter note
    int64_t unitsPerTick = 0; // SMPTE: fixed
    int64_t perMs = 1;
};

std::optional<TClock> ClockFor(uint16_t division)
{
    TClock c;
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if (fps <= 0 || ticksPerFrame == 0) return std::nullopt;
        c.smpte = true;
        // 1000 / (fps × ticks per frame) ms a tick; "29" is the drop-frame rate 29.97.
        if (fps == 29) {
            c.unitsPerTick = 100000;
            c.perMs = int64_t{2997} * ticksPerFrame;
        } else {
            c.unitsPerTick = 1000;
            c.perMs = int64_t{fps} * ticksPerFrame;
        }
        return c;
    }
    if (division == 0) return std::nullopt;
    c.division = division;
    c.perMs = int64_t{division} * 1000; // units are µs × division
    return c;
}

void ComputeTimes(TMidiSong& song, const TClock& clock)
{
    int64_t tempo = 500000; // µs a quarter note
    int64_t units = 0;
    int32_t previousTick = 0;
    const uint8_t* bytes = song.Bytes.data();
    for (TMidiMsgEvent& e : song.Events) {
        const int64_t ticks = int64_t{e.Tick} - previousTick;
        units += ticks * (clock.smpte ? clock.unitsPerTick : tempo);
        previousTick = e.Tick;
        const int64_t ms = (units * 2 + clock.perMs) / (clock.perMs * 2);
        e.Time = static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX));
        if (e.Kind == TMidiKind::Tempo) {
            const uint8_t* d = bytes + e.DataOffset + 2;
            tempo = (int64_t{d[0]} << 16) | (d[1] << 8) | d[2];
        }
    }
    song.Length = song.Events.empty() ? 0 : song.Events.back().Time;
}

void PrepareVolumeControl(TMidiSong& song)
{
    for (const TMidiMsgEvent& e : song.Events) {
        auto d = song.Data(e);
        if (e.Kind == TMidiKind::ControlChange && d[1] == 7) return;
    }
    auto firstNote = std::find_if(song.Events.begin(), song.Events.end(), [&](const TMidiMsgEvent& e) {
        return e.Class == TMidiClass::Channel && song.Bytes[e.DataOffset] < 0xB0;
    });
    // Without notes they go before the end, so the song still ends with its end-of-track.
    if (firstNote == song.Events.end()) firstNote = std::prev(song.Events.end());
    // At the first note's time, not at 0: the list stays sorted for the seeks that search it, and
    // nothing sounds before that note for the volume to matter.
    const int32_t tick = firstNote->Tick, time = firstNote->Time;
    std::vector<TMidiMsgEvent> added;
    for (int ch = 0; ch < 16; ++ch) {
        TMidiMsgEvent e;
        e.Id = static_cast<int32_t>(song.Events.size()) + ch;
        e.Class = TMidiClass::Channel;
        e.Kind = TMidiKind::ControlChange;
        e.Tick = tick;
        e.Time = time;
        e.DataOffset = static_cast<uint32_t>(song.Bytes.size());
        e.DataLength = 3;
        song.Bytes.insert(song.Bytes.end(), {static_cast<uint8_t>(0xB0 + ch), 0x07, 0x7F});
        added.push_back(e);
    }
    song.Events.insert(firstNote, added.begin(), added.end());
}

} // namespace

TMidiSong ReadSmf(std::span<const uint8_t> file)
{
    TMidiSong song;
    TReader r{file.data(), 0, file.size()};
    if (!r.Has(14) || std::memcmp(file.data(), "MThd", 4) != 0) return {};
    r.pos = 4;
    const uint32_t headerLength = *r.Fixed(4);
    r.Fixed(2); // the format: every track is read the same way
    const uint32_t tracks = *r.Fixed(2);
    auto clock = ClockFor(static_cast<uint16_t>(*r.Fixed(2)));
    if (!clock || headerLength < 6 || headerLength - 6 > r.end - r.pos) return {};
    r.pos += headerLength - 6;

    TSongBuilder builder(song);
    uint32_t read = 0;
    while (read < tracks && r.Has(8)) {
        const bool isTrack = std::memcmp(r.data + r.pos, "MTrk", 4) == 0;
        r.pos += 4;
        const uint32_t length = *r.Fixed(4);
        const size_t chunkEnd = r.pos + std::min<size_t>(length, r.end - r.pos);
        // Chunks of other kinds are skipped by their length and are not tracks.
        if (isTrack) ReadTrack(TReader{r.data, r.pos, chunkEnd}, static_cast<int32_t>(read++), builder);
        r.pos = chunkEnd;
    }
    if (song.Events.empty()) return {};
    std::stable_sort(song.Events.begin(), song.Events.end(),
                     [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) { return a.Tick < b.Tick; });
    ComputeTimes(song, *clock);
    PrepareVolumeControl(song);
    return song;
}

} // namespace ruko
