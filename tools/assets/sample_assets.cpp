#include "tools/assets/sample_assets.h"

#include <lame/lame.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "tools/writer/texture_payloads.h"
#include "tools/media/wav.h"

namespace tools::assets {

using namespace tools::writer;
using namespace tools::media;

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---- Textures

struct Color {
    double r, g, b;
};

Color mix(const Color& a, const Color& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double clamp01(double v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

double smoothstep(double edge0, double edge1, double x)
{
    double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// A size × size BMP whose pixel (x, y), y up from the bottom row, is shade(u, v)
// at the pixel's centre in [0, 1]².
Bytes texture(int size, const std::function<Color(double u, double v)>& shade)
{
    Bytes rgb;
    rgb.reserve(size_t(size) * size_t(size) * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Color c = shade((x + 0.5) / size, (y + 0.5) / size);
            for (double channel : {c.r, c.g, c.b})
                rgb.push_back(uint8_t(std::lround(clamp01(channel) * 255)));
        }
    }
    return writer::bmp24(size, size, rgb);
}

// Orange and deep violet squares, 8 to a side, each with a lighter rim.
Color checker(double u, double v)
{
    const double cells = 8;
    int cx = int(u * cells), cy = int(v * cells);
    Color light{0.98, 0.62, 0.18}, dark{0.22, 0.10, 0.38};
    Color c = (cx + cy) % 2 ? light : dark;
    double fu = u * cells - cx, fv = v * cells - cy;
    double edge = std::min(std::min(fu, 1 - fu), std::min(fv, 1 - fv));
    return mix(c, {1, 1, 1}, 0.35 * (1 - smoothstep(0.0, 0.08, edge)));
}

// A sunset sky: orange at the bottom, magenta above it, deep blue at the
// top, with soft wavy bands.
Color gradient(double u, double v)
{
    Color horizon{1.0, 0.62, 0.22}, middle{0.72, 0.18, 0.52}, top{0.04, 0.05, 0.24};
    Color c = v < 0.35 ? mix(horizon, middle, smoothstep(0.0, 0.35, v)) : mix(middle, top, smoothstep(0.35, 1.0, v));
    double band = 0.5 + 0.5 * std::sin(v * 2 * kPi * 6 + std::sin(u * 2 * kPi) * 0.8);
    return mix(c, {1, 1, 1}, 0.08 * band);
}

// Concentric rings round the centre, cycling through cyan, white and magenta.
Color rings(double u, double v)
{
    double r = std::hypot(u - 0.5, v - 0.5) * 2;
    double wave = 0.5 + 0.5 * std::cos(r * 2 * kPi * 5);
    Color a{0.05, 0.75, 0.85}, b{0.95, 0.20, 0.70};
    Color c = mix(a, b, 0.5 + 0.5 * std::sin(r * kPi * 1.5));
    c = mix({0.04, 0.04, 0.10}, c, smoothstep(0.25, 0.75, wave));
    return mix(c, {0.04, 0.04, 0.10}, smoothstep(0.9, 1.0, r));
}

// The classic plasma: a sum of sines, turned into a colour wheel.
Color plasma(double u, double v)
{
    double x = u * 2 * kPi, y = v * 2 * kPi;
    double s = std::sin(x * 2) + std::sin(y * 3 + 1) + std::sin((x + y) * 1.5) +
               std::sin(std::hypot(u - 0.3, v - 0.7) * 14);
    double t = s * 0.25 * kPi;
    return {0.5 + 0.5 * std::sin(t), 0.5 + 0.5 * std::sin(t + 2 * kPi / 3), 0.5 + 0.5 * std::sin(t + 4 * kPi / 3)};
}

// Thin bright lines on a dark floor, 8 cells to a side.
Color grid(double u, double v)
{
    const double cells = 8;
    auto line = [&](double w) {
        double f = w * cells - std::floor(w * cells);
        return 1 - smoothstep(0.0, 0.05, std::min(f, 1 - f));
    };
    double l = std::max(line(u), line(v));
    return mix({0.06, 0.07, 0.14}, {0.35, 0.9, 1.0}, l);
}

// ---- Music

double midiFrequency(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Adds one sound into the mix from `start` seconds for `length` seconds.
class Mixer {
public:
    explicit Mixer(double seconds) : mix_(size_t(std::ceil(seconds * kSampleRate)), 0.0) {}

    template <typename Voice>
    void add(double start, double length, const Voice& voice)
    {
        size_t first = size_t(std::max(0.0, std::ceil(start * kSampleRate)));
        size_t last = std::min(mix_.size(), size_t(std::ceil((start + length) * kSampleRate)));
        for (size_t i = first; i < last; ++i)
            mix_[i] += voice(double(i) / kSampleRate - start);
    }

    std::vector<double>& samples() { return mix_; }

private:
    std::vector<double> mix_;
};

struct Chord {
    int bass;          // root, two octaves down
    int tones[3];      // close voicing around middle C
};

}  // namespace

std::vector<int16_t> sampleMusic(double seconds)
{
    const double beat = 0.5;  // 120 beats a minute
    const double bar = 4 * beat;
    const Chord progression[4] = {
        {45, {57, 60, 64}},  // A minor
        {41, {57, 60, 65}},  // F
        {48, {55, 60, 64}},  // C
        {43, {55, 59, 62}},  // G
    };
    const int bars = int(std::ceil(seconds / bar));
    Mixer mixer(seconds);

    // Deterministic noise for the hi-hat.
    uint32_t seed = 12345;
    std::vector<double> noise(size_t(0.06 * kSampleRate));
    for (double& n : noise) {
        seed = seed * 214013u + 2531011u;
        n = double((seed >> 16) & 0x7FFF) / 16383.5 - 1;
    }

    for (int b = 0; b < bars; ++b) {
        const Chord& chord = progression[b % 4];
        const double t0 = b * bar;
        const bool arp = b >= 2 && b < bars - 1;
        const bool drums = b >= 4 && b < bars - 2;
        const bool bass = b >= 4 && b < bars - 1;

        // Pad: the chord, slow in and out, overlapping the next bar a little.
        for (int tone : chord.tones) {
            const double f = midiFrequency(tone);
            mixer.add(t0, bar + 0.4, [f, bar](double t) {
                double env = smoothstep(0.0, 0.35, t) * (1 - smoothstep(bar - 0.1, bar + 0.4, t));
                double s = std::sin(2 * kPi * f * t) + 0.6 * std::sin(2 * kPi * f * 1.004 * t) +
                           0.25 * std::sin(2 * kPi * 2 * f * t) + 0.1 * std::sin(2 * kPi * 3 * f * t);
                return 0.06 * env * s;
            });
        }

        // Arpeggio: sixteenth notes up and down the chord an octave higher.
        if (arp) {
            const int ladder[8] = {0, 1, 2, 3, 2, 1, 2, 3};
            for (int step = 0; step < 16; ++step) {
                int index = ladder[step % 8];
                int note = (index == 3 ? chord.tones[0] + 12 : chord.tones[index]) + 12;
                const double f = midiFrequency(note);
                const double accent = step % 4 == 0 ? 1.0 : 0.7;
                mixer.add(t0 + step * beat / 4, 0.3, [f, accent](double t) {
                    double env = smoothstep(0.0, 0.004, t) * std::exp(-t * 11);
                    double s = std::sin(2 * kPi * f * t) + 0.3 * std::sin(2 * kPi * 2 * f * t + 0.5) +
                               0.12 * std::sin(2 * kPi * 3 * f * t);
                    return 0.09 * accent * env * s;
                });
            }
        }

        // Bass: eighth notes on the root, every other one an octave up.
        if (bass) {
            for (int step = 0; step < 8; ++step) {
                const double f = midiFrequency(chord.bass + (step % 2 ? 12 : 0));
                mixer.add(t0 + step * beat / 2, beat / 2, [f, beat](double t) {
                    double env = smoothstep(0.0, 0.005, t) * std::exp(-t * 5) * (1 - smoothstep(beat / 2 - 0.02, beat / 2, t));
                    double s = std::tanh(1.8 * (std::sin(2 * kPi * f * t) + 0.5 * std::sin(2 * kPi * 2 * f * t)));
                    return 0.2 * env * s;
                });
            }
        }

        if (drums) {
            // Kick on every beat: a falling sine.
            for (int step = 0; step < 4; ++step) {
                mixer.add(t0 + step * beat, 0.35, [](double t) {
                    double phase = 2 * kPi * (45 * t + 70 * (1 - std::exp(-t * 30)) / 30);
                    return 0.45 * std::exp(-t * 9) * smoothstep(0.0, 0.002, t) * std::sin(phase);
                });
            }
            // Hi-hat on the off-beats: a burst of noise, its low end taken out.
            for (int step = 0; step < 4; ++step) {
                mixer.add(t0 + step * beat + beat / 2, 0.06, [&noise](double t) {
                    size_t i = std::min(noise.size() - 1, size_t(t * kSampleRate));
                    double hi = i > 0 ? noise[i] - noise[i - 1] : noise[i];
                    return 0.05 * std::exp(-t * 70) * hi;
                });
            }
        }
    }

    // Fade in over the first second and out over the last three, then a
    // gentle limit so that nothing clips.
    std::vector<double>& mix = mixer.samples();
    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) {
        double t = double(i) / kSampleRate;
        double fade = smoothstep(0.0, 1.0, t) * (1 - smoothstep(seconds - 3, seconds, t));
        double v = std::tanh(mix[i] * fade * 1.2) * 0.85;
        out[i] = int16_t(std::lround(v * 32767));
    }
    return out;
}

Bytes encodeMp3(const std::vector<int16_t>& samples, int rate)
{
    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);  // the Info frame tells decoders the exact length
    lame_init_params(lame);
    Bytes out(samples.size() * 5 / 4 + 7200 + 16384);
    std::vector<short> pcm(samples.begin(), samples.end());
    int size = 0;
    // LAME takes at most an int's worth of samples a call: feed it in pieces.
    const size_t piece = 1 << 16;
    for (size_t at = 0; at < pcm.size(); at += piece) {
        int count = int(std::min(piece, pcm.size() - at));
        int written = lame_encode_buffer(lame, pcm.data() + at, pcm.data() + at, count, out.data() + size,
                                         int(out.size()) - size);
        if (written < 0) {
            lame_close(lame);
            return {};
        }
        size += written;
    }
    size += lame_encode_flush(lame, out.data() + size, int(out.size()) - size);
    out.resize(size_t(size));
    // The placeholder first frame becomes the finished Info frame.
    unsigned char tag[4096];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= out.size())
        std::memcpy(out.data(), tag, tagSize);
    lame_close(lame);
    return out;
}

