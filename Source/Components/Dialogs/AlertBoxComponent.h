#pragma once

#include "Components/Dialogs/AttributedLabel.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <memory>

// The editor's dialog panel: a framed box with a centred title, a centred
// message, rows of controls and a row of push buttons. Each push button carries
// a result code that a click hands to the callback; the box never closes
// itself. It lays its children out by row units:
// - the message counts its "nrows" property (default 1),
// - each row counts its "nrows" (default 1; 0 counts 1), and a row whose
//   "vsplit" is not 0 shares its row with the next control, taking that
//   fraction of the width,
// - a row's controls take its "width" (default 0.75) of the inner width.
class AlertBoxComponent : public juce::Component,
                          public juce::Button::Listener,
                          public juce::ComboBox::Listener,
                          public juce::TextEditor::Listener,
                          public juce::ValueTree::Listener,
                          public juce::MultiTimer
{
public:
    using Callback = std::function<void (int)>;

    // Reserved: when it fires, the callback gets the pending result.
    static constexpr int deferredResultTimerId = 0x1000000;
    // Toggle buttons carry this code and never produce a result.
    static constexpr int toggleCommandId = -100000;

    AlertBoxComponent (const juce::String& title, const juce::String& message, Callback callback);
    ~AlertBoxComponent() override;

    // A push button at the right of the others; its click hands resultCode to the callback.
    juce::TextButton* addButton (const juce::String& text, int resultCode);
    void deleteAllButtons();

    // Rows, each below the last. An index out of range selects nothing.
    void addComboBox (const juce::String& name, const juce::StringArray& items, int selectedIndex);
    juce::Label* addLabel (const juce::String& text, float splitFraction);
    juce::ToggleButton* addToggleButton (const juce::String& text, bool initialState);
    // Any other control as a row; the box owns it.
    juce::Component* addRow (std::unique_ptr<juce::Component> control);
    void deleteAllRows();

    // The message counting rowCount units (1 or more); the caller lays out again.
    void setMessage (const juce::String& text, int rowCount);
    // The message counting one unit.
    void setMessage (const juce::String& text);
    void setTitleText (const juce::String& text);

    void updateLayout();

    virtual juce::Colour getBackgroundColour() const;

    // The box has left the screen for good and is about to be deleted: from now
    // on it starts nothing and reports nothing. It may be inside its own
    // callback when this is called. Overrides call the base.
    virtual void dismiss();
    bool isDismissed() const noexcept { return dismissed; }

    juce::Label& getTitleLabel() noexcept { return titleLabel; }
    AttributedLabel& getMessageLabel() noexcept { return messageLabel; }
    juce::String getMessage() const { return messageLabel.getText(); }
    int getNumButtons() const noexcept { return buttons.size(); }
    juce::TextButton* getButton (int index) const noexcept { return buttons[index]; }
    int getNumRows() const noexcept { return rows.size(); }
    juce::Component* getRow (int index) const noexcept { return rows[index]; }

    void visibilityChanged() override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback (int timerId) override;
    void comboBoxChanged (juce::ComboBox*) override {}
    void buttonClicked (juce::Button* button) override;
    void buttonStateChanged (juce::Button*) override {}

protected:
    Callback callback;
    int pendingResult = 0;

private:
    bool dismissed = false;
    juce::Label titleLabel;
    AttributedLabel messageLabel;
    juce::OwnedArray<juce::TextButton> buttons;
    juce::OwnedArray<juce::Component> rows;

    JUCE_DECLARE_NON_COPYABLE (AlertBoxComponent)
};
