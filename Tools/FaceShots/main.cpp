// Writes a picture of the pedal face for every use and channel setting the
// face distinguishes, with known levels in the meters, and prints where.

#include "Components/Face/PedalComponent.h"
#include "Components/Images.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Parameters/ParameterTable.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
// What the editor shows behind and above the face.
class FaceFrame : public juce::Component
{
public:
    explicit FaceFrame (AudioValueTreeState& store) : face (chassis, store)
    {
        addAndMakeVisible (face);
        setSize (480, 540);
    }

    void resized() override { face.setBounds (getLocalBounds()); }

    void paint (juce::Graphics& g) override
    {
        g.drawImage (chassis, getLocalBounds().toFloat());
        g.drawImage (menubar, juce::Rectangle<float> (0.0f, 0.0f, 480.0f, 53.0f));
        g.drawImage (menuButton, juce::Rectangle<float> (443.0f, 10.0f, 31.0f, 26.0f), juce::RectanglePlacement::centred);

        // The status line, as the editor writes it.
        g.setColour (findColour (juce::Label::textColourId));
        g.setFont (juce::Font (getFiraSansRegularFont()).withPointHeight (13.0f));
        g.drawText (status, 169, 10, 152, 26, juce::Justification::centred);
    }

    juce::String status;

    juce::Image chassis;
    juce::Image menubar = Images::Menubar_base.getImage();
    juce::Image menuButton = Images::Hamburger_button.getImage();
    PedalComponent face;
};

struct Setting
{
    const char* name;
    int channel;
    int mode;
    int config;
    const char* status;
};

const Setting settings[] = {
    { "not-connected", -1, 0, -1, "Not Connected" },
    { "control-stereo", 2, 1, -1, "Control : Stereo" },
    { "control-mono-left", 0, 1, -1, "Control : Mono L" },
    { "control-mono-right", 1, 1, -1, "Control : Mono R" },
    { "audio-stereo", 2, 2, -1, "Audio : Stereo" },
    { "audio-mono-left", 0, 2, -1, "Audio : Mono L" },
    { "audio-mono-right", 1, 2, -1, "Audio : Mono R" },
    { "pedalboard-in-stereo", 2, 3, 0, "Pedalboard : IN - S" },
    { "pedalboard-in-mono-left", 0, 3, 0, "Pedalboard : IN - L" },
    { "pedalboard-in-mono-right", 1, 3, 0, "Pedalboard : IN - R" },
    { "pedalboard-out-stereo", 2, 3, 1, "Pedalboard : OUT - S" },
    { "pedalboard-out-mono-left", 0, 3, 1, "Pedalboard : OUT - L" },
    { "pedalboard-out-mono-right", 1, 3, 1, "Pedalboard : OUT - R" },
};

// The peaks the meters are fed: in mono the pedal's first channel feeds both.
constexpr float leftPeak = 0.75f;
constexpr float rightPeak = 0.3f;

void showValue (SliderComponent& slider)
{
    slider.showValue = true;
    slider.updateLabel();
}
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "face-shots");
    if (! folder.createDirectory())
    {
        std::cerr << "pellion-face-shots: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    LookAndFeel_Custom style;
    juce::LookAndFeel::setDefaultLookAndFeel (&style);

    AudioValueTreeState store ("Pellion", "0.2.0");
    juce::OwnedArray<AudioValueTreeState::Parameter> parameters;
    ParameterTable::create (store, [&parameters] (auto parameter) { parameters.add (parameter.release()); });

    const std::pair<const char*, int> values[] = { { "dacL", 127 }, { "dacR", 101 }, { "adcL", 90 }, { "adcR", 64 },
                                                   { "mixWet", 80 }, { "dacLink", 0 }, { "adcLink", 1 }, { "bypass", 1 } };
    for (const auto& [id, value] : values)
        store.getParameterAsValue (id) = value;

    std::cout << "Levels: faders dacL 127, dacR 101, adcL 90, adcR 64 (of 127), mix 80, output link off, input link on,\n"
              << "effect on; meter peaks " << leftPeak << " left and " << rightPeak << " right (the left one in mono).\n";

    auto shoot = [&folder] (FaceFrame& frame, const juce::String& name)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (30);
        const auto file = folder.getChildFile (name + ".png");
        const auto image = frame.createComponentSnapshot (frame.getLocalBounds(), true, 1.0f);
        juce::MemoryOutputStream png;
        if (! juce::PNGImageFormat().writeImageToStream (image, png) || ! file.replaceWithData (png.getData(), png.getDataSize()))
        {
            std::cerr << "pellion-face-shots: cannot write " << file.getFullPathName() << "\n";
            return false;
        }
        std::cout << "  " << file.getFullPathName() << "\n";
        return true;
    };

    for (const auto& setting : settings)
    {
        FaceFrame frame (store);
        frame.status = setting.status;
        auto& face = frame.face;
        face.updateEditor (setting.channel, setting.mode, setting.config);

        // The lights show the pedal's connection, as the editor's timer sets them.
        for (auto* light : { &face.ledUsb, &face.ledPower })
        {
            (*light)->index = setting.mode;
            (*light)->updateImage();
        }

        const auto stereo = setting.channel == 2 || setting.channel == -1;
        face.setPeaks ({ leftPeak, stereo ? rightPeak : leftPeak });

        if (! shoot (frame, setting.name))
            return 1;
    }

    // The value boxes while the pointer is over a fader and the knob.
    FaceFrame frame (store);
    frame.status = "Audio : Stereo";
    frame.face.updateEditor (2, 2, -1);
    frame.face.setPeaks ({ leftPeak, rightPeak });
    showValue (*frame.face.faderDacR);
    showValue (*frame.face.knobMix);
    if (! shoot (frame, "audio-stereo-values-shown"))
        return 1;

    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    return 0;
}