namespace {

// ---- Model

// A (2, 3) torus knot as an OBJ file: a tube of radius 0.35 round the curve,
// 128 rings of 12 sides as quads, the texture repeated 8 times along it;
// the seams repeat their ring so the texture closes.
Bytes torusKnotObj()
{
    const int rings = 128, sides = 12;
    const double radius = 0.35;
    auto curve = [](double t, double* p) {
        const double r = 2 + std::cos(3 * t);
        p[0] = r * std::cos(2 * t);
        p[1] = r * std::sin(2 * t);
        p[2] = -std::sin(3 * t);
    };
    auto unitCross = [](const double* u, const double* v, double* w) {
        w[0] = u[1] * v[2] - u[2] * v[1];
        w[1] = u[2] * v[0] - u[0] * v[2];
        w[2] = u[0] * v[1] - u[1] * v[0];
        const double n = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        for (int k = 0; k < 3; ++k)
            w[k] /= n;
    };
    std::string out = "# (2, 3) torus knot, made by demotool assets\no knot\n";
    char line[160];
    for (int i = 0; i <= rings; ++i) {
        // The tube's frame from the curve's tangent and bend.
        const double t = 2 * kPi * i / rings, h = 1e-3;
        double p[3], ahead[3], behind[3], tangent[3], bend[3], normal[3], binormal[3];
        curve(t, p);
        curve(t + h, ahead);
        curve(t - h, behind);
        for (int k = 0; k < 3; ++k) {
            tangent[k] = ahead[k] - behind[k];
            bend[k] = ahead[k] + behind[k] - 2 * p[k];
        }
        unitCross(tangent, bend, binormal);
        unitCross(binormal, tangent, normal);
        for (int j = 0; j <= sides; ++j) {
            const double angle = 2 * kPi * j / sides;
            const double c = std::cos(angle) * radius, s = std::sin(angle) * radius;
            std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\nvt %.5f %.5f\n", p[0] + c * normal[0] + s * binormal[0],
                          p[1] + c * normal[1] + s * binormal[1], p[2] + c * normal[2] + s * binormal[2],
                          8.0 * i / rings, double(j) / sides);
            out += line;
        }
    }
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            const int a = i * (sides + 1) + j + 1, b = a + sides + 1;
            std::snprintf(line, sizeof line, "f %d/%d %d/%d %d/%d %d/%d\n", a, a, b, b, b + 1, b + 1, a + 1, a + 1);
            out += line;
        }
    }
    return Bytes(out.begin(), out.end());
}

}  // namespace

std::vector<Asset> sampleAssets(const AssetOptions& options)
{
    std::vector<Asset> out = {
        {"checker.bmp", texture(256, checker)},
        {"gradient.bmp", texture(256, gradient)},
        {"rings.bmp", texture(256, rings)},
        {"plasma.bmp", texture(256, plasma)},
        {"grid.bmp", texture(256, grid)},
        {"knot.obj", torusKnotObj()},
    };
    std::vector<int16_t> music = sampleMusic(options.musicSeconds);
    if (options.wav)
        out.push_back({"music.wav", media::encodeWav(music, kSampleRate, 1)});
    else
        out.push_back({"music.mp3", encodeMp3(music, kSampleRate)});
    return out;
}

bool writeSampleAssets(const std::string& directory, const AssetOptions& options, std::string* error)
{
    // mkdir -p
    for (size_t at = 1; at <= directory.size(); ++at) {
        if (at < directory.size() && directory[at] != '/')
            continue;
        std::string part = directory.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            if (error)
                *error = "cannot make " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    for (const Asset& asset : sampleAssets(options)) {
        std::string path = directory + "/" + asset.name;
        if (asset.bytes.empty() || !writer::writeFile(path, asset.bytes)) {
            if (error)
                *error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

}  // namespace tools::assets
