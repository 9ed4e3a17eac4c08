#include <gtest/gtest.h>

#include "../archive/fixtures.h"
#include "archive/vrfiles.h"
#include "base/processobject.h"
#include "base/text.h"
#include "makemedia.h"
#include "media/mediaitem.h"
#include "media/midiplay.h"
#include "media/wavout.h"

namespace ruko {
namespace {

using test::TTestSound;

TEST(MediaVolume, GainsFollowTheChosenLaw)
{
    struct TCase
    {
        TVolumeLaw Law;
        int32_t Volume;
        int Gain;
    } cases[] = {
        {TVolumeLaw::Linear, 0, 256},      {TVolumeLaw::Linear, -2500, 128},
        {TVolumeLaw::Linear, -5000, 0},    {TVolumeLaw::Linear, -6000, 0},
        {TVolumeLaw::Decibels, 0, 256},    {TVolumeLaw::Decibels, 300, 256},
        {TVolumeLaw::Decibels, -600, 128}, {TVolumeLaw::Decibels, -2000, 26},
        {TVolumeLaw::Decibels, -10000, 0}, {TVolumeLaw::Decibels, -20000, 0},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MixerGain(c.Volume, c.Law), c.Gain) << c.Volume;
}

TEST(MediaVolume, PanAttenuatesTheFarSide)
{
    struct TCase
    {
        int32_t Pan;
        int Left, Right;
    } cases[] = {{0, 256, 256}, {-2000, 256, 26}, {2000, 26, 256}, {-600, 256, 128}, {30000, 0, 256}};
    for (const TCase& c : cases) {
        int left = -1, right = -1;
        PanScales(c.Pan, left, right);
        EXPECT_EQ(left, c.Left) << c.Pan;
        EXPECT_EQ(right, c.Right) << c.Pan;
    }
}

// Game files in a scratch folder, the mixer pulled by hand, and the three managers.
struct TMediaFixture : ::testing::Test
{
    test::TScratchFolder folder;
    TProcessObject<TVrFileManager> files{FileManager};
    TWavOut mixer{500};
    TMidiPlayV player{""};
    TProcessObject<TOggManager> ogg{OggMan};
    TProcessObject<TMidiManager> midi{MidiMan};

