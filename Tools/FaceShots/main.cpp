// Writes a picture of the pedal face for every use and channel setting the
// face distinguishes, with known levels in the meters, and prints where. Each
// picture's caption is its whole legend (the levels read back from the
// parameters, the meters' peaks, what the lights show), in the terminal and in
// the folder's index, and every picture waits until the face shows it; a face
// that never does is an error, not a picture.

#include "Components/Face/PedalComponent.h"
#include "Components/Images.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Parameters/ParameterTable.h"
#include "Shots/PictureFolder.h"
#include "Shots/StateWait.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
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

bool isMono (const Setting& setting)
{
    return setting.channel == L || setting.channel == R;
}

// The meters' peaks the editor feeds for this setting: nothing without a pedal.
std::pair<float, float> peaksFor (const Setting& setting)
{
    if (setting.mode == Mode::none)
        return { 0.0f, 0.0f };
    return { leftPeak, isMono (setting) ? leftPeak : rightPeak };
}

// As the peak window writes a level.
juce::String inDecibels (float level)
{
    return juce::String (20.0f * std::log10 (level), 1) + " dB";
}

// The face as the editor shows it for a pedal attached in this setting.
void show (FaceFrame& frame, const Setting& setting)
{
    frame.status = setting.status;
    auto& face = frame.face;
    face.updateEditor (setting.mode, setting.channel, setting.config);

    // The lights show the pedal's connection, as the editor's timer has them show it.
    face.showConnection (setting.mode);
    face.setPeaks (peaksFor (setting));
}

// Everything a picture's caption says, from the parameters and the setting.
juce::String legendOf (AudioValueTreeState& store, const Setting& setting)
{
    const auto on = [&store] (const char* id) { return valueOf (store, id) != 0; };
    const auto mixPercent = (int) std::lround (valueOf (store, "mixWet") * 100.0 / 127.0);
    const auto pedalboardOut = setting.mode == Mode::pedalboard && setting.config == out;
    const juce::String faders (isMono (setting) ? "fader" : "faders");
    const auto greyed = pedalboardOut ? "; the input and output " + faders + " greyed"
                                      : setting.mode == Mode::control ? "; the output " + faders + " greyed" : juce::String();

    juce::String legend;
    legend << setting.status << ". Faders (of 127): ";
    if (isMono (setting))
    {
        const auto right = setting.channel == R;
        legend << "output " << (right ? "R " : "L ") << valueOf (store, right ? "dacR" : "dacL") << " and input " << (right ? "R " : "L ")
               << valueOf (store, right ? "adcR" : "adcL") << " (mono: one fader a side, no links)";
    }
    else
    {
        legend << "output L " << valueOf (store, "dacL") << " and R " << valueOf (store, "dacR") << " (output link "
               << (on ("dacLink") ? "on" : "off") << "), input L " << valueOf (store, "adcL") << " and R " << valueOf (store, "adcR")
               << " (input link " << (on ("adcLink") ? "on: the right input follows the left" : "off") << ")";
    }
    legend << greyed << ". Mix " << valueOf (store, "mixWet") << " (the knob reads " << mixPercent << "), effect "
           << (on ("bypass") ? "on (EFFECT lit)" : "off (EFFECT dark)") << ". ";

    const auto [left, right] = peaksFor (setting);
    if (setting.mode == Mode::none)
        legend << "Meters empty and the peak window " << inDecibels (0.0f) << ": no pedal, nothing fed. USB and POWER dark.";
    else
        legend << (isMono (setting) ? "One meter, " + juce::String (left) + " (" + inDecibels (left) + "): in mono the pedal's first channel feeds it"
                                    : "Meters L " + juce::String (left) + " (" + inDecibels (left) + ") and R " + juce::String (right) + " ("
                                          + inDecibels (right) + ")")
               << ", the peak window " << inDecibels (std::max (left, right)) << ". USB "
               << (setting.mode == Mode::control ? "red (Control use)" : "green (Audio and Pedalboard use)") << ", POWER lit.";
    return legend;
}

// What of the legend the face does not show yet; empty once it shows all of it.
juce::String differences (PedalComponent& pedal, AudioValueTreeState& store, const Setting& setting)
{
    const auto face = pedal.widgetsForTesting();
    juce::StringArray found;

    const std::pair<const char*, juce::Slider*> sliders[] = {
        { "dacL", face.faderDacL.get() }, { "dacR", face.faderDacR.get() }, { "adcL", face.faderAdcL.get() },
        { "adcR", face.faderAdcR.get() }, { "mixWet", face.knobMix.get() },
    };
    for (const auto& [id, slider] : sliders)
        if ((int) slider->getValue() != valueOf (store, id))
            found.add (juce::String ("the ") + id + " control shows " + juce::String ((int) slider->getValue()) + ", not "
                       + juce::String (valueOf (store, id)));

    const std::pair<const char*, juce::Button*> buttons[] = {
        { "dacLink", face.toggleDacLink.get() }, { "adcLink", face.toggleAdcLink.get() }, { "bypass", face.footswitch.get() },
    };
    for (const auto& [id, button] : buttons)
        if (button->getToggleState() != (valueOf (store, id) != 0))
            found.add (juce::String ("the ") + id + " switch does not show " + juce::String (valueOf (store, id)));

    const auto [left, right] = peaksFor (setting);
    if (face.meterL->level != left || face.meterR->level != right)
        found.add ("the meters show " + juce::String (face.meterL->level) + " and " + juce::String (face.meterR->level));
    if (face.meterWindow->getText() != inDecibels (std::max (left, right)))
        found.add ("the peak window shows " + face.meterWindow->getText());
    if (face.ledUsb->index != toInt (setting.mode) || face.ledPower->index != toInt (setting.mode))
        found.add ("the USB and POWER lights show " + juce::String (face.ledUsb->index) + " and " + juce::String (face.ledPower->index));

    return found.joinIntoString ("; ");
}

// Waits until the face shows the whole legend, then takes its picture with it as the caption.
void picture (PictureFolder& pictures, FaceFrame& frame, AudioValueTreeState& store, const Setting& setting, const juce::String& name,
              const juce::String& caption)
{
    try
    {
        waitForState (name + " showing its legend", [&] { return differences (frame.face, store, setting).isEmpty(); });
    }
    catch (const std::runtime_error& e)
    {
        throw std::runtime_error (std::string (e.what()) + ": " + differences (frame.face, store, setting).toStdString());
    }
    pictures.write (frame, name, caption);
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
        waitForState ("the parameters set, the right input following the left", [&]
        {
            const auto set = std::all_of (std::begin (values), std::end (values), [&store] (const auto& v) { return valueOf (store, v.first) == v.second; });
            return set && valueOf (store, "adcR") == valueOf (store, "adcL");
        });

        std::cout << "Pedal faces, each captioned with what it shows:\n";
        for (const auto& setting : settings)
        {
            FaceFrame frame (store);
            show (frame, setting);
            picture (pictures, frame, store, setting, setting.name, legendOf (store, setting));
        }

        // The value boxes while the pointer is over a fader and the knob.
        FaceFrame frame (store);
        show (frame, settings[4]);
        const auto face = frame.face.widgetsForTesting();
        showValue (*face.faderDacR);
        showValue (*face.knobMix);
        picture (pictures, frame, store, settings[4], "audio-stereo-values-shown",
                 legendOf (store, settings[4]) + " The value boxes shown, as under the pointer: the right output fader's reads "
                     + face.faderDacR->getLabel()->getText() + ", the mix knob's " + face.knobMix->getLabel()->getText() + ".");
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
