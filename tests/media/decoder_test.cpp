#include <gtest/gtest.h>

#include <cmath>

#include "base/error.h"
#include "io/bigstream.h"
#include "makemedia.h"
#include "media/decoder.h"
#include "media/wavout.h"
#include "platform/audio.h"

namespace ruko {
namespace {

using test::TTestSound;
using test::TTone;

std::unique_ptr<TSoundDecoder> Open(const std::vector<uint8_t>& bytes)
{
    return OpenSoundDecoder(TRangeStream::OverBytes(bytes));
}

std::vector<int16_t> ReadAll(TSoundDecoder& d)
{
    std::vector<int16_t> all;
    int16_t block[2 * 1000];
    for (int n; (n = d.Read(block, 1000)) > 0;)
        all.insert(all.end(), block, block + 2 * n);
    return all;
}

// Output frame of the first left sample louder than a click's half (the tone stays below).
int64_t FirstClick(const std::vector<int16_t>& frames, int64_t from = 0)
{
    for (size_t i = static_cast<size_t>(from); 2 * i < frames.size(); ++i)
        if (std::abs(frames[2 * i]) > 16000) return static_cast<int64_t>(i);
    return -1;
}

struct TFormatCase
{
    const char* name;
    TTestSound kind;
    int rate;
    int channels;
    const char* formatName;
    int64_t lengthSlackMs; // encoders pad the end to whole blocks
    int64_t shift;         // frames FFmpeg's own decode starts late or early (an unrecorded delay)
    int64_t seekSlack;     // frames; ASF stamps packets in whole milliseconds
};

class DecoderFormats : public ::testing::TestWithParam<TFormatCase>
{
};

TEST_P(DecoderFormats, DecodesToOutputFramesWithTheClickInPlace)
{
    const TFormatCase& c = GetParam();
    TTone tone{c.kind, c.rate, c.channels, int64_t{c.rate} * 3 / 2, 440, 0.25, {250, 1000}};
    auto decoder = Open(test::MakeTestSound(tone));
    EXPECT_EQ(decoder->FormatName(), c.formatName);
    EXPECT_EQ(decoder->SourceRate(), c.rate);
    EXPECT_EQ(decoder->SourceChannels(), c.channels);
    EXPECT_NEAR(decoder->Length(), AudioFramesAt(1500), AudioFramesAt(c.lengthSlackMs));

    std::vector<int16_t> all = ReadAll(*decoder);
    EXPECT_NEAR(static_cast<double>(all.size() / 2), static_cast<double>(decoder->Length()),
                AudioFramesAt(c.lengthSlackMs) + 64);
    // Within a millisecond of where the encoder was given it.
    const int64_t second = FirstClick(all, AudioFramesAt(500));
    EXPECT_NEAR(FirstClick(all), AudioFramesAt(250) + c.shift, 44) << c.name;
    EXPECT_NEAR(second, AudioFramesAt(1000) + c.shift, 44) << c.name;

    // A seek lands on the same frames a decode from the start gives.
    decoder->Seek(AudioFramesAt(900));
    std::vector<int16_t> after = ReadAll(*decoder);
    EXPECT_NEAR(FirstClick(after), second - AudioFramesAt(900), c.seekSlack) << c.name;
    EXPECT_NEAR(static_cast<double>(after.size() / 2),
                static_cast<double>(all.size() / 2 - AudioFramesAt(900)), c.seekSlack);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecoderFormats,
    ::testing::Values(TFormatCase{"s16", TTestSound::WavS16, 44100, 2, "WAV pcm_s16le", 0, 0, 2},
                      TFormatCase{"u8 mono 22k", TTestSound::WavU8, 22050, 1, "WAV pcm_u8", 0, 0, 2},
                      TFormatCase{"ms-adpcm", TTestSound::WavMsAdpcm, 22050, 1, "WAV adpcm_ms", 100, 0, 2},
                      TFormatCase{"vorbis 22k", TTestSound::Vorbis, 22050, 2, "Ogg Vorbis", 0, 0, 2},
                      TFormatCase{"vorbis 44k", TTestSound::Vorbis, 44100, 1, "Ogg Vorbis", 0, 0, 2},
                      TFormatCase{"vorbis 48k", TTestSound::Vorbis, 48000, 2, "Ogg Vorbis", 0, 0, 2},
                      TFormatCase{"wma", TTestSound::Wma, 44100, 2, "asf wmav2", 60, -2048, 45}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(Decoder, SixteenBitStereoAtTheOutputRateComesOutUnchanged)
{
    TTone tone{TTestSound::WavS16, 44100, 2, 5000, 1000, 0.5, {}};
    auto decoder = Open(test::MakeTestSound(tone));
    std::vector<int16_t> all = ReadAll(*decoder);
    std::vector<float> given = test::ToneSamples(tone);
    ASSERT_EQ(all.size(), given.size());
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], std::lround(given[i] * 32767)) << i;
    decoder->Seek(1234);
    int16_t frame[2];
    ASSERT_EQ(decoder->Read(frame, 1), 1);
    EXPECT_EQ(frame[0], std::lround(given[2 * 1234] * 32767));
}

TEST(Decoder, WhatIsNoSoundIsRefusedWithTheSystemsMessage)
{
    std::vector<uint8_t> wav = test::MakeTestSound({TTestSound::WavS16, 44100, 2, 4410, 440, 0.25, {}});
    std::vector<uint8_t> ogg = test::MakeTestSound({TTestSound::Vorbis, 44100, 2, 4410, 440, 0.25, {}});
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {'O', 'g', 'g', 'S'},
        std::vector<uint8_t>(ogg.begin(), ogg.begin() + 60), // the Vorbis headers cut off
        std::vector<uint8_t>(wav.begin(), wav.begin() + 20),
        std::vector<uint8_t>(1000, 0x55),
    };
    for (const auto& bytes : bad) {
        try {
            Open(bytes);
            ADD_FAILURE() << "opened " << bytes.size() << " bytes";
        } catch (const ERukoError& e) {
            EXPECT_STREQ(e.what(), "\x83\x54\x83\x45\x83\x93\x83\x68\x83\x66\x81\x5B\x83\x5E\x82\xAA\x95\x73"
                                   "\x90\xB3\x82\xC5\x82\xB7");
        }
    }
}

TEST(Decoder, ACutOffSoundEndsWhereItsDataEnds)
{
    std::vector<uint8_t> wav = test::MakeTestSound({TTestSound::WavS16, 44100, 2, 44100, 440, 0.25, {}});
    wav.resize(44 + 4 * 1000 + 2); // the header still claims a second
    auto decoder = Open(wav);
    // FFmpeg drops the last, partial block, as its own tool does.
    const size_t frames = ReadAll(*decoder).size() / 2;
    EXPECT_GT(frames, 900u);
    EXPECT_LE(frames, 1000u);
    decoder->Seek(30000); // past the data: nothing, and no hang
    int16_t frame[2];
    EXPECT_EQ(decoder->Read(frame, 1), 0);
}

// Two MPEG audio files joined (stereo, then mono): the sound ends where its format changes
// instead of reading the mono frames with the stereo layout.
TEST(Decoder, ASoundThatChangesItsFormatEndsThere)
{
    std::vector<uint8_t> joined = test::MakeTestSound({TTestSound::Mp2, 44100, 2, 44100, 440, 0.25, {}});
    const size_t stereoBytes = joined.size();
    std::vector<uint8_t> mono = test::MakeTestSound({TTestSound::Mp2, 44100, 1, 44100, 440, 0.25, {}});
    joined.insert(joined.end(), mono.begin(), mono.end());
    ASSERT_GT(joined.size(), stereoBytes);
    auto decoder = Open(joined);
    const size_t frames = ReadAll(*decoder).size() / 2;
    EXPECT_GT(frames, 40000u);
    EXPECT_LT(frames, 50000u); // the first second, not the second one too
}

// Findings of the sound fuzzer: each plays through the mixer with its position inside its length.
TEST(Decoder, FuzzFindingsPlayWithinTheirLength)
{
    const std::string folder = std::string(RUKO_SOURCE_DIR) + "/fuzz/corpus/fuzz_audio_open/";
    for (const char* name : {"finding-wav-longer-than-its-header"}) {
        auto stream = TRangeStream::OpenFile(folder + name);
        ASSERT_TRUE(stream) << name;
        TWavOut mixer(100);
        TWavBuffer* b = mixer.AddBuffer(OpenSoundDecoder(std::move(stream)));
        b->Loop = true;
        b->Play();
        std::vector<int16_t> frames(2 * 4096);
        for (int i = 0; i < 8; ++i)
            mixer.Pull(frames.data(), 4096);
        EXPECT_GE(b->GetPlayPos(), 0) << name;
        EXPECT_LE(b->GetPlayPos(), b->StreamSize()) << name;
    }
}

} // namespace
} // namespace ruko
