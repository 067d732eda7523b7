#pragma once

// Where the pedal face places its parts over the 480 x 540 chassis picture.
// The face lays its children out from these boxes and the picture generator
// paints the chassis (slots, meter beds, light holes) under the same boxes.
namespace FaceLayout
{
struct Box
{
    int x, y, w, h;

    constexpr int centreX2() const noexcept { return 2 * x + w; } // twice the centre, to stay integral
    constexpr int centreY2() const noexcept { return 2 * y + h; }
    constexpr int right() const noexcept { return x + w; }
    constexpr int bottom() const noexcept { return y + h; }
};

constexpr int width = 480;
constexpr int height = 540;

constexpr Box faderDacL { 12, 138, 75, 254 };
constexpr Box faderDacR { 112, 138, 75, 254 };
constexpr Box faderAdcL { 293, 138, 75, 254 };
constexpr Box faderAdcR { 393, 138, 75, 254 };
constexpr Box monoFaderDac { 82, 138, 75, 254 };
constexpr Box monoFaderAdc { 323, 138, 75, 254 };
constexpr Box toggleDacLink { 75, 346, 50, 50 };
constexpr Box toggleAdcLink { 355, 346, 50, 50 };
constexpr Box footswitch { 187, 456, 108, 84 };
constexpr Box ledUsb { 443, 100, 19, 19 };
constexpr Box ledPower { 443, 60, 19, 19 };
constexpr Box knobMix { 0, 29, 100, 104 };
constexpr Box ledStatus { 232, 355, 14, 14 };
constexpr Box meterL { 209, 205, 29, 122 };
constexpr Box meterR { 242, 205, 29, 122 };
constexpr int monoMeterX = 214;
constexpr int monoMeterWidth = 58;
constexpr Box meterWindow { 210, 175, 60, 24 };

// A fader's cap travels between half a cap below its top and half a cap above its bottom.
constexpr int capHeight = 100;
} // namespace FaceLayout
