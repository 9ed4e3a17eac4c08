#include <gtest/gtest.h>

#include <cstring>

#include "../archive/fixtures.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/globals.h"
#include "base/processobject.h"
#include "components/baselist.h"
#include "components/box.h"
#include "components/mediakinds.h"
#include "components/propmotion.h"
#include "components/sound.h"
#include "components/timer.h"
#include "media/mediaitem.h"
#include "media/midiplay.h"
#include "media/wavout.h"

namespace ruko {
namespace {

TEST(SoundVolume, MappedVolumeUsesTheUpperHalfExceptForMidi)
{
    struct TCase
    {
        int32_t Volume;
        bool Midi;
        int32_t Mapped;
    } cases[] = {{500, false, -2500}, {0, false, -10000}, {-5, false, -10000}, {1, false, -4995},
                 {1000, false, 0},    {1001, false, 0},   {500, true, -5000},  {0, true, -10000},
                 {1500, true, 0},     {-3, true, -10000}};
    for (const TCase& c : cases)
        EXPECT_EQ(MappedVolume(c.Volume, c.Midi), c.Mapped) << c.Volume << (c.Midi ? " midi" : "");
}

// An item that records what the fades do to it.
class TFakeManager final : public TMediaManager
{
  public:
    TDMediaItem* Add(const std::string&) override { return nullptr; }
};
class TFakeItem final : public TDMediaItem
{
  public:
    TFakeItem(TMediaManager& m, bool midi) : TDMediaItem(m), midi_(midi) {}
    int32_t GetVolume() const override { return Volume; }
    void SetVolume(int32_t v) override { Volume = v; }
    void Play() override { Played = true; }
    bool IsMidi() const override { return midi_; }
    int32_t Volume = 0;
    bool Played = false;

  private:
    bool midi_;
};

struct TFadeCase
{
    bool Midi;
    bool In;
    int32_t Duration;
    int32_t At;
    int32_t Volume; // after the step at `At`
    bool Done;
};

TEST(SoundFades, VolumesAlongTheFade)
{
    const TFadeCase cases[] = {
        // A fade-in to 0 over 1000 ms: silent at its first step, then from -5000 up to 0.
        {false, true, 1000, 0, -5000, false},
        {false, true, 1000, 500, -2500, false},
        {false, true, 1000, 1000, 0, true},
        // A MIDI fade-in rises over the whole span.
        {true, true, 1000, 0, -10000, false},
        {true, true, 1000, 500, -5000, false},
        // Fade-outs from 0: the upper half, or all of it for MIDI.
        {false, false, 1000, 500, -2500, false},
        {true, false, 1000, 500, -5000, false},
        {false, false, 1000, 1000, -2500, true}, // the volume is not touched again
        // Long fades keep 64-bit products.
        {false, true, 2000000000, 1500000000, -1250, false},
    };
    for (const TFadeCase& c : cases) {
        TFakeManager manager;
        TFakeItem item(manager, c.Midi);
        GameTime = 0;
        std::unique_ptr<TRukoMixer> fade;
        if (c.In)
            fade = std::make_unique<TRukoMixerFadein>(item, 0, c.Duration);
        else
            fade = std::make_unique<TRukoMixerFadeout>(item, c.Duration);
        EXPECT_FALSE(fade->Step());
        if (c.In) {
            EXPECT_EQ(item.Volume, -10000);
            EXPECT_TRUE(item.Played);
        }
        bool done = false;
        for (int32_t t : {c.At / 2, c.At}) {
            GameTime = t;
            done = fade->Step();
            if (done) break;
        }
        EXPECT_EQ(item.Volume, c.Volume) << c.Duration << " at " << c.At;
        EXPECT_EQ(done, c.Done) << c.Duration << " at " << c.At;
    }
    GameTime = 0;
}

TEST(SoundFades, FadesWithoutTimeEndAtOnce)
{
    for (int32_t duration : {0, -500}) {
        TFakeManager manager;
        TFakeItem item(manager, false);
        item.Volume = -300;
        TRukoMixerFadeout out(item, duration);
        EXPECT_TRUE(out.Step()) << duration;
        EXPECT_EQ(item.Volume, -300);
        TRukoMixerFadein in(item, -700, duration);
        EXPECT_TRUE(in.Step()) << duration;
        EXPECT_EQ(item.Volume, -700);
        EXPECT_TRUE(item.Played);
    }
}

// An 8-bit mono PCM WAV file of `frames` frames at `rate`.
std::string Wav(int rate, int frames)
{
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string data(static_cast<size_t>(frames), '\x80');
    for (size_t i = 0; i < data.size(); i += 50)
        data[i] = '\xC0';
    return "RIFF" + u32(36 + static_cast<uint32_t>(frames)) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(static_cast<uint32_t>(rate)) + u32(static_cast<uint32_t>(rate)) + u16(1) + u16(8) + "data" +
           u32(static_cast<uint32_t>(frames)) + data;
}

struct TSoundFixture : ::testing::Test
{
    test::TScratchFolder folder;
    TProcessObject<TVrFileManager> files{FileManager};
    TWavOut mixer{500};
    TMidiPlayV player{""};
    TProcessObject<TOggManager> ogg{OggMan};
    TProcessObject<TMidiManager> midi{MidiMan};
    TLocalEventQueue events;
    TRukoBaseList list{&events};

