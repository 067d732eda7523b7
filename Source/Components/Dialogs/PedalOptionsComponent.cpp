#include "Components/Dialogs/PedalOptionsComponent.h"

#include <utility>

namespace
{
template <typename Table>
int positionOf (int value)
{
    return juce::jmax (0, Table::allowedValues().indexOf (value));
}
} // namespace

PedalOptionsComponent::PedalOptionsComponent (juce::ValueTree settingsTree, bool shouldCalibrate, Callback callbackToUse)
    : AlertBoxComponent ("Device Options", {}, nullptr),
      tree (std::move (settingsTree)),
      deviceSettings (tree),
      optionsCallback (std::move (callbackToUse)),
      needsCalibration (shouldCalibrate)
{
    setMessage (askingText, 2);

    const auto bufferSizes = AllowedValueConstrainer<BufferSizeConstrainer>::options();

    addLabel ("Block Size", 0.35f);
    addComboBox ("blockSize", AllowedValueConstrainer<BlockSizeConstrainer>::options(),
                 positionOf<BlockSizeConstrainer> (deviceSettings.blockSize));
    addLabel ("Output Buffer Size", 0.5f);
    addComboBox ("outAdjust", bufferSizes, positionOf<BufferSizeConstrainer> (deviceSettings.outAdjust));
    addLabel ("Input Buffer Size", 0.5f);
    addComboBox ("inAdjust", bufferSizes, positionOf<BufferSizeConstrainer> (deviceSettings.inAdjust));

    addLabel ("Extra System Latency", 0.6f);
    auto editor = std::make_unique<juce::TextEditor>();
    editor->setColour (juce::TextEditor::outlineColourId, findColour (juce::ComboBox::outlineColourId));
    editor->setFont (getLookAndFeel().getAlertWindowFont());
    editor->setInputRestrictions (4, "0123456789");
    editor->setSelectAllWhenFocused (true);
    editor->setEscapeAndReturnKeysConsumed (true);
    editor->setText (juce::String (deviceSettings.extraLatency.get()), false);
    editor->setCaretPosition (0);
    latencyEditor = static_cast<juce::TextEditor*> (addRow (std::move (editor)));
    if (isVisible())
        latencyEditor->grabKeyboardFocus();
    latencyEditor->addListener (this);

    auto warning = std::make_unique<AttributedLabel>();
    juce::AttributedString text;
    text.setJustification (juce::Justification::centred);
    text.setWordWrap (juce::AttributedString::byWord);
    text.append ("Warning: modifying latency without calibration may result in out-of-sync audio from the plugin",
                 getLookAndFeel().getAlertWindowFont(), findColour (juce::AlertWindow::textColourId));
    warning->setAttributedString (text);
    warning->getProperties().set ("width", 1.0);
    warning->getProperties().set ("nrows", 2);
    addRow (std::move (warning));

    addLabel ("Host Block Size", 0.6f);
    hostBlockSizeLabel = addLabel ("-", 0.0f);
    addLabel ("Total Latency", 0.6f);
    totalLatencyLabel = addLabel ("-", 0.0f);

    addButton ("Calibrate", calibrate);
    doneButton = addButton ("Done", done);
    doneButton->setEnabled (! needsCalibration);

    deviceSettings.addListener (this);
    updateUI();
    startTimer (refreshTimerId, refreshIntervalMs);
}

PedalOptionsComponent::~PedalOptionsComponent()
{
    stopTimer (refreshTimerId);
    deviceSettings.removeListener (this);
}

void PedalOptionsComponent::dismiss()
{
    AlertBoxComponent::dismiss();
    stopTimer (refreshTimerId);
}

juce::ComboBox* PedalOptionsComponent::findComboBox (const juce::String& name) const
{
    for (int i = 0; i < getNumRows(); ++i)
        if (auto* combo = dynamic_cast<juce::ComboBox*> (getRow (i)); combo != nullptr && combo->getName() == name)
            return combo;

    return nullptr;
}

