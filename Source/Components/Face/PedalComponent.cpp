#include "Components/Face/PedalComponent.h"

#include "Components/Face/FaceLayout.h"
#include "Components/Face/MeterLevel.h"
#include "Components/Images.h"
#include "LookAndFeel/SpecialFonts.h"

namespace
{
// A meter's level falls by this factor a tick while no higher peak comes.
constexpr double meterDecay = 0.6;

juce::Rectangle<int> bounds (const FaceLayout::Box& box)
{
    return { box.x, box.y, box.w, box.h };
}

void setNormalSegments (Meter& meter)
{
    meter.init ({ Images::Meter_Green_Off, Images::Meter_Green_On, Images::Meter_Amber_Off, Images::Meter_Amber_On,
                  Images::Meter_Red_Off, Images::Meter_Red_On });
}

void setWideSegments (Meter& meter)
{
    meter.init ({ Images::Meter_Wide_Green_Off, Images::Meter_Wide_Green_On, Images::Meter_Wide_Amber_Off,
                  Images::Meter_Wide_Amber_On, Images::Meter_Wide_Red_Off, Images::Meter_Wide_Red_On });
}

void showAndEnable (juce::Component& component, bool on)
{
    component.setEnabled (on);
    component.setVisible (on);
}

// Jumps up to a new peak at once, falls by the decay factor otherwise.
void feed (MeterComponent& meter, float peak)
{
    meter.level = meter.level > peak ? (float) ((double) meter.level * meterDecay) : peak;
    meter.repaint();
}

const ImageSelector& chassisFor (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config)
{
    const auto in = mode == Mode::control || (mode == Mode::pedalboard && config == PedalModeConfig::in);
    const auto out = mode == Mode::pedalboard && config == PedalModeConfig::out;

    if (! channel)
        return Images::PL_chassis_Stereo;
    if (channel == ChannelSetting::stereo)
        return in ? Images::PL_chassis_Stereo_In : out ? Images::PL_chassis_Stereo_Out : Images::PL_chassis_Stereo;
    return in ? Images::PL_chassis_Mono_In : out ? Images::PL_chassis_Mono_Out : Images::PL_chassis_Mono;
}
} // namespace

PedalComponent::PedalComponent (juce::Image& chassis, AudioValueTreeState& store)
    : chassisImage (chassis), state (store)
{
    for (auto* fader : { &faderDacL, &faderDacR, &faderAdcL, &faderAdcR })
        fader->init (Images::Slider_cap);
    faderDacL.setLabel ("L");
    faderDacR.setLabel ("R");
    faderAdcL.setLabel ("L");
    faderAdcR.setLabel ("R");

    toggleDacLink.init (Images::Link_Off, Images::Link_On);
    toggleAdcLink.init (Images::Link_Off, Images::Link_On);
    footswitch.init (Images::FSW_Up, Images::FSW_Down);
    ledUsb.init ({ Images::LED_USB_Off, Images::LED_Red_On, Images::LED_Green_On });
    ledPower.init ({ Images::LED_Red_Off, Images::LED_Red_On });
    knobMix.init (Images::Mix_knob, Images::Mix_knob_marker);
    knobMix.setLabel ("MIX");
    ledStatus.init ({ Images::Status_Off, Images::Status_On });
    setNormalSegments (meterL);
    setNormalSegments (meterR);
    meterWindow.init ({ Images::Meter_window_normal, Images::Meter_window_Amber, Images::Meter_window_Red });

    faderDacL.attachToParameter (state, "dacL");
    faderDacR.attachToParameter (state, "dacR");
    faderAdcL.attachToParameter (state, "adcL");
    faderAdcR.attachToParameter (state, "adcR");
    toggleDacLink.attachToParameter (state, "dacLink");
    toggleAdcLink.attachToParameter (state, "adcLink");
    footswitch.attachToParameter (state, "bypass");
    knobMix.attachToParameter (state, "mixWet");
    ledStatus.attachToParameter (state, "bypass");

    faderDacL.addToParent (this);
    faderDacR.addToParent (this);
    faderAdcL.addToParent (this);
    faderAdcR.addToParent (this);
    toggleDacLink.addToParent (this);
    toggleAdcLink.addToParent (this);
    footswitch.addToParent (this);
    ledUsb.addToParent (this);
    ledPower.addToParent (this);
    knobMix.addToParent (this);
    ledStatus.addToParent (this);
    meterL.addToParent (this);
    meterR.addToParent (this);
    meterWindow.addToParent (this);

    for (auto* fader : { &faderDacL, &faderDacR, &faderAdcL, &faderAdcR })
        if (auto* label = (*fader)->getLabel())
            label->setFont (getHelveticaNeueRomanFont (12.0f));
    if (auto* label = knobMix->getLabel())
        label->setFont (getHelveticaNeueMediumFont (12.0f));

    const std::pair<juce::Label*, const char*> captions[] = {
        { &labelDry, "Dry" }, { &labelWet, "Wet" }, { &labelPower, "POWER" }, { &labelUsb, "USB" }
    };
    for (const auto& [label, text] : captions)
    {
        label->setText (text, juce::dontSendNotification);
        label->setFont (getHelveticaNeueMediumFont (11.0f));
        addAndMakeVisible (label);
    }
}

