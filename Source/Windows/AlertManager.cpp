#include "Windows/AlertManager.h"

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Devices/Midi/SysexMessage.h"
#include "Windows/GlassOverlayComponent.h"

//==============================================================================
AlertManager::DecoratedAlertBox::DecoratedAlertBox (juce::Component& parentToUse) : parent (&parentToUse)
{
}

AlertManager::DecoratedAlertBox::~DecoratedAlertBox()
{
    // No callback runs: the boxes are simply deleted.
    overlay.reset();
    shadower.reset();
    box.reset();
    releaser.cancelPendingUpdate();
    releaser.closed.clear();
}

void AlertManager::DecoratedAlertBox::show (std::shared_ptr<juce::Component> newBox)
{
    retire (std::exchange (box, std::move (newBox)));
    activate();
}

void AlertManager::DecoratedAlertBox::activate()
{
    jassert (box != nullptr);
    if (box == nullptr)
        return;

    shadower = std::make_unique<juce::DropShadower> (juce::DropShadow (juce::Colours::black, 20, { 5, 5 }));

    overlay = std::make_unique<GlassOverlayComponent>();
    overlay->setBounds (0, 0, parent->getWidth(), parent->getHeight());
    parent->addAndMakeVisible (*overlay);

    // Above the overlay.
    parent->addAndMakeVisible (*box);
    shadower->setOwner (box.get());
}

void AlertManager::DecoratedAlertBox::reset()
{
    jassert (parent != nullptr && box != nullptr);

    shadower.reset();
    overlay.reset();
    retire (std::move (box));
    box.reset();
}

void AlertManager::DecoratedAlertBox::retire (std::shared_ptr<juce::Component> gone)
{
    if (gone == nullptr)
        return;

    // Gone from the screen now, deaf to clicks already queued for it, and
    // deleted after the call that closed it has returned.
    if (auto* box = dynamic_cast<AlertBoxComponent*> (gone.get()))
        box->dismiss();
    gone->setEnabled (false);
    gone->setVisible (false);
    parent->removeChildComponent (gone.get());
    releaser.closed.push_back (std::move (gone));
    releaser.triggerAsyncUpdate();
}

//==============================================================================
struct AlertManager::Closer
{
    explicit Closer (AlertManager& m) : manager (m) {}

    // Closes the box this belongs to, unless a callback has already replaced it.
    void close() const
    {
        if (box != nullptr && manager.alert.box.get() == box)
            manager.alert.reset();
    }

    AlertManager& manager;
    juce::Component* box = nullptr;
};

AlertManager::AlertManager (UsbDevice::Holder& holderToUse, juce::Component& parent)
    : holder (holderToUse), alert (parent)
{
}

std::shared_ptr<AlertManager::Closer> AlertManager::makeCloser()
{
    return std::make_shared<Closer> (*this);
}

void AlertManager::presentTall (std::shared_ptr<juce::Component> box)
{
    const auto w = alert.parent->getWidth();
    const auto h = alert.parent->getHeight();
    present (std::move (box), w - 67, 4 * h / 5 - 10);
}

void AlertManager::present (std::shared_ptr<juce::Component> box, int width, int height)
{
    alert.show (std::move (box));
    alert.box->centreWithSize (width, height);
}

bool AlertManager::isFlashing() const
{
    auto* dialog = dynamic_cast<FirmwareUpdateComponent*> (alert.box.get());
    return dialog != nullptr && dialog->getFlow().isFlashing();
}

bool AlertManager::isPedalFlashing() const
{
    auto* device = holder.getDevice();
    return isFlashing() || (device != nullptr && pedalManager->getFlashes().isFlashing (device->getName()));
}

//==============================================================================
bool AlertManager::alert_withCallback (const juce::String& title, const juce::String& message,
                                       std::function<void (int)> callback)
{
    jassert (callback != nullptr);
    if (isFlashing())
        return false;

    auto closer = makeCloser();
    auto box = std::make_shared<AlertBoxComponent> (title, message, [closer, callback = std::move (callback)] (int result)
    {
        if (callback)
            callback (result);
        closer->close();
    });
    closer->box = box.get();

    box->addButton (juce::translate ("OK"), confirmed);
    box->addButton (juce::translate ("Cancel"), cancelled);

    const auto w = alert.parent->getWidth();
    const auto h = alert.parent->getHeight();
    present (std::move (box), w - 37, h / 3 + 3);
    return true;
}

bool AlertManager::alert_updateFirmware (const VersionQuery& query, juce::PropertySet& settings, std::function<void (int)> callback)
{
    if (isPedalFlashing())
        return false;

    auto closer = makeCloser();
    auto box = std::make_shared<FirmwareUpdateComponent> (&holder, query, settings, [closer, callback = std::move (callback)] (int result)
    {
        if (callback)
            callback (result);
        closer->close();
    });
    closer->box = box.get();
    box->getFlow().start();

    const auto w = alert.parent->getWidth();
    const auto h = alert.parent->getHeight();
    present (std::move (box), w - 77, (int) (h * 1.2 / 3.0 + 3.0));
    return true;
}

bool AlertManager::alert_resetFactoryPresets()
{
    if (isPedalFlashing())
        return false;

    return alert_withCallback ("Reset Factory Presets", "Reset pedal presets to factory defaults?", [this] (int result)
    {
        if (result == confirmed)
            resetFactoryPresets();
    });
}

bool AlertManager::alert_resetFirmware()
{
    if (isPedalFlashing())
        return false;

    return alert_withCallback ("Reset Firmware to Factory Version", "Reset pedal firmware to the original version?",
                               [this] (int result)
    {
        if (result == confirmed)
            resetFirmware();
    });
}

void AlertManager::resetFactoryPresets()
{
    if (auto* device = holder.getDevice())
        device->getDriver().sendSysExMessage (Sysex::SystemGroup, Sysex::ResetPresets, nullptr, 0);
}

void AlertManager::resetFirmware()
{
    auto* device = holder.getDevice();
    if (device == nullptr)
        return;

    // The pedal restarts: its audio goes before the command, its ports and
    // connection after it, and nobody is told.
    auto& driver = device->getDriver();
    if (driver.getState() == Mode::audio)
        driver.releaseAudio();

    driver.sendSysExMessage (Sysex::SystemGroup, Sysex::ResetFirmware, nullptr, 0);
    driver.forgetConnection();
}

bool AlertManager::alert_pedalOptions (juce::ValueTree settingsTree, bool needsCalibration,
                                       std::function<void (int, juce::ValueTree&)> callback)
{
    if (isPedalFlashing())
        return false;

    auto closer = makeCloser();
    auto box = std::make_shared<PedalOptionsComponent> (std::move (settingsTree), needsCalibration,
                                                        [closer, callback = std::move (callback)] (int result, juce::ValueTree& tree)
    {
        if (result == PedalOptionsComponent::done)
            closer->close();
        else if (callback)
            callback (result, tree);
    });
    closer->box = box.get();

    presentTall (std::move (box));
    return true;
}

bool AlertManager::alert_setupProTools (const juce::String& portName)
{
    if (isFlashing())
        return false;

    auto closer = makeCloser();
    auto box = std::make_shared<ProToolsSetupComponent> (portName, [closer] (int result)
    {
        if (result == ProToolsSetupComponent::cancel)
            closer->close();
    });
    closer->box = box.get();

    presentTall (std::move (box));
    return true;
}
