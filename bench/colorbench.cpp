// Converts every one of the 2^24 colours to HSL and back with the program's RgbToHsl and
// HslToRgb, and with an independent textbook conversion (chroma and hue sectors, in double),
// both measured in the same run.
//
//   vandrel-colorbench [runs]
//
// Prints how many colours fail the round trip ("roundtrip_ok" when none), how many HSL values
// differ from the independent ones by more than 1e-9, how many colours the independent
// HSL-to-RGB gives differently from the same HSL, and last "roundtrip_vs_independent <ratio>":
// the program's time divided by the independent one's (best of the runs).

#include "widgets/funcs.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

THsl textbookHsl(int r8, int g8, int b8)
{
    const double r = r8 / 255.0, g = g8 / 255.0, b = b8 / 255.0;
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    const double chroma = hi - lo, l = (hi + lo) / 2;
    if (chroma == 0)
        return {0, 0, l};
    double sector;
    if (hi == r)
        sector = std::fmod((g - b) / chroma + 6, 6);
    else if (hi == g)
        sector = (b - r) / chroma + 2;
    else
        sector = (r - g) / chroma + 4;
    return {sector / 6, chroma / (1 - std::fabs(2 * l - 1)), l};
}

TRgb textbookRgb(const THsl &hsl)
{
    const double chroma = (1 - std::fabs(2 * hsl.l - 1)) * hsl.s;
    const double sector = std::fmod(hsl.h * 6, 6);
    const double x = chroma * (1 - std::fabs(std::fmod(sector, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch (int(sector)) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
    }
    const double m = hsl.l - chroma / 2;
    const auto byte = [](double v) { return quint8(std::clamp(std::lround(v * 255), 0L, 255L)); };
    return {byte(r + m), byte(g + m), byte(b + m)};
}

double hueDistance(double a, double b)
{
    const double d = std::fabs(a - b);
    return std::min(d, 1 - d);
}

// Milliseconds of one round trip over all colours; failures counts colours that come back
// different.
template<typename ToHsl, typename ToRgb>
double roundTrip(ToHsl toHsl, ToRgb toRgb, long &failures)
{
    QElapsedTimer timer;
    timer.start();
    failures = 0;
    for (int c = 0; c < (1 << 24); ++c) {
        const TRgb rgb{quint8(c), quint8(c >> 8), quint8(c >> 16)};
        if (!(toRgb(toHsl(rgb.r, rgb.g, rgb.b)) == rgb))
            ++failures;
    }
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    long hslMismatches = 0, rgbMismatches = 0;
    for (int c = 0; c < (1 << 24); ++c) {
        const quint8 r = quint8(c), g = quint8(c >> 8), b = quint8(c >> 16);
        const THsl ours = RgbToHsl(r, g, b), theirs = textbookHsl(r, g, b);
        if (hueDistance(ours.h, theirs.h) > 1e-9 || std::fabs(ours.s - theirs.s) > 1e-9
            || std::fabs(ours.l - theirs.l) > 1e-9)
            ++hslMismatches;
        if (!(HslToRgb(ours.h, ours.s, ours.l) == textbookRgb(ours)))
            ++rgbMismatches;
    }

    double best = 0, bestPeer = 0;
    long failures = 0, peerFailures = 0;
    const auto ours = [](quint8 r, quint8 g, quint8 b) { return RgbToHsl(r, g, b); };
    const auto oursBack = [](const THsl &hsl) { return HslToRgb(hsl.h, hsl.s, hsl.l); };
    for (int run = 0; run < runs; ++run) {
        const double t = roundTrip(ours, oursBack, failures);
        const double peer = roundTrip(textbookHsl, textbookRgb, peerFailures);
        best = run == 0 ? t : std::min(best, t);
        bestPeer = run == 0 ? peer : std::min(bestPeer, peer);
    }

    std::printf("colours 16777216, %d timed runs\n", runs);
    std::printf("program round trip %.1f ms, independent %.1f ms\n", best, bestPeer);
    std::printf("independent_roundtrip_mismatches %ld\n", peerFailures);
    std::printf("hsl_mismatches %ld\n", hslMismatches);
    std::printf("rgb_mismatches %ld\n", rgbMismatches);
    if (failures == 0)
        std::printf("roundtrip_ok\n");
    else
        std::printf("roundtrip_mismatches %ld\n", failures);
    std::printf("roundtrip_vs_independent %.3f\n", best / bestPeer);
    return failures == 0 ? 0 : 1;
}