void PedalComponent::resized()
{
    faderDacL->setBounds (bounds (FaceLayout::faderDacL));
    faderDacR->setBounds (bounds (FaceLayout::faderDacR));
    faderAdcL->setBounds (bounds (FaceLayout::faderAdcL));
    faderAdcR->setBounds (bounds (FaceLayout::faderAdcR));
    toggleDacLink->setBounds (bounds (FaceLayout::toggleDacLink));
    toggleAdcLink->setBounds (bounds (FaceLayout::toggleAdcLink));
    footswitch->setBounds (bounds (FaceLayout::footswitch));
    ledUsb->setBounds (bounds (FaceLayout::ledUsb));
    ledPower->setBounds (bounds (FaceLayout::ledPower));
    knobMix->setBounds (bounds (FaceLayout::knobMix));
    ledStatus->setBounds (bounds (FaceLayout::ledStatus));
    meterL->setBounds (bounds (FaceLayout::meterL));
    meterR->setBounds (bounds (FaceLayout::meterR));
    meterWindow->setBounds (bounds (FaceLayout::meterWindow));

    const auto power = ledPower->getBounds();
    const auto usb = ledUsb->getBounds();
    const auto knob = knobMix->getBounds();
    labelPower.setBounds (power.getX() - 50, power.getY() + power.getHeight() / 2 - 8, 50, 20);
    labelUsb.setBounds (usb.getX() - 35, usb.getY() + usb.getHeight() / 2 - 8, 50, 20);
    labelDry.setBounds (knob.getX() + 2, knob.getBottom() - 40, knob.getWidth(), 20);
    labelWet.setBounds (knob.getRight() - 27, knob.getBottom() - 40, knob.getWidth(), 20);
}

void PedalComponent::updateEditor (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config)
{
    chassisImage = chassisFor (mode, channel, config).getImage();

    if (channel == ChannelSetting::monoLeft || channel == ChannelSetting::monoRight)
        applyMonoLayout (*channel);
    else
        applyStereoLayout();

    const auto out = mode == Mode::pedalboard && config == PedalModeConfig::out;
    const auto inputsEnabled = ! out;
    const auto outputsEnabled = ! (mode == Mode::control || out);

    for (auto* fader : { &faderAdcL, &faderAdcR })
    {
        (*fader)->setEnabled (inputsEnabled);
        fader->init (inputsEnabled ? Images::Slider_cap : Images::Slider_cap_disabled);
    }
    for (auto* fader : { &faderDacL, &faderDacR })
    {
        (*fader)->setEnabled (outputsEnabled);
        fader->init (outputsEnabled ? Images::Slider_cap : Images::Slider_cap_disabled);
    }

    repaint();
}

void PedalComponent::applyMonoLayout (ChannelSetting channel)
{
    const auto left = channel == ChannelSetting::monoLeft;
    auto& activeOutput = left ? faderDacL : faderDacR;
    auto& activeInput = left ? faderAdcL : faderAdcR;

    faderDacL->setVisible (left);
    faderAdcL->setVisible (left);
    faderDacR->setVisible (! left);
    faderAdcR->setVisible (! left);
    activeOutput->setBounds (bounds (FaceLayout::monoFaderDac));
    activeInput->setBounds (bounds (FaceLayout::monoFaderAdc));

    showAndEnable (*meterR, ! left);
    meterL->setVisible (left);

    auto& activeMeter = left ? meterL : meterR;
    setWideSegments (activeMeter);
    activeMeter->setBounds (FaceLayout::monoMeterX, meterL->getY(), FaceLayout::monoMeterWidth, meterL->getHeight());

    showAndEnable (*toggleDacLink, false);
    showAndEnable (*toggleAdcLink, false);
}

void PedalComponent::applyStereoLayout()
{
    for (auto* component : std::initializer_list<juce::Component*> { faderDacL.get(), faderDacR.get(), faderAdcL.get(),
                                                                    faderAdcR.get(), toggleDacLink.get(), toggleAdcLink.get(),
                                                                    meterL.get(), meterR.get() })
        showAndEnable (*component, true);

    setNormalSegments (meterL);
    setNormalSegments (meterR);
    resized();
}

void PedalComponent::setPeaks (std::pair<float, float> peaks)
{
    const auto left = MeterLevel::sanitisePeak (peaks.first);
    const auto right = MeterLevel::sanitisePeak (peaks.second);
    feed (*meterL, left);
    feed (*meterR, right);

    const auto highest = juce::jmax (left, right);
    auto& window = *meterWindow;
    if (! (highest >= 0.0f) || highest == window.latestPeak)
        return;

    window.latestPeak = highest;
    if (highest > window.getDisplayedPeak())
    {
        window.setDisplayedPeak (highest);
        window.restartHold();
    }
}

void PedalComponent::showConnection (Mode mode)
{
    // Each light's pictures are in the order of the uses' numbers.
    for (auto* light : { &ledUsb, &ledPower })
    {
        if ((*light)->index != toInt (mode))
        {
            (*light)->index = toInt (mode);
            (*light)->updateImage();
        }
    }
}

void PedalComponent::showIndicators (juce::uint8 indicators)
{
    if (indicators == indicatorState)
        return;

    indicatorState = indicators;
    const bool down = (indicators & 1) != 0;
    if (footswitch->forceDown != down)
    {
        footswitch->forceDown = down;
        footswitch->repaint();
    }
}

PedalComponent::Widgets PedalComponent::widgetsForTesting() noexcept
{
    return { chassisImage, faderDacL,  faderDacR, faderAdcL, faderAdcR, toggleDacLink, toggleAdcLink, footswitch,
             ledUsb,       ledPower,   knobMix,   ledStatus, meterL,    meterR,        meterWindow };
}
