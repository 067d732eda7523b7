#include "LookAndFeel/SpecialFonts.h"

#include <BinaryData.h>

#include <array>
#include <memory>
#include <mutex>

namespace
{
enum Face
{
    firaSansBold,
    firaSansLight,
    firaSansLightItalic,
    firaSansMedium,
    firaSansRegular,
    firaSansSemiBold,
    helveticaNeueRoman,
    helveticaNeueMedium,
    helveticaNeueBold,
    numFaces
};

struct FaceData
{
    const char* data;
    int size;
    bool atTwelvePoints;
};

const std::array<FaceData, numFaces> faceData { {
    { BinaryData::FiraSansBold_ttf, BinaryData::FiraSansBold_ttfSize, false },
    { BinaryData::FiraSansLight_ttf, BinaryData::FiraSansLight_ttfSize, false },
    { BinaryData::FiraSansLightItalic_ttf, BinaryData::FiraSansLightItalic_ttfSize, false },
    { BinaryData::FiraSansMedium_ttf, BinaryData::FiraSansMedium_ttfSize, false },
    { BinaryData::FiraSansRegular_ttf, BinaryData::FiraSansRegular_ttfSize, false },
    { BinaryData::FiraSansSemiBold_ttf, BinaryData::FiraSansSemiBold_ttfSize, false },
    { BinaryData::InterRegular_otf, BinaryData::InterRegular_otfSize, true },
    { BinaryData::InterMedium_otf, BinaryData::InterMedium_otfSize, true },
    { BinaryData::InterBold_otf, BinaryData::InterBold_otfSize, true },
} };

// The loaded faces live until the framework shuts down, which frees them before
// the framework checks for leaked objects; a face is loaded on its first use.
class CarriedFonts : public juce::DeletedAtShutdown
{
public:
    ~CarriedFonts() override { clearSingletonInstance(); }

    const juce::Font& get (Face face)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        auto& font = fonts[(size_t) face];
        if (font == nullptr)
        {
            const auto& source = faceData[(size_t) face];
            juce::Font loaded (juce::Typeface::createSystemTypefaceFor (source.data, (size_t) source.size));
            font = std::make_unique<juce::Font> (source.atTwelvePoints ? loaded.withPointHeight (12.0f) : loaded);
        }
        return *font;
    }

    JUCE_DECLARE_SINGLETON (CarriedFonts, false)

private:
    std::mutex mutex;
    std::array<std::unique_ptr<juce::Font>, numFaces> fonts;
};

JUCE_IMPLEMENT_SINGLETON (CarriedFonts)

const juce::Font& carried (Face face)
{
    return CarriedFonts::getInstance()->get (face);
}
} // namespace

const juce::Font& getFiraSansBoldFont() { return carried (firaSansBold); }
const juce::Font& getFiraSansLightFont() { return carried (firaSansLight); }
const juce::Font& getFiraSansLightItalicFont() { return carried (firaSansLightItalic); }
const juce::Font& getFiraSansMediumFont() { return carried (firaSansMedium); }
const juce::Font& getFiraSansRegularFont() { return carried (firaSansRegular); }
const juce::Font& getFiraSansSemiBoldFont() { return carried (firaSansSemiBold); }

juce::Font getHelveticaNeueRomanFont (float pointHeight) { return carried (helveticaNeueRoman).withPointHeight (pointHeight); }
juce::Font getHelveticaNeueMediumFont (float pointHeight) { return carried (helveticaNeueMedium).withPointHeight (pointHeight); }
juce::Font getHelveticaNeueBoldFont (float pointHeight) { return carried (helveticaNeueBold).withPointHeight (pointHeight); }
