#include <gtest/gtest.h>

#include "media/midiplay.h"
#include "media/smf.h"

namespace ruko {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}

Bytes Chunk(const char* id, const Bytes& body, int64_t claimedLength = -1)
{
    Bytes b(id, id + 4);
    Put32(b, static_cast<uint32_t>(claimedLength >= 0 ? claimedLength : static_cast<int64_t>(body.size())));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Smf(uint16_t division, const std::vector<Bytes>& chunks, uint16_t trackCount = 0)
{
    Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    uint16_t tracks = trackCount ? trackCount : static_cast<uint16_t>(chunks.size());
    b.push_back(static_cast<uint8_t>(tracks >> 8));
    b.push_back(static_cast<uint8_t>(tracks));
    b.push_back(static_cast<uint8_t>(division >> 8));
    b.push_back(static_cast<uint8_t>(division));
    for (const Bytes& c : chunks)
        b.insert(b.end(), c.begin(), c.end());
    return b;
}

Bytes Track(const Bytes& events)
{
    return Chunk("MTrk", events);
}

const Bytes EndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

// The (time, first byte) of the song's channel events, without the added controller-7 events.
std::vector<std::pair<int, int>> Times(const TMidiSong& song)
{
    std::vector<std::pair<int, int>> out;
    for (const TMidiMsgEvent& e : song.Events)
        if (!(e.Kind == TMidiKind::ControlChange && song.Data(e)[1] == 7) && e.Class == TMidiClass::Channel)
            out.emplace_back(e.Time, song.Data(e)[0]);
    return out;
}

TEST(Smf, TimesFollowTheTempoSinceItsLastChange)
{
    struct TCase
    {
        const char* name;
        uint16_t division;
        Bytes events;
        std::vector<std::pair<int, int>> expected;
    } cases[] = {
        {"480 ticks at the default tempo",
         480,
         {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0},
         {{0, 0x90}, {500, 0x80}}},
        {"a faster tempo from tick 960",
         480,
         {0x00, 0x90, 60, 100, 0x87, 0x40, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90, 0x83, 0x60, 0x80, 60, 0},
         {{0, 0x90}, {1250, 0x80}}},
        {"SMPTE 25 fps x 40 ticks: a millisecond a tick",
         static_cast<uint16_t>(0xE728),
         {0x87, 0x68, 0x90, 60, 100},
         {{1000, 0x90}}},
        {"SMPTE 29 is 29.97 fps",
         static_cast<uint16_t>(0xE301),
         {0x97, 0x35, 0x90, 60, 100}, // 2997 frames
         {{100000, 0x90}}},
        {"a tempo of two bytes is no tempo",
         480,
         {0x00, 0xFF, 0x51, 2, 0x03, 0xD0, 0x83, 0x60, 0x90, 60, 100},
         {{500, 0x90}}},
        {"a tempo of 0 is no tempo",
         480,
         {0x00, 0xFF, 0x51, 3, 0, 0, 0, 0x83, 0x60, 0x90, 60, 100},
         {{500, 0x90}}},
    };
    for (const TCase& c : cases) {
        TMidiSong song = ReadSmf(Smf(c.division, {Track(Join({c.events, EndOfTrack}))}));
        EXPECT_EQ(Times(song), c.expected) << c.name;
    }
}

TEST(Smf, OneTickStepsAtDivision960AddUpExactly)
{
    Bytes events = {0x00, 0x90, 60, 100};
    for (int i = 0; i < 960; ++i)
        events.insert(events.end(), {0x01, 0xA0, 60, 50});
    TMidiSong song = ReadSmf(Smf(960, {Track(Join({events, EndOfTrack}))}));
    EXPECT_EQ(Times(song).back().first, 500);
    EXPECT_EQ(Times(song)[480].first, 250);
}

TEST(Smf, ChunksAndHeadersOutOfTheOrdinary)
{
    const Bytes note = Join({{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}, EndOfTrack});
    struct TCase
    {
        const char* name;
        Bytes file;
        size_t channelEvents;
    } cases[] = {
        {"an unknown chunk is skipped and is no track", Smf(480, {Chunk("XFIH", {1, 2, 3}), Track(note)}, 1),
         2},
        {"division 0 is refused", Smf(0, {Track(note)}), 0},
        {"not a MIDI file", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"a longer header is skipped by its length",
         Join({{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 1, 0, 1, 1, 0xE0, 9, 9}, Track(note)}), 2},
        {"a chunk longer than the file is read to the end",
         Join({Smf(480, {}, 1), Chunk("MTrk", note, 5000)}), 2},
        // Events are read inside their chunk: the second note lies in the next chunk's bytes.
        {"events stay inside their chunk",
         Smf(480, {Chunk("MTrk", {0x00, 0x90, 60, 100}), Chunk("JUNK", {0x00, 0x90, 61, 100})}, 1), 1},
    };
    for (const TCase& c : cases) {
        TMidiSong song = ReadSmf(c.file);
        EXPECT_EQ(Times(song).size(), c.channelEvents) << c.name;
    }
}

TEST(Smf, AMalformedEventEndsItsTrackWithAnEndOfTrack)
{
    struct TCase
    {
        const char* name;
        Bytes events;
        size_t kept;
    } cases[] = {
        {"a data byte before any status", {0x00, 0x40, 0x7F, 0x00, 0x90, 60, 100}, 0},
        {"running status", {0x00, 0x90, 60, 100, 0x10, 62, 100}, 2},
        {"a meta event cancels running status", {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0, 0x10, 62, 100}, 1},
        {"a SysEx cancels running status", {0x00, 0x90, 60, 100, 0x00, 0xF0, 1, 0xF7, 0x10, 62, 100}, 1},
        {"a delta of five bytes", {0x00, 0x90, 60, 100, 0x81, 0x81, 0x81, 0x81, 0x01, 0x80, 60, 0}, 1},
        {"a length past the chunk", {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x7F, 1, 2}, 1},
        {"a system common status", {0x00, 0x90, 60, 100, 0x00, 0xF2, 1, 2, 0x00, 0x80, 60, 0}, 1},
        {"a data byte that is a status", {0x00, 0x90, 60, 0x90, 0x00, 0x80, 60, 0}, 0},
    };
    for (const TCase& c : cases) {
        TMidiSong song = ReadSmf(Smf(480, {Track(c.events)}));
        EXPECT_EQ(Times(song).size(), c.kept) << c.name;
        ASSERT_FALSE(song.Events.empty()) << c.name;
        EXPECT_EQ(song.Events.back().Kind, TMidiKind::EndOfTrack) << c.name;
    }
}

TEST(Smf, ALongMetaEventIsReadWholeAndTheNextEventsStayAligned)
{
    Bytes text(200, 'a');
    Bytes events = Join({{0x00, 0xFF, 0x01, 0x81, 0x48}, text, {0x83, 0x60, 0x90, 60, 100}, EndOfTrack});
    TMidiSong song = ReadSmf(Smf(480, {Track(events)}));
    EXPECT_EQ(Times(song), (std::vector<std::pair<int, int>>{{500, 0x90}}));
}

TEST(Smf, ATrackWithoutItsEndGetsOneAtItsLastEvent)
{
    TMidiSong song = ReadSmf(Smf(480, {Track({0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0})}));
    ASSERT_EQ(song.Events.back().Kind, TMidiKind::EndOfTrack);
    EXPECT_EQ(song.Events.back().Tick, 480);
    EXPECT_EQ(song.Length, 500);
}

TEST(Smf, ASongWithoutVolumeGetsSixteenBeforeItsFirstNote)
{
    TMidiSong song = ReadSmf(Smf(480, {Track(Join({{0x00, 0xC0, 5, 0x00, 0x90, 60, 100}, EndOfTrack}))}));
    ASSERT_EQ(song.Events.size(), 1u + 16 + 1 + 1);
    EXPECT_EQ(song.Events[0].Kind, TMidiKind::ProgramChange);
    for (int ch = 0; ch < 16; ++ch) {
        auto d = song.Data(song.Events[1 + ch]);
        EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.end()), (Bytes{static_cast<uint8_t>(0xB0 + ch), 7, 127}));
    }
    EXPECT_EQ(song.Events[17].Kind, TMidiKind::NoteOn);

    TMidiSong withVolume =
        ReadSmf(Smf(480, {Track(Join({{0x00, 0xB3, 7, 90, 0x00, 0x93, 60, 100}, EndOfTrack}))}));
    EXPECT_EQ(withVolume.Events.size(), 3u);

    // A first note after other events: the sixteen take its time, so the list stays in time order.
    TMidiSong late =
        ReadSmf(Smf(480, {Track(Join({{0x83, 0x60, 0xC0, 5, 0x83, 0x60, 0x90, 60, 100}, EndOfTrack}))}));
    for (size_t i = 1; i < late.Events.size(); ++i)
        EXPECT_LE(late.Events[i - 1].Time, late.Events[i].Time) << i;
    EXPECT_EQ(late.Events[1].Time, 1000);
}

