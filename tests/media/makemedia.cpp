#include "makemedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <unistd.h>

namespace ruko::test {

std::vector<float> ToneSamples(const TTone& tone)
{
    std::vector<float> out(static_cast<size_t>(tone.Frames * tone.Channels));
    const int64_t clickFrames = tone.Rate / 500;
    for (int64_t f = 0; f < tone.Frames; ++f) {
        double v = tone.Frequency > 0
                       ? tone.Level * std::sin(2 * std::numbers::pi * tone.Frequency * f / tone.Rate)
                       : 0;
        for (int64_t ms : tone.ClicksAtMs) {
            int64_t at = ms * tone.Rate / 1000;
            if (f >= at && f < at + clickFrames) v = (f - at) % 8 < 4 ? 0.9 : -0.9;
        }
        for (int c = 0; c < tone.Channels; ++c)
            out[static_cast<size_t>(f * tone.Channels + c)] = static_cast<float>(c == 0 ? v : v * 0.5);
    }
    return out;
}

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) throw std::runtime_error(std::string("makemedia: ") + what);
}

void WriteVorbis(const std::string& path, const TTone& tone)
{
    vorbis_info info;
    vorbis_info_init(&info);
    Check(vorbis_encode_init_vbr(&info, tone.Channels, tone.Rate, 0.6f) == 0, "vorbis setup");
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Check(file, "cannot create the file");
    auto writePages = [&](bool flush) {
        ogg_page page;
        while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
            std::fwrite(page.header, 1, page.header_len, file);
            std::fwrite(page.body, 1, page.body_len, file);
        }
    };
    ogg_packet h1, h2, h3;
    vorbis_analysis_headerout(&dsp, &comment, &h1, &h2, &h3);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    ogg_stream_packetin(&os, &h3);
    writePages(true);
    std::vector<float> samples = ToneSamples(tone);
    int64_t done = 0;
    for (;;) {
        const int64_t n = std::min<int64_t>(1024, tone.Frames - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (int64_t i = 0; i < n; ++i)
                for (int c = 0; c < tone.Channels; ++c)
                    buffer[c][i] = samples[static_cast<size_t>((done + i) * tone.Channels + c)];
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0);
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&os, &packet);
                writePages(false);
            }
        }
        if (n <= 0) break;
    }
    writePages(true);
    std::fclose(file);
    ogg_stream_clear(&os);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
}