//==============================================================================
void PedalOptionsComponent::updateUI()
{
    juce::ValueTree answers ("PedalOptions");
    if (! optionsCallback)
        return;

    optionsCallback (refresh, answers);
    hostBlockSizeLabel->setText (juce::String ((int) answers["hostBlockSize"]), juce::dontSendNotification);
    totalLatencyLabel->setText (juce::String ((int) answers["totalLatency"]), juce::dontSendNotification);
    doneButton->setEnabled (! needsCalibration);

    // A calibration that heard nothing stored nothing: the message says so until the next one.
    const juce::String message (answers["calibrationFailed"] ? calibrationFailedText : askingText);
    if (message != getMessage())
    {
        setMessage (message, 2);
        updateLayout();
        repaint();
    }
}

void PedalOptionsComponent::timerCallback (int timerId)
{
    if (timerId == refreshTimerId)
        updateUI();
    else
        AlertBoxComponent::timerCallback (timerId);
}

void PedalOptionsComponent::comboBoxChanged (juce::ComboBox* comboBox)
{
    commitLatency();
    const auto name = comboBox->getName();
    juce::ValueTree none;

    if (name == "blockSize")
    {
        // "Same As Host" reads as 0.
        deviceSettings.blockSize.setValue (comboBox->getText().getIntValue(), deviceSettings.blockSize.getUndoManager());
        if (optionsCallback)
            optionsCallback (calibrate, none);
        needsCalibration = false;
    }
    else if (name == "outAdjust")
    {
        deviceSettings.outAdjust.setValue (comboBox->getSelectedItemIndex(), deviceSettings.outAdjust.getUndoManager());
    }
    else if (name == "inAdjust")
    {
        deviceSettings.inAdjust.setValue (comboBox->getSelectedItemIndex(), deviceSettings.inAdjust.getUndoManager());
    }
    else
    {
        jassertfalse;
    }
}

void PedalOptionsComponent::buttonClicked (juce::Button* button)
{
    if (isDismissed())
        return;

    commitLatency();
    const auto code = button->getCommandID();
    if (code == calibrate)
        needsCalibration = false;

    // "Done" may close, and so delete, this dialog: nothing is touched after it.
    juce::ValueTree none;
    if (optionsCallback)
        optionsCallback (code, none);
}

void PedalOptionsComponent::textEditorTextChanged (juce::TextEditor& editor)
{
    typingLatency = true;
    deviceSettings.extraLatency.setValue (editor.getText().getIntValue(), deviceSettings.extraLatency.getUndoManager());
    needsCalibration = false;
}

void PedalOptionsComponent::textEditorReturnKeyPressed (juce::TextEditor&) { commitLatency(); }
void PedalOptionsComponent::textEditorEscapeKeyPressed (juce::TextEditor&) { commitLatency(); }
void PedalOptionsComponent::textEditorFocusLost (juce::TextEditor&) { commitLatency(); }

// Each number typed is stored at once; committing shows what is stored now.
void PedalOptionsComponent::commitLatency()
{
    if (std::exchange (typingLatency, false))
        showSettings();
}

void PedalOptionsComponent::settingsChanged()
{
    showSettings();
}

// Every control shows the pedal's setting, changed here or elsewhere, without a
// change message of its own.
void PedalOptionsComponent::showSettings()
{
    findComboBox ("blockSize")->setSelectedItemIndex (positionOf<BlockSizeConstrainer> (deviceSettings.blockSize),
                                                      juce::dontSendNotification);
    findComboBox ("outAdjust")->setSelectedItemIndex (positionOf<BufferSizeConstrainer> (deviceSettings.outAdjust),
                                                      juce::dontSendNotification);
    findComboBox ("inAdjust")->setSelectedItemIndex (positionOf<BufferSizeConstrainer> (deviceSettings.inAdjust),
                                                     juce::dontSendNotification);

    if (! typingLatency)
        latencyEditor->setText (juce::String (deviceSettings.extraLatency.get()), false);
}
