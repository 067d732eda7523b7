// Writes a picture of the pedal face for every use and channel setting the
// face distinguishes, with known levels in the meters, and prints where. The
// legend is read back from the parameters, and every picture is checked to
// show it; a face that does not is an error, not a picture.

#include "Components/Face/PedalComponent.h"
#include "Components/Images.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Parameters/ParameterTable.h"
#include "Shots/PictureFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <iostream>
#include <stdexcept>

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
    Mode mode;
    std::optional<ChannelSetting> channel;
    PedalModeConfig config;
    const char* status;
};

constexpr auto L = ChannelSetting::monoLeft, R = ChannelSetting::monoRight, S = ChannelSetting::stereo;
constexpr auto none = PedalModeConfig::none, in = PedalModeConfig::in, out = PedalModeConfig::out;

const Setting settings[] = {
    { "not-connected", Mode::none, std::nullopt, none, "Not Connected" },
    { "control-stereo", Mode::control, S, none, "Control : Stereo" },
    { "control-mono-left", Mode::control, L, none, "Control : Mono L" },
    { "control-mono-right", Mode::control, R, none, "Control : Mono R" },
    { "audio-stereo", Mode::audio, S, none, "Audio : Stereo" },
    { "audio-mono-left", Mode::audio, L, none, "Audio : Mono L" },
    { "audio-mono-right", Mode::audio, R, none, "Audio : Mono R" },
    { "pedalboard-in-stereo", Mode::pedalboard, S, in, "Pedalboard : IN - S" },
    { "pedalboard-in-mono-left", Mode::pedalboard, L, in, "Pedalboard : IN - L" },
    { "pedalboard-in-mono-right", Mode::pedalboard, R, in, "Pedalboard : IN - R" },
    { "pedalboard-out-stereo", Mode::pedalboard, S, out, "Pedalboard : OUT - S" },
    { "pedalboard-out-mono-left", Mode::pedalboard, L, out, "Pedalboard : OUT - L" },
    { "pedalboard-out-mono-right", Mode::pedalboard, R, out, "Pedalboard : OUT - R" },
};

// The peaks the meters are fed: in mono the pedal's first channel feeds both.
constexpr float leftPeak = 0.75f;
constexpr float rightPeak = 0.3f;

int valueOf (AudioValueTreeState& store, const char* id)
{
    return (int) store.getParameterAsValue (id).getValue();
}

// The face as the editor shows it for a pedal attached in this setting.
void show (FaceFrame& frame, const Setting& setting)
{
    frame.status = setting.status;
    auto& face = frame.face;
    face.updateEditor (setting.mode, setting.channel, setting.config);

    // The lights show the pedal's connection, as the editor's timer has them show it.
    face.showConnection (setting.mode);

    // Without a pedal the editor feeds the meters nothing.
    const auto stereo = setting.channel != L && setting.channel != R;
    if (setting.mode == Mode::none)
        face.setPeaks ({ 0.0f, 0.0f });
    else
        face.setPeaks ({ leftPeak, stereo ? rightPeak : leftPeak });
    juce::MessageManager::getInstance()->runDispatchLoopUntil (30);
}

// Every control at its parameter's value, so that the legend holds for the picture.
void checkShowsStore (PedalComponent& pedal, AudioValueTreeState& store, const juce::String& name)
{
    const auto face = pedal.widgetsForTesting();
    const std::pair<const char*, juce::Slider*> sliders[] = {
        { "dacL", face.faderDacL.get() }, { "dacR", face.faderDacR.get() }, { "adcL", face.faderAdcL.get() },
        { "adcR", face.faderAdcR.get() }, { "mixWet", face.knobMix.get() },
    };
    for (const auto& [id, slider] : sliders)
        if ((int) slider->getValue() != valueOf (store, id))
            throw std::runtime_error (name.toStdString() + ": the " + id + " control shows " + std::to_string ((int) slider->getValue())
                                      + ", not " + std::to_string (valueOf (store, id)));

    const std::pair<const char*, juce::Button*> buttons[] = {
        { "dacLink", face.toggleDacLink.get() }, { "adcLink", face.toggleAdcLink.get() }, { "bypass", face.footswitch.get() },
    };
    for (const auto& [id, button] : buttons)
        if (button->getToggleState() != (valueOf (store, id) != 0))
            throw std::runtime_error (name.toStdString() + ": the " + id + " switch does not show " + std::to_string (valueOf (store, id)));
}

void showValue (SliderComponent& slider)
{
    slider.showValue = true;
    slider.updateLabel();
}
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    LookAndFeel_Custom style;
    juce::LookAndFeel::setDefaultLookAndFeel (&style);

    try
    {
        PictureFolder pictures (juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "face-shots"));

        AudioValueTreeState store ("Pellion", "0.2.0");
        juce::OwnedArray<AudioValueTreeState::Parameter> parameters;
        ParameterTable::create (store, [&parameters] (auto parameter) { parameters.add (parameter.release()); });

        // The links first: while a link is on, setting one side moves the other to the same value.
        const std::pair<const char*, int> values[] = { { "dacLink", 0 }, { "adcLink", 1 }, { "dacL", 127 }, { "dacR", 101 },
                                                       { "adcL", 90 },   { "mixWet", 80 }, { "bypass", 1 } };
        for (const auto& [id, value] : values)
            store.getParameterAsValue (id) = value;
        juce::MessageManager::getInstance()->runDispatchLoopUntil (30);

        const auto mixPercent = (int) std::lround (valueOf (store, "mixWet") * 100.0 / 127.0);
        std::cout << "Levels (of 127): output faders L " << valueOf (store, "dacL") << " and R " << valueOf (store, "dacR")
                  << " (output link " << (valueOf (store, "dacLink") != 0 ? "on" : "off") << "), input faders L "
                  << valueOf (store, "adcL") << " and R " << valueOf (store, "adcR") << " (input link "
                  << (valueOf (store, "adcLink") != 0 ? "on: the right input follows the left" : "off") << "),\n"
                  << "mix " << valueOf (store, "mixWet") << " (the knob reads " << mixPercent << "), effect "
                  << (valueOf (store, "bypass") != 0 ? "on" : "off") << "; meter peaks " << leftPeak << " left and " << rightPeak
                  << " right (the left one in mono; none without a pedal). The USB and POWER lights show the use: dark without a pedal,\n"
                  << "USB red in Control use and green in Audio and Pedalboard use, POWER lit whenever a pedal is attached.\n";

        for (const auto& setting : settings)
        {
            FaceFrame frame (store);
            show (frame, setting);
            checkShowsStore (frame.face, store, setting.name);
            pictures.write (frame, setting.name, setting.status);
        }

        // The value boxes while the pointer is over a fader and the knob.
        FaceFrame frame (store);
        show (frame, settings[4]);
        checkShowsStore (frame.face, store, "audio-stereo-values-shown");
        const auto face = frame.face.widgetsForTesting();
        showValue (*face.faderDacR);
        showValue (*face.knobMix);
        pictures.write (frame, "audio-stereo-values-shown", "Audio : Stereo, the values of the right output fader and the mix knob shown");
    }
    catch (const std::exception& e)
    {
        std::cerr << "pellion-face-shots: " << e.what() << "\n";
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        return 1;
    }

    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    return 0;
}
