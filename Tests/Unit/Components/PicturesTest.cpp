#include "Components/Images.h"
#include "LookAndFeel/PictureColours.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
struct Expected
{
    int width, height;
    bool jpeg;
};

// Every picture the face and the editor show, at its pixel size.
const std::map<juce::String, Expected>& expectedPictures()
{
    static const std::map<juce::String, Expected> pictures {
        { "FSW_Down", { 108, 84, false } },           { "FSW_Up", { 108, 84, false } },
        { "PL_chassis_Mono", { 480, 540, true } },    { "PL_chassis_Mono_In", { 480, 540, true } },
        { "PL_chassis_Mono_Out", { 480, 540, true } }, { "PL_chassis_Stereo", { 480, 540, true } },
        { "PL_chassis_Stereo_In", { 480, 540, true } }, { "PL_chassis_Stereo_Out", { 480, 540, true } },
        { "LED_Green_On", { 19, 19, false } },        { "LED_Red_Off", { 19, 19, false } },
        { "LED_Red_On", { 19, 19, false } },          { "LED_USB_Off", { 19, 19, false } },
        { "Link_Off", { 50, 50, false } },            { "Link_On", { 50, 50, false } },
        { "Meter_Amber_Off", { 28, 13, false } },     { "Meter_Amber_On", { 28, 13, false } },
        { "Meter_Green_Off", { 28, 13, false } },     { "Meter_Green_On", { 28, 13, false } },
        { "Meter_Red_Off", { 28, 13, false } },       { "Meter_Red_On", { 28, 13, false } },
        { "Meter_Wide_Amber_Off", { 50, 13, false } }, { "Meter_Wide_Amber_On", { 50, 13, false } },
        { "Meter_Wide_Green_Off", { 50, 13, false } }, { "Meter_Wide_Green_On", { 50, 13, false } },
        { "Meter_Wide_Red_Off", { 50, 13, false } },  { "Meter_Wide_Red_On", { 50, 13, false } },
        { "Meter_window_Amber", { 60, 24, false } },  { "Meter_window_normal", { 60, 24, false } },
        { "Meter_window_Red", { 60, 24, false } },    { "Mix_knob", { 100, 100, false } },
        { "Mix_knob_marker", { 100, 100, false } },   { "Slider_cap", { 75, 100, false } },
        { "Slider_cap_disabled", { 75, 100, false } }, { "Status_Off", { 14, 14, false } },
        { "Status_On", { 14, 14, false } },           { "Hamburger_button", { 31, 25, false } },
        { "Hamburger_hover", { 31, 25, false } },     { "Menu_check", { 10, 13, false } },
        { "Menubar_base", { 480, 48, false } },       { "Scroll_down", { 10, 4, false } },
        { "Scroll_up", { 10, 4, false } },
    };
    return pictures;
}

bool hasSignature (const void* data, int size, bool jpeg)
{
    const auto* bytes = static_cast<const unsigned char*> (data);
    if (jpeg)
        return size > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
    return size > 4 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G';
}

juce::Image decode (const void* data, int size)
{
    return juce::ImageFileFormat::loadFrom (data, (size_t) juce::jmax (size, 0));
}
} // namespace

TEST (CarriedPictures, EveryPictureIsCarriedAtItsSizeWithItsTwinAtTwice)
{
    const auto& expected = expectedPictures();
    ASSERT_EQ (Images::all().size(), expected.size());

    for (const auto& entry : Images::all())
    {
        SCOPED_TRACE (entry.name);
        const auto found = expected.find (entry.name);
        ASSERT_NE (found, expected.end());
        const auto& size = found->second;
        const auto& selector = entry.selector;

        EXPECT_TRUE (hasSignature (selector.data1x, selector.size1x, size.jpeg));
        EXPECT_TRUE (hasSignature (selector.data2x, selector.size2x, size.jpeg));

        const auto normal = selector.getImage();
        ASSERT_TRUE (normal.isValid());
        EXPECT_EQ (normal.getBounds(), juce::Rectangle<int> (size.width, size.height));
        EXPECT_EQ (normal.hasAlphaChannel(), ! size.jpeg);
        EXPECT_EQ (decode (selector.data2x, selector.size2x).getBounds(), juce::Rectangle<int> (size.width * 2, size.height * 2));
    }
}

TEST (CarriedPictures, EachIsWrittenToTheBuildFolderUnderItsName)
{
    const juce::File folder (PELLION_PICTURES_DIR);
    for (const auto& [name, size] : expectedPictures())
    {
        const auto extension = size.jpeg ? ".jpg" : ".png";
        for (const auto scale : { 1, 2 })
        {
            const auto file = folder.getChildFile (name + (scale == 2 ? "2x" : "") + extension);
            SCOPED_TRACE (file.getFullPathName());
            juce::MemoryBlock bytes;
            ASSERT_TRUE (file.loadFileAsData (bytes));
            EXPECT_TRUE (hasSignature (bytes.getData(), (int) bytes.getSize(), size.jpeg));
            EXPECT_EQ (decode (bytes.getData(), (int) bytes.getSize()).getBounds(),
                       juce::Rectangle<int> (size.width * scale, size.height * scale));
        }
    }
}

TEST (CarriedPictures, LightsSegmentsAndWindowsShowTheirColoursAtTheProbePoints)
{
    using namespace PictureColours;
    struct Probe
    {
        const ImageSelector& picture;
        int x, y;
        std::uint32_t colour;
    };

    const Probe probes[] = {
        { Images::LED_Red_On, 9, 9, ledRedOn },           { Images::LED_Red_Off, 9, 9, ledRedOff },
        { Images::LED_Green_On, 9, 9, ledGreenOn },       { Images::LED_USB_Off, 9, 9, ledUsbOff },
        { Images::Status_On, 7, 7, statusOn },            { Images::Status_Off, 7, 7, statusOff },
        { Images::Meter_Green_On, 14, 6, meterGreenOn },  { Images::Meter_Green_Off, 14, 6, meterGreenOff },
        { Images::Meter_Amber_On, 14, 6, meterAmberOn },  { Images::Meter_Amber_Off, 14, 6, meterAmberOff },
        { Images::Meter_Red_On, 14, 6, meterRedOn },      { Images::Meter_Red_Off, 14, 6, meterRedOff },
        { Images::Meter_Wide_Green_On, 25, 6, meterGreenOn }, { Images::Meter_Wide_Green_Off, 25, 6, meterGreenOff },
        { Images::Meter_Wide_Amber_On, 25, 6, meterAmberOn }, { Images::Meter_Wide_Amber_Off, 25, 6, meterAmberOff },
        { Images::Meter_Wide_Red_On, 25, 6, meterRedOn },     { Images::Meter_Wide_Red_Off, 25, 6, meterRedOff },
        { Images::Meter_window_normal, 30, 12, windowNormal }, { Images::Meter_window_Amber, 30, 12, windowAmber },
        { Images::Meter_window_Red, 30, 12, windowRed },
    };

    for (const auto& probe : probes)
        EXPECT_TRUE (coloursNear (argb (probe.picture.getImage(), probe.x, probe.y), probe.colour, 1));

    // Segments are separated by a clear row above and below.
    EXPECT_EQ (Images::Meter_Green_On.getImage().getPixelAt (14, 0).getAlpha(), 0);
    EXPECT_EQ (Images::Meter_Green_On.getImage().getPixelAt (14, 12).getAlpha(), 0);
}
