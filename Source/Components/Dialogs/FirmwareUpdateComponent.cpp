#include "Components/Dialogs/FirmwareUpdateComponent.h"

#include "PlatformServices/PlatformServices.h"
#include "Updates/UpdateServer.h"

FirmwareUpdateComponent::FirmwareUpdateComponent (UsbDevice::Holder* holder, const VersionQuery& query,
                                                  juce::PropertySet& settings, std::function<void (int)> callbackToUse)
    : AlertBoxComponent (FirmwareUpdateFlow::firmwareTitle, {}, nullptr),
      resultCallback (std::move (callbackToUse)),
      flow (holder, query, settings, *this)
{
}

FirmwareUpdateComponent::~FirmwareUpdateComponent()
{
    // The progress bar reads our progress: it goes first, before the flow's jobs.
    deleteAllRows();
}

//==============================================================================
void FirmwareUpdateComponent::flowStateChanged()
{
    deleteAllRows();
    deleteAllButtons();
    autoCheckToggle = nullptr;

    setTitleText (flow.getTitle());
    if (! showsFlowMessage())
        showFlowMessage();

    if (flow.offersAutoCheck())
        autoCheckToggle = addToggleButton (FirmwareUpdateFlow::autoCheckText, flow.isAutoCheckOn());

    // The bar starts from the last progress shown, then reads the flow's.
    if (flow.showsProgress())
        addRow (std::make_unique<juce::ProgressBar> (progress));
    progress = flow.getProgress();

    for (const auto& button : flow.getButtons())
        addButton (button.text, button.action);

    updateLayout();
    repaint();
}

// A state that keeps the message keeps it as it was drawn.
bool FirmwareUpdateComponent::showsFlowMessage()
{
    const auto rows = (int) getMessageLabel().getProperties().getWithDefault ("nrows", 1);
    return getMessage() == flow.getMessage() && rows == flow.getMessageRows();
}

void FirmwareUpdateComponent::showFlowMessage()
{
    if (flow.getMessageRows() == 1)
        setMessage (flow.getMessage());
    else
        setMessage (flow.getMessage(), flow.getMessageRows());
}

void FirmwareUpdateComponent::flowMessageChanged()
{
    showFlowMessage();
    updateLayout();
    repaint();
}

void FirmwareUpdateComponent::flowProgressChanged()
{
    progress = flow.getProgress();
}

void FirmwareUpdateComponent::flowOpensWebPage (const juce::String& address)
{
    // The address comes from the network: anything but a plain web address gives way to our own page.
    PlatformServices::get().openWebPage (PlatformServices::isWebAddress (address) ? address
                                                                                  : juce::String (UpdateServer::productPage));
}

void FirmwareUpdateComponent::flowEnded (int result)
{
    if (resultCallback)
        resultCallback (result);
}

//==============================================================================
void FirmwareUpdateComponent::buttonClicked (juce::Button* button)
{
    flow.press (button->getCommandID());
}

void FirmwareUpdateComponent::buttonStateChanged (juce::Button* button)
{
    if (button != nullptr && button == autoCheckToggle)
        flow.setAutoCheck (button->getToggleState());
}

void FirmwareUpdateComponent::dismiss()
{
    AlertBoxComponent::dismiss();
    flow.dismiss();
}

//==============================================================================
bool FirmwareUpdateComponent::isInterestedInFileDrag (const juce::StringArray& files)
{
    return flow.acceptsFiles (files);
}

void FirmwareUpdateComponent::fileDragEnter (const juce::StringArray&, int, int)
{
    dragOver = true;
    repaint();
}

void FirmwareUpdateComponent::fileDragExit (const juce::StringArray&)
{
    dragOver = false;
    repaint();
}

void FirmwareUpdateComponent::filesDropped (const juce::StringArray& files, int, int)
{
    flow.dropFiles (files);
    dragOver = false;
    repaint();
}

juce::Colour FirmwareUpdateComponent::getBackgroundColour() const
{
    return dragOver ? juce::Colour (0xFF808080) : AlertBoxComponent::getBackgroundColour();
}