TEST(Smf, GsResetIsRecognisedByItsBytes)
{
    Bytes gs = {0x00, 0xF0, 10, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    TMidiSong song = ReadSmf(Smf(480, {Track(Join({gs, EndOfTrack}))}));
    EXPECT_EQ(song.Events[0].Kind, TMidiKind::GsReset);
    EXPECT_EQ(song.Data(song.Events[0]).size(), 11u);
}

// --- The player, sequenced by pulling frames; what it sends is recorded.

struct TPlayerFixture : ::testing::Test
{
    TMidiPlayV player{""};
    std::vector<std::pair<int64_t, Bytes>> sent;
    std::vector<int32_t> mix = std::vector<int32_t>(2 * AudioMaxPullFrames);

    void SetUp() override
    {
        player.OnSend = [this](int64_t frame, std::span<const uint8_t> bytes) {
            sent.emplace_back(frame, Bytes(bytes.begin(), bytes.end()));
        };
        player.OpenDevice(-1);
    }
    void Load(const Bytes& events) { player.Load(Smf(480, {Track(Join({events, EndOfTrack}))})); }
    void Run(int64_t frames)
    {
        while (frames > 0) {
            int n = static_cast<int>(std::min<int64_t>(frames, 1024));
            player.RenderAdd(mix.data(), n);
            frames -= n;
        }
    }
    std::vector<int64_t> NoteOnFrames() const
    {
        std::vector<int64_t> out;
        for (auto& [frame, bytes] : sent)
            if ((bytes[0] & 0xF0) == 0x90) out.push_back(frame);
        return out;
    }
};

// Notes at 0, 500 and 1000 ms, the song ending at 1500 ms.
const Bytes ThreeNotes = {0x00, 0xC0, 9,    0x00, 0x90, 60,  100,  0x83, 0x60, 0x90, 62,
                          100,  0x83, 0x60, 0x90, 64,   100, 0x83, 0x60, 0xFF, 0x01, 0};

TEST_F(TPlayerFixture, EventsGoOutAtTheirFrame)
{
    Load(ThreeNotes);
    player.PlayFrom(0);
    Run(AudioFramesAt(1200));
    EXPECT_EQ(NoteOnFrames(), (std::vector<int64_t>{0, 22050, 44100}));
    EXPECT_FALSE(player.IsEnd());
    Run(AudioFramesAt(1000));
    EXPECT_TRUE(player.IsEnd());
    EXPECT_TRUE(player.IsPlaying());
}

TEST_F(TPlayerFixture, ALoopStartsAgainAtTheEndOfTheSong)
{
    Load(ThreeNotes);
    player.SetLoop(true);
    player.PlayFrom(0);
    Run(AudioFramesAt(1600));
    EXPECT_EQ(NoteOnFrames(), (std::vector<int64_t>{0, 22050, 44100, 0}));
    EXPECT_FALSE(player.IsEnd());
    EXPECT_EQ(player.GetPosition(), 100);
}

TEST_F(TPlayerFixture, PlayFromChasesAllButNotes)
{
    Load(ThreeNotes);
    player.PlayFrom(700);
    ASSERT_FALSE(sent.empty());
    bool program = false;
    for (auto& [frame, bytes] : sent) {
        EXPECT_NE(bytes[0] & 0xF0, 0x90);
        program |= bytes == Bytes{0xC0, 9};
    }
    EXPECT_TRUE(program);
    EXPECT_EQ(player.GetPosition(), 700);
    sent.clear();
    Run(AudioFramesAt(400));
    EXPECT_EQ(NoteOnFrames(), (std::vector<int64_t>{44100}));

    // Past the song it starts from the beginning.
    player.PlayFrom(99999);
    EXPECT_EQ(player.GetPosition(), 0);
}

TEST_F(TPlayerFixture, ControllerSevenIsScaledAndClamped)
{
    Load(ThreeNotes);
    player.PlayFrom(0);
    Run(10);
    for (auto [percent, value] : {std::pair{50, 63}, std::pair{200, 127}, std::pair{-20, 0}}) {
        sent.clear();
        player.SetControllerScale(7, percent);
        ASSERT_EQ(sent.size(), 16u);
        for (int ch = 0; ch < 16; ++ch)
            EXPECT_EQ(sent[ch].second,
                      (Bytes{static_cast<uint8_t>(0xB0 + ch), 7, static_cast<uint8_t>(value)}));
    }
}

TEST_F(TPlayerFixture, StopReleasesThePedalToo)
{
    Load(ThreeNotes);
    player.PlayFrom(0);
    Run(100);
    sent.clear();
    player.Stop();
    int sustainOff = 0, notesOff = 0;
    for (auto& [frame, bytes] : sent) {
        sustainOff += bytes[1] == 0x40 && bytes[2] == 0;
        notesOff += bytes[1] == 0x7B;
    }
    EXPECT_EQ(sustainOff, 16);
    EXPECT_EQ(notesOff, 16);
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(TPlayerFixture, AnythingButASongPlaysNothingAndEnds)
{
    Load(ThreeNotes);
    player.PlayFrom(0);
    Run(100);
    player.Load(Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    sent.clear();
    player.PlayFrom(0);
    Run(AudioFramesAt(2000));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(player.IsEnd());
    EXPECT_EQ(player.Length(), 0);
}

TEST(MidiRender, NotesSoundWithinThreeMillisecondsOfTheirTime)
{
    const std::string font = ChooseSoundFont("", "");
    if (font.empty()) GTEST_SKIP() << "no General-MIDI soundfont installed";
    TMidiPlayV player(font);
    ASSERT_TRUE(player.HasSoundFont());
    player.Load(Smf(480, {Track(Join({{0x83, 0x60, 0x90, 60, 120, 0x83, 0x60, 0x80, 60, 0}, EndOfTrack}))}));
    player.OpenDevice(-1);
    player.GmReset();
    player.PlayFrom(0);
    std::vector<int32_t> mix(2 * 1024);
    int64_t onset = -1;
    for (int64_t frame = 0; frame < AudioFramesAt(1000) && onset < 0; frame += 1024) {
        std::fill(mix.begin(), mix.end(), 0);
        player.RenderAdd(mix.data(), 1024);
        for (int i = 0; i < 1024 && onset < 0; ++i)
            if (mix[2 * i] != 0) onset = frame + i;
    }
    EXPECT_GE(onset, AudioFramesAt(500));
    EXPECT_LE(onset, AudioFramesAt(503));
}

} // namespace
} // namespace ruko
