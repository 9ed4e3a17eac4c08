// audiocheck: measures the player's --audio-out files for the end-to-end titles.
//   audiocheck frames OUT.wav                 the number of frames
//   audiocheck onset OUT.wav FROM-MS LEVEL    the first frame at or after FROM-MS whose left
//                                             sample reaches LEVEL (-1 when none)
//   audiocheck correlate OUT.wav REF.raw AT-FRAME REF-MS LEN-MS
//       REF.raw: 44.1 kHz s16 stereo (an independent decode). Compares LEN-MS of it from REF-MS
//       with the output placed at AT-FRAME, over lags of ±1 ms; prints the best normalised
//       correlation and its lag, and fails below 0.98.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "audiocheck: cannot read %s\n", path);
        std::exit(2);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}

// The interleaved stereo samples of a 44.1 kHz s16 WAV file.
std::vector<int16_t> ReadWav(const char* path)
{
    std::vector<uint8_t> bytes = ReadFile(path);
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = U32(&bytes[at + 4]);
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            const size_t n = std::min<size_t>(size, bytes.size() - at - 8) / 4 * 2;
            std::vector<int16_t> samples(n);
            std::memcpy(samples.data(), &bytes[at + 8], n * 2);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    std::fprintf(stderr, "audiocheck: %s has no data\n", path);
    std::exit(2);
}

std::vector<int16_t> ReadRaw(const char* path)
{
    std::vector<uint8_t> bytes = ReadFile(path);
    std::vector<int16_t> samples(bytes.size() / 4 * 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

double Mono(const std::vector<int16_t>& s, int64_t frame)
{
    if (frame < 0 || static_cast<size_t>(2 * frame + 1) >= s.size()) return 0;
    return (static_cast<double>(s[2 * frame]) + s[2 * frame + 1]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "frames" && argc == 3) {
        std::printf("%zu\n", ReadWav(argv[2]).size() / 2);
        return 0;
    }
    if (command == "onset" && argc == 5) {
        std::vector<int16_t> out = ReadWav(argv[2]);
        const int64_t from = std::atoll(argv[3]) * 441 / 10;
        const int level = std::atoi(argv[4]);
        for (int64_t f = from; static_cast<size_t>(2 * f) < out.size(); ++f)
            if (std::abs(out[2 * f]) >= level) {
                std::printf("%lld\n", static_cast<long long>(f));
                return 0;
            }
        std::printf("-1\n");
        return 0;
    }
    if (command == "correlate" && argc == 7) {
        std::vector<int16_t> out = ReadWav(argv[2]);
        std::vector<int16_t> ref = ReadRaw(argv[3]);
        const int64_t at = std::atoll(argv[4]);
        const int64_t refFrom = std::atoll(argv[5]) * 441 / 10;
        const int64_t length = std::atoll(argv[6]) * 441 / 10;
        double refEnergy = 0;
        for (int64_t i = 0; i < length; ++i)
            refEnergy += Mono(ref, refFrom + i) * Mono(ref, refFrom + i);
        double best = -2;
        int bestLag = 0;
        for (int lag = -44; lag <= 44; ++lag) {
            double cross = 0, outEnergy = 0;
            for (int64_t i = 0; i < length; ++i) {
                const double o = Mono(out, at + lag + i);
                cross += o * Mono(ref, refFrom + i);
                outEnergy += o * o;
            }
            const double r = refEnergy > 0 && outEnergy > 0 ? cross / std::sqrt(refEnergy * outEnergy) : 0;
            if (r > best) {
                best = r;
                bestLag = lag;
            }
        }
        std::printf("%.4f %d\n", best, bestLag);
        return best >= 0.98 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: audiocheck frames|onset|correlate ...\n");
    return 2;
}