    TMediaFixture()
    {
        files.Create();
        files->SetBaseFolder(folder.Path() + "/");
        ogg.Create(&mixer, TVolumeLaw::Linear);
        midi.Create(&player);
        mixer.AddSynth(&player);
    }
    ~TMediaFixture() override { mixer.RemoveSynth(&player); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        test::WriteHost(folder / name, std::string(bytes.begin(), bytes.end()));
    }
    void WriteTone(const std::string& name, int64_t ms)
    {
        Write(name, test::MakeTestSound({TTestSound::WavS16, 44100, 2, ms * 441 / 10, 440, 0.25, {}}));
    }
    void Pull(int frames)
    {
        std::vector<int16_t> out(static_cast<size_t>(AudioMaxPullFrames) * 2);
        while (frames > 0) {
            const int n = std::min(frames, AudioMaxPullFrames);
            mixer.Pull(out.data(), n);
            frames -= n;
        }
    }
};

TEST_F(TMediaFixture, ASoundEndsWithItsLastFrameAndReportsPosition)
{
    WriteTone("tone.wav", 100);
    TDMediaItem* item = OggMan->Add("tone.wav");
    EXPECT_EQ(item->GetLength(), 100);
    EXPECT_FALSE(item->IsPlaying());
    item->Play();
    Pull(2205);
    EXPECT_EQ(item->GetPosition(), 50);
    EXPECT_TRUE(item->IsPlaying());
    Pull(2204);
    EXPECT_FALSE(item->IsEnd());
    Pull(1);
    EXPECT_TRUE(item->IsEnd());
    EXPECT_FALSE(item->IsPlaying());
    // Restarting the position plays it again.
    item->SetPosition(0);
    item->Play();
    EXPECT_FALSE(item->IsEnd());
}

TEST_F(TMediaFixture, UndecodableSoundStandsAtItsEndAndSaysSo)
{
    Write("bad.ogg", std::vector<uint8_t>(300, 0x42));
    ::testing::internal::CaptureStderr();
    TDMediaItem* item = OggMan->Add("bad.ogg");
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "サウンドデータが不正です\n");
    item->Play();
    EXPECT_TRUE(item->IsEnd());
    EXPECT_EQ(item->GetLength(), 0);
    EXPECT_FALSE(item->IsPlaying());
}

TEST_F(TMediaFixture, SoundOffSuspendsWhatPlaysAndEndsNewEffectsAtOnce)
{
    WriteTone("tone.wav", 1000);
    TDMediaItem* music = OggMan->Add("tone.wav");
    music->Play();
    Pull(4410);
    SetMediaEnabled(false);
    EXPECT_TRUE(music->IsPaused());
    Pull(4410);
    EXPECT_EQ(music->GetPosition(), 100);

    TDMediaItem* effect = OggMan->Add("tone.wav");
    effect->Play();
    EXPECT_TRUE(effect->IsEnd()) << "an effect started without sound ends at once";
    TDMediaItem* loop = OggMan->Add("tone.wav");
    loop->SetLoop(true);
    loop->Play();
    EXPECT_FALSE(loop->IsEnd());
    EXPECT_FALSE(loop->IsPlaying());

    SetMediaEnabled(true);
    EXPECT_TRUE(music->IsPlaying());
    EXPECT_TRUE(loop->IsPlaying());
    EXPECT_FALSE(effect->IsPlaying());
    Pull(4410);
    EXPECT_EQ(music->GetPosition(), 200);
}

TEST_F(TMediaFixture, AnItemPausedByItsOwnerStaysPausedWhenSoundReturns)
{
    WriteTone("tone.wav", 1000);
    TDMediaItem* item = OggMan->Add("tone.wav");
    item->Play();
    SuspendAllMedia();
    item->Pause();
    ResumeAllMedia();
    EXPECT_FALSE(item->IsPlaying());
}

TEST_F(TMediaFixture, MidiSongPlaysAndItsVolumeScalesController7)
{
    Write("song.mid", test::SampleSong());
    std::vector<int> volumes;
    player.OnSend = [&](int64_t, std::span<const uint8_t> bytes) {
        if (bytes.size() == 3 && (bytes[0] & 0xF0) == 0xB0 && bytes[1] == 7 && (bytes[0] & 0x0F) == 0)
            volumes.push_back(bytes[2]);
    };
    TDMediaItem* song = MidiMan->Add("song.mid");
    EXPECT_EQ(song->GetLength(), 1750);
    song->SetVolume(0);
    song->Play();
    Pull(4410);
    ASSERT_FALSE(volumes.empty());
    const int full = volumes.back();
    song->SetVolume(-5000);
    EXPECT_EQ(volumes.back(), full / 2);
    EXPECT_TRUE(song->IsPlaying());
    Pull(44100 * 4);
    EXPECT_TRUE(song->IsEnd());
}

TEST_F(TMediaFixture, AnythingButAMidiFileEndsWithoutTouchingThePlayingSong)
{
    Write("song.mid", test::SampleSong());
    Write("empty.mid", {});
    Write("text.mid", {'h', 'e', 'l', 'l', 'o'});
    TDMediaItem* song = MidiMan->Add("song.mid");
    song->Play();
    for (const char* name : {"empty.mid", "text.mid", "missing.mid"}) {
        TDMediaItem* other = MidiMan->Add(name);
        other->Play();
        EXPECT_TRUE(other->IsEnd()) << name;
        EXPECT_EQ(other->GetLength(), 0) << name;
        EXPECT_TRUE(song->IsPlaying()) << name;
    }
}

TEST_F(TMediaFixture, MidiPortsAreTheMapperAndTheSynthesiser)
{
    EXPECT_EQ(MidiMan->DeviceCount(), 2);
    EXPECT_EQ(MidiMan->DeviceName(0), Utf8ToCp932("MIDIマッパー"));
    EXPECT_EQ(MidiMan->DeviceName(1), "FluidSynth");
    EXPECT_EQ(MidiMan->DeviceName(7), Utf8ToCp932("MIDIマッパー"));
    MidiMan->SelectDevice(99);
    EXPECT_EQ(MidiMan->CurrentDevice(), 1);
    MidiMan->SelectDevice(std::string("no such port"));
    EXPECT_EQ(MidiMan->CurrentDevice(), 1);
    MidiMan->SelectDevice(Utf8ToCp932("MIDIマッパー"));
    EXPECT_EQ(MidiMan->CurrentDevice(), 0);
}

TEST_F(TMediaFixture, ASongGoesOnAtItsPositionOnANewPort)
{
    Write("song.mid", test::SampleSong());
    TDMediaItem* song = MidiMan->Add("song.mid");
    song->Play();
    Pull(44100);
    MidiMan->SelectDevice(1);
    EXPECT_TRUE(song->IsPlaying());
    EXPECT_EQ(song->GetPosition(), 1000);
}

} // namespace
} // namespace ruko