    TSoundFixture()
    {
        files.Create();
        files->SetBaseFolder(folder.Path() + "/");
        ogg.Create(&mixer, TVolumeLaw::Linear);
        midi.Create(&player);
        RegisterMediaComponentKinds();
        GameTime = 0;
        FrameDelta = 15;
        test::WriteHost(folder / "short.wav", Wav(8000, 800));  // 100 ms
        test::WriteHost(folder / "two.wav", Wav(8000, 16000));  // 2000 ms
        test::WriteHost(folder / "five.wav", Wav(8000, 40000)); // 5000 ms
    }
    ~TSoundFixture() override
    {
        GameTime = 0;
        FrameDelta = 0;
    }
    TRukoSound* Sound(const std::string& name, const std::string& source)
    {
        auto* sound = dynamic_cast<TRukoSound*>(list.CreateComponent(LT_SOUND));
        sound->SetName(name);
        sound->SetSource(source);
        return sound;
    }
    void PullMs(int ms) { PullFrames(AudioFramesAt(ms)); }
    void PullFrames(int64_t frames)
    {
        std::vector<int16_t> out(static_cast<size_t>(AudioMaxPullFrames) * 2);
        while (frames > 0) {
            const int n = static_cast<int>(std::min<int64_t>(frames, AudioMaxPullFrames));
            mixer.Pull(out.data(), n);
            frames -= n;
        }
    }
    int Count(uint8_t code) const
    {
        return static_cast<int>(std::count_if(events.Items.begin(), events.Items.end(),
                                              [&](const TEventRecord& e) { return e.Code == code; }));
    }
};

TEST_F(TSoundFixture, OnPlayEndComesOncePerEnd)
{
    TRukoSound* sound = Sound("s", "short.wav");
    sound->OnPlayEnd = "end.rsb";
    sound->SetRunState(0);
    PullFrames(4409);
    list.Step();
    EXPECT_EQ(Count(PR_ONPLAYEND), 0);
    PullFrames(1);
    for (int i = 0; i < 3; ++i)
        list.Step();
    EXPECT_EQ(Count(PR_ONPLAYEND), 1);
    // Played again, it ends again.
    auto zero = CreateParamByType(ptInt);
    zero->SetInt(0);
    sound->SetProperty(PR_INDEX, *zero);
    PullMs(100);
    list.Step();
    EXPECT_EQ(Count(PR_ONPLAYEND), 2);
}

TEST_F(TSoundFixture, AutoScrapDestroysAFinishedSound)
{
    TRukoSound* sound = Sound("s", "short.wav");
    sound->AutoScrap = true;
    sound->SetRunState(0);
    PullMs(100);
    list.Step();
    EXPECT_EQ(list.FindComponent("s"), nullptr);
    EXPECT_EQ(OggMan->Count(), 0);
}

TEST_F(TSoundFixture, AMissingSourceStartsNothing)
{
    TRukoSound* kept = Sound("kept", "missing.ogg");
    kept->SetRunState(0);
    EXPECT_EQ(kept->Item, nullptr);
    TRukoSound* scrapped = Sound("scrapped", "missing.ogg");
    scrapped->AutoScrap = true;
    scrapped->SetRunState(0);
    list.Step();
    EXPECT_NE(list.FindComponent("kept"), nullptr);
    EXPECT_EQ(list.FindComponent("scrapped"), nullptr);
    // Other extensions and CD tracks have no manager.
    for (const char* source : {"short.mp3", "CD_3"}) {
        TRukoSound* other = Sound("other", source);
        other->SetRunState(0);
        EXPECT_EQ(other->Item, nullptr) << source;
    }
}

TEST_F(TSoundFixture, AFadeOutFreesTheNameAndTwoOfOneNameBothFinish)
{
    TRukoSound* first = Sound("bgm", "five.wav");
    first->SetRunState(0);
    first->Delay = 1000;
    first->SetRunState(3);
    EXPECT_EQ(list.FindComponent("bgm"), nullptr);
    TRukoSound* second = Sound("bgm", "five.wav");
    second->SetRunState(0);
    EXPECT_EQ(list.FindComponent("bgm"), second);
    second->Delay = 1000;
    second->SetRunState(3);
    EXPECT_NE(first->Name, second->Name);
    list.Step();
    EXPECT_TRUE(list.Contains(first)) << "the second fade-out must not delete the first";
    EXPECT_EQ(OggMan->Count(), 2);
    GameTime = 1000;
    list.Step();
    EXPECT_EQ(OggMan->Count(), 0);
}

TEST_F(TSoundFixture, ANegativeFadeTimeStopsAtOnce)
{
    TRukoSound* sound = Sound("s", "five.wav");
    sound->SetRunState(0);
    sound->Delay = -100;
    sound->SetRunState(3);
    list.Step();
    list.Step();
    EXPECT_EQ(OggMan->Count(), 0);
}

TEST_F(TSoundFixture, ShortEffectsAreNotRestartedByLoading)
{
    TRukoSound* two = Sound("two", "two.wav");
    two->SetRunState(0);
    TRukoSound* five = Sound("five", "five.wav");
    five->SetRunState(0);
    PullMs(500);
    TKwBigMemoryStream s;
    list.SaveToStream(s);
    s.SetPosition(0);
    list.LoadFromStream(s, 150);
    auto* loadedTwo = dynamic_cast<TRukoSound*>(list.FindComponent("two"));
    auto* loadedFive = dynamic_cast<TRukoSound*>(list.FindComponent("five"));
    ASSERT_NE(loadedTwo, nullptr);
    ASSERT_NE(loadedFive, nullptr);
    EXPECT_EQ(loadedTwo->Item, nullptr);
    ASSERT_NE(loadedFive->Item, nullptr);
    EXPECT_TRUE(loadedFive->Item->IsPlaying());
    EXPECT_EQ(loadedFive->Item->GetPosition(), 500);
    EXPECT_EQ(OggMan->Count(), 1);
}

TEST_F(TSoundFixture, ADamagedSaveStartsNothing)
{
    TRukoSound* five = Sound("five", "five.wav");
    five->SetRunState(0);
    TKwBigMemoryStream s;
    list.SaveToStream(s);
    std::vector<uint8_t> bytes(static_cast<size_t>(s.GetSize()));
    s.SetPosition(0);
    s.Read(bytes.data(), s.GetSize());
    bytes.resize(bytes.size() - 6);
    TKwBigMemoryStream cut(bytes);
    EXPECT_THROW(list.LoadFromStream(cut, 150), ERukoError);
    EXPECT_EQ(OggMan->Count(), 1);
}

TEST_F(TSoundFixture, SoundOffPausesAndSoundOnResumes)
{
    TRukoSound* sound = Sound("s", "five.wav");
    sound->SetRunState(0);
    PullMs(100);
    list.SetSoundOn(false);
    EXPECT_FALSE(sound->Item->IsPlaying());
    TRukoSound* effect = Sound("e", "short.wav");
    effect->OnPlayEnd = "end.rsb";
    effect->SetRunState(0);
    list.Step();
    EXPECT_EQ(Count(PR_ONPLAYEND), 1) << "an effect started without sound ends at once";
    list.SetSoundOn(true);
    EXPECT_TRUE(sound->Item->IsPlaying());
    EXPECT_EQ(sound->Item->GetPosition(), 100);
}

TEST_F(TSoundFixture, TicksDuringARunningCallAreSkipped)
{
    auto* timer = dynamic_cast<TRukoTimer*>(list.CreateComponent(LT_TIMER));
    auto interval = CreateParamByType(ptInt);
    interval->SetInt(1000);
    timer->SetProperty(PR_DELAY, *interval);
    auto command = CreateParamByType(ptStr);
    command->SetStr("tick.rsb");
    timer->SetProperty(PR_ONNOTIFY, *command);
    std::vector<int32_t> calls;
    for (int32_t t = 0; t <= 6000; t += 500) {
        GameTime = t;
        // The call made at 1000 runs until 4500.
        if (t == 4500) events.Items.clear();
        const size_t before = events.Items.size();
        list.Step();
        if (events.Items.size() > before) calls.push_back(t);
        // Later calls run at once.
        if (t >= 5000) events.Items.clear();
    }
    EXPECT_EQ(calls, (std::vector<int32_t>{1000, 5000, 6000}));
}

TEST_F(TSoundFixture, AnAutoScrapTimerGoesAfterItsCallRan)
{
    auto* timer = dynamic_cast<TRukoTimer*>(list.CreateComponent(LT_TIMER));
    timer->SetName("t");
    timer->Interval = 0;
    timer->AutoScrap = true;
    timer->OnNotify = "tick.rsb";
    list.Step();
    EXPECT_EQ(events.Items.size(), 1u);
    list.Step();
    EXPECT_NE(list.FindComponent("t"), nullptr);
    events.Items.clear();
    list.Step();
    EXPECT_EQ(list.FindComponent("t"), nullptr);
}

struct TMotionFixture : TSoundFixture
{
    TRukoBox* box = nullptr;
    TMotionFixture()
    {
        box = dynamic_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
        box->SetName("box");
    }
    TRukoPropMotion* Motion(int32_t id, Extended to, int32_t duration, int32_t easing = 0)
    {
        auto* m = dynamic_cast<TRukoPropMotion*>(list.CreateComponent(LT_PROPMOTION));
        m->TargetName = "box";
        m->PropId = id;
        m->TargetValue = to;
        m->Duration = duration;
        m->Easing = easing;
        return m;
    }
    // Left after each step until the motion went.
    std::vector<int32_t> Run(TRukoPropMotion* m)
    {
        std::vector<int32_t> lefts;
        const TComponentHandle h = m->Handle;
        for (int i = 0; i < 100 && list.Resolve(h); ++i) {
            list.Step();
            lefts.push_back(box->Left);
        }
        return lefts;
    }
};

TEST_F(TMotionFixture, LinearMotionReachesItsValueAtDurationMinusOne)
{
    FrameDelta = 333;
    EXPECT_EQ(Run(Motion(PR_LEFT, 100, 1000)), (std::vector<int32_t>{0, 33, 66, 100}));
}

TEST_F(TMotionFixture, EasedMotions)
{
    FrameDelta = 250;
    EXPECT_EQ(Run(Motion(PR_LEFT, 100, 1000, 1)), (std::vector<int32_t>{0, 7, 29, 61, 100}));
    box->Left = 0;
    EXPECT_EQ(Run(Motion(PR_LEFT, 100, 1000, 2)), (std::vector<int32_t>{0, 38, 70, 92, 100}));
}

TEST_F(TMotionFixture, AnInvalidIdOrAMissingTargetEndsTheMotion)
{
    for (int32_t id : {171, 300, -1}) {
        box->Left = 5;
        EXPECT_EQ(Run(Motion(id, 100, 1000)), (std::vector<int32_t>{5})) << id;
    }
    TRukoPropMotion* m = Motion(PR_LEFT, 100, 1000);
    m->TargetName = "nobody";
    EXPECT_EQ(Run(m).size(), 1u);
}

TEST_F(TMotionFixture, TheTargetIsHeldByHandle)
{
    FrameDelta = 100;
    TRukoPropMotion* m = Motion(PR_LEFT, 100, 1000);
    list.Step();
    box->Delete();
    list.Step();
    auto* other = dynamic_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
    other->SetName("box");
    list.Step();
    EXPECT_FALSE(list.Contains(m));
    EXPECT_EQ(other->Left, 0);
}

TEST_F(TMotionFixture, ALoadedMotionGoesOnFromItsSavedStart)
{
    FrameDelta = 500;
    TRukoPropMotion* m = Motion(PR_LEFT, 100, 2000);
    m->SetName("m");
    for (int i = 0; i < 3; ++i)
        list.Step(); // 0, 25, 50
    ASSERT_EQ(box->Left, 50);
    TKwBigMemoryStream s;
    list.SaveToStream(s);
    s.SetPosition(0);
    list.LoadFromStream(s, 150);
    list.Step();
    auto* loadedBox = dynamic_cast<TRukoBox*>(list.FindComponent("box"));
    ASSERT_NE(loadedBox, nullptr);
    EXPECT_EQ(loadedBox->Left, 75) << "re-reading the start would give 87";
}

// Counts what a cabinet does to it (movies pause there).
class TCabinetWatcher final : public TRukoBox
{
  public:
    using TRukoBox::TRukoBox;
    void CabinetEnter() override { ++Entered; }
    void CabinetLeave() override { ++Left; }
    int Entered = 0, Left = 0;
};

TEST(Cabinets, ControlsAndTheirChildrenAreToldWhenTheyEnterAndLeaveOne)
{
    TRukoBaseList list;
    TRukoControl* cabinet = list.CreateComponent(LT_CABINET)->AsControl();
    TRukoControl* box = list.CreateComponent(LT_BOX)->AsControl();
    auto watcher = std::make_unique<TCabinetWatcher>(&list);
    TCabinetWatcher* child = watcher.get();
    list.Register(child);
    box->InsertChild(std::move(watcher));
    TRukoControl* other = list.CreateComponent(LT_BOX)->AsControl();

    box->SetParent(other); // no cabinet on either side
    EXPECT_EQ(child->Entered + child->Left, 0);
    box->SetParent(cabinet);
    EXPECT_EQ(child->Entered, 1);
    child->SetParent(cabinet); // still in one
    EXPECT_EQ(child->Entered, 1);
    child->SetParent(&list.GetActiveBase());
    EXPECT_EQ(child->Left, 1);
}

} // namespace
} // namespace ruko
