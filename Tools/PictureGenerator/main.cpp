// Draws the plug-in's pictures. Called by the build with the folder to write to,
// the folder of the carried fonts and the file names wanted; a name ending in
// 2x before its extension is drawn at twice the size. Any unknown name, or a
// file that cannot be written, fails the build.

#include "ChassisPainter.h"
#include "ControlPainter.h"
#include "LightPainter.h"
#include "LookAndFeel/PictureColours.h"

#include <juce_events/juce_events.h>
#include <juce_graphics/juce_graphics.h>

#include <functional>
#include <iostream>
#include <map>

namespace
{
struct Picture
{
    int width;
    int height;
    std::function<void (Canvas&)> paint;
};

std::map<juce::String, Picture> catalogue()
{
    using namespace PictureColours;
    using ChassisPainter::Leg;

    std::map<juce::String, Picture> pictures;
    auto add = [&pictures] (const char* name, int w, int h, std::function<void (Canvas&)> paint)
    { pictures.emplace (name, Picture { w, h, std::move (paint) }); };

    auto chassis = [&add] (const char* name, bool mono, Leg leg)
    { add (name, 480, 540, [mono, leg] (Canvas& c) { ChassisPainter::paintChassis (c, mono, leg); }); };

    chassis ("PL_chassis_Stereo", false, Leg::none);
    chassis ("PL_chassis_Stereo_In", false, Leg::in);
    chassis ("PL_chassis_Stereo_Out", false, Leg::out);
    chassis ("PL_chassis_Mono", true, Leg::none);
    chassis ("PL_chassis_Mono_In", true, Leg::in);
    chassis ("PL_chassis_Mono_Out", true, Leg::out);
    add ("Menubar_base", 480, 48, ChassisPainter::paintMenubar);

    add ("Slider_cap", 75, 100, [] (Canvas& c) { ControlPainter::paintFaderCap (c, true); });
    add ("Slider_cap_disabled", 75, 100, [] (Canvas& c) { ControlPainter::paintFaderCap (c, false); });
    add ("Mix_knob", 100, 100, ControlPainter::paintKnob);
    add ("Mix_knob_marker", 100, 100, ControlPainter::paintKnobMarker);
    add ("FSW_Up", 108, 84, [] (Canvas& c) { ControlPainter::paintFootswitch (c, false); });
    add ("FSW_Down", 108, 84, [] (Canvas& c) { ControlPainter::paintFootswitch (c, true); });
    add ("Link_Off", 50, 50, [] (Canvas& c) { ControlPainter::paintLink (c, false); });
    add ("Link_On", 50, 50, [] (Canvas& c) { ControlPainter::paintLink (c, true); });

    auto light = [&add] (const char* name, int size, std::uint32_t core, bool lit)
    { add (name, size, size, [size, core, lit] (Canvas& c) { LightPainter::paintLight (c, (float) size, core, lit); }); };

    light ("LED_Red_On", 19, ledRedOn, true);
    light ("LED_Red_Off", 19, ledRedOff, false);
    light ("LED_Green_On", 19, ledGreenOn, true);
    light ("LED_USB_Off", 19, ledUsbOff, false);
    light ("Status_On", 14, statusOn, true);
    light ("Status_Off", 14, statusOff, false);

    auto segments = [&add] (const char* prefix, int width)
    {
        const struct { const char* name; std::uint32_t colour; bool lit; } kinds[] = {
            { "Green_On", meterGreenOn, true }, { "Green_Off", meterGreenOff, false },
            { "Amber_On", meterAmberOn, true }, { "Amber_Off", meterAmberOff, false },
            { "Red_On", meterRedOn, true },     { "Red_Off", meterRedOff, false },
        };

        for (const auto& kind : kinds)
            add ((juce::String (prefix) + kind.name).toRawUTF8(), width, 13, [width, kind] (Canvas& c)
                 { LightPainter::paintSegment (c, (float) width, kind.colour, kind.lit); });
    };

    segments ("Meter_", 28);
    segments ("Meter_Wide_", 50);

    add ("Meter_window_normal", 60, 24, [] (Canvas& c) { LightPainter::paintPeakWindow (c, windowNormal, 0xFF3A3232); });
    add ("Meter_window_Amber", 60, 24, [] (Canvas& c) { LightPainter::paintPeakWindow (c, windowAmber, 0xFFC08A14); });
    add ("Meter_window_Red", 60, 24, [] (Canvas& c) { LightPainter::paintPeakWindow (c, windowRed, 0xFFC0281C); });

    add ("Hamburger_button", 31, 25, [] (Canvas& c) { LightPainter::paintMenuButton (c, false); });
    add ("Hamburger_hover", 31, 25, [] (Canvas& c) { LightPainter::paintMenuButton (c, true); });
    add ("Menu_check", 10, 13, LightPainter::paintCheck);
    add ("Scroll_up", 10, 4, [] (Canvas& c) { LightPainter::paintScrollArrow (c, true); });
    add ("Scroll_down", 10, 4, [] (Canvas& c) { LightPainter::paintScrollArrow (c, false); });
    return pictures;
}

bool writePicture (const juce::File& file, const Picture& picture, int scale, const PictureFonts& fonts)
{
    const auto jpeg = file.hasFileExtension ("jpg");
    juce::Image image (jpeg ? juce::Image::RGB : juce::Image::ARGB, picture.width * scale, picture.height * scale, true);
    {
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale ((float) scale));
        Canvas canvas { g, fonts, (float) scale };
        picture.paint (canvas);
    }

    juce::MemoryOutputStream encoded;
    bool written = false;
    if (jpeg)
    {
        juce::JPEGImageFormat format;
        format.setQuality (0.92f);
        written = format.writeImageToStream (image, encoded);
    }
    else
    {
        juce::PNGImageFormat format;
        written = format.writeImageToStream (image, encoded);
    }

    return written && file.replaceWithData (encoded.getData(), encoded.getDataSize());
}
} // namespace

int main (int argc, char** argv)
{
    if (argc < 4)
    {
        std::cerr << "usage: pellion-picture-generator OUTPUT_FOLDER FONT_FOLDER NAME.png|NAME.jpg...\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI framework;
    const juce::File output (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const juce::File fontFolder (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));

    PictureFonts fonts;
    if (! fonts.load (fontFolder))
    {
        std::cerr << "pellion-picture-generator: cannot read the fonts in " << fontFolder.getFullPathName() << "\n";
        return 1;
    }

    if (! output.createDirectory())
    {
        std::cerr << "pellion-picture-generator: cannot create " << output.getFullPathName() << "\n";
        return 1;
    }

    const auto pictures = catalogue();
    for (int i = 3; i < argc; ++i)
    {
        const juce::String fileName (argv[i]);
        auto name = fileName.upToLastOccurrenceOf (".", false, false);
        const auto extension = fileName.fromLastOccurrenceOf (".", false, false);
        const auto scale = name.endsWith ("2x") ? 2 : 1;
        if (scale == 2)
            name = name.dropLastCharacters (2);

        const auto found = pictures.find (name);
        const auto wantsJpeg = name.startsWith ("PL_chassis_");
        if (found == pictures.end() || extension != (wantsJpeg ? "jpg" : "png"))
        {
            std::cerr << "pellion-picture-generator: no picture is called " << fileName << "\n";
            return 1;
        }

        if (! writePicture (output.getChildFile (fileName), found->second, scale, fonts))
        {
            std::cerr << "pellion-picture-generator: cannot write " << fileName << "\n";
            return 1;
        }
    }

    return 0;
}