void WriteWithFfmpeg(const std::string& path, const TTone& tone)
{
    const char* container = tone.Kind == TTestSound::Wma   ? "asf"
                            : tone.Kind == TTestSound::Mp2 ? "mp2"
                                                           : "wav";
    AVCodecID id = tone.Kind == TTestSound::WavU8        ? AV_CODEC_ID_PCM_U8
                   : tone.Kind == TTestSound::WavS16     ? AV_CODEC_ID_PCM_S16LE
                   : tone.Kind == TTestSound::WavMsAdpcm ? AV_CODEC_ID_ADPCM_MS
                   : tone.Kind == TTestSound::Mp2        ? AV_CODEC_ID_MP2
                                                         : AV_CODEC_ID_WMAV2;
    const AVCodec* codec = avcodec_find_encoder(id);
    Check(codec, "no encoder");
    AVFormatContext* out = nullptr;
    Check(avformat_alloc_output_context2(&out, nullptr, container, path.c_str()) >= 0, "no muxer");
    AVStream* stream = avformat_new_stream(out, nullptr);
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->sample_rate = tone.Rate;
    av_channel_layout_default(&enc->ch_layout, tone.Channels);
    enc->sample_fmt = codec->sample_fmts[0];
    enc->bit_rate = 128000;
    enc->time_base = AVRational{1, tone.Rate};
    if (out->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(enc, codec, nullptr) >= 0, "encoder refused the format");
    avcodec_parameters_from_context(stream->codecpar, enc);
    stream->time_base = enc->time_base;
    Check(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0, "cannot create the file");
    Check(avformat_write_header(out, nullptr) >= 0, "header");

    std::vector<float> samples = ToneSamples(tone);
    const int frameSize = enc->frame_size > 0 ? enc->frame_size : 1024;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(enc, packet) == 0) {
            av_packet_rescale_ts(packet, enc->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(out, packet);
        }
    };
    for (int64_t done = 0; done < tone.Frames; done += frameSize) {
        const int n = static_cast<int>(std::min<int64_t>(frameSize, tone.Frames - done));
        frame->nb_samples = enc->frame_size > 0 ? frameSize : n; // fixed-size codecs get the end padded
        frame->format = enc->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
        frame->sample_rate = tone.Rate;
        Check(av_frame_get_buffer(frame, 0) >= 0, "frame");
        const bool planar = av_sample_fmt_is_planar(enc->sample_fmt);
        for (int i = 0; i < frame->nb_samples; ++i)
            for (int c = 0; c < tone.Channels; ++c) {
                float v = i < n ? samples[static_cast<size_t>((done + i) * tone.Channels + c)] : 0.0f;
                int k = planar ? i : i * tone.Channels + c;
                uint8_t* plane = frame->extended_data[planar ? c : 0];
                switch (enc->sample_fmt) {
                case AV_SAMPLE_FMT_U8:
                    plane[k] = static_cast<uint8_t>(std::lround(v * 127) + 128);
                    break;
                case AV_SAMPLE_FMT_S16:
                case AV_SAMPLE_FMT_S16P:
                    reinterpret_cast<int16_t*>(plane)[k] = static_cast<int16_t>(std::lround(v * 32767));
                    break;
                case AV_SAMPLE_FMT_FLTP:
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float*>(plane)[k] = v;
                    break;
                default:
                    Check(false, "sample format");
                }
            }
        frame->pts = done;
        Check(avcodec_send_frame(enc, frame) >= 0, "encode");
        av_frame_unref(frame);
        drain();
    }
    avcodec_send_frame(enc, nullptr);
    drain();
    av_write_trailer(out);
    avio_closep(&out->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    avformat_free_context(out);
}

} // namespace

std::vector<uint8_t> SampleSong()
{
    auto chunk = [](const char* id, std::vector<uint8_t> body) {
        std::vector<uint8_t> b(id, id + 4);
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(static_cast<uint8_t>(body.size() >> s));
        b.insert(b.end(), body.begin(), body.end());
        return b;
    };
    std::vector<uint8_t> song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0};
    // Tempo track: 500000 µs a quarter, then 250000 from tick 960.
    auto tempo = chunk("MTrk", {0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0x87, 0x40, 0xFF, 0x51, 3, 0x03, 0xD0,
                                0x90, 0x00, 0xFF, 0x2F, 0x00});
    auto notes = chunk("MTrk", {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, // GM system on
                                0x00, 0xC0, 0x00, 0x00, 0xB0, 0x40, 0x7F,       // piano, pedal down
                                0x00, 0x90, 60,   100,  0x83, 0x60, 64,   100,  // running status
                                0x83, 0x60, 67,   100,  0x00, 0xB0, 0x40, 0x00, // pedal up
                                0x83, 0x60, 0x80, 60,   0,    0x00, 64,   0,
                                0x00, 67,   0,    0x87, 0x40, 0xFF, 0x2F, 0x00});
    song.insert(song.end(), tempo.begin(), tempo.end());
    song.insert(song.end(), notes.begin(), notes.end());
    return song;
}

void WriteTestSound(const std::string& path, const TTone& tone)
{
    if (tone.Kind == TTestSound::Vorbis)
        WriteVorbis(path, tone);
    else
        WriteWithFfmpeg(path, tone);
}

std::vector<uint8_t> MakeTestSound(const TTone& tone)
{
    char name[] = "/tmp/rukomediaXXXXXX";
    int fd = mkstemp(name);
    Check(fd >= 0, "temporary file");
    close(fd);
    WriteTestSound(name, tone);
    std::ifstream in(name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(name);
    return bytes;
}

} // namespace ruko::test
