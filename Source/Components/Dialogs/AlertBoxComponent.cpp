#include "Components/Dialogs/AlertBoxComponent.h"

namespace
{
const juce::Identifier nrows ("nrows");
const juce::Identifier vsplit ("vsplit");
const juce::Identifier width ("width");

int rowCount (juce::Component& c)
{
    return (int) c.getProperties().getWithDefault (nrows, 1);
}

double splitOf (juce::Component& c)
{
    return (double) c.getProperties().getWithDefault (vsplit, 0.0);
}
} // namespace

AlertBoxComponent::AlertBoxComponent (const juce::String& title, const juce::String& message, Callback cb)
    : callback (std::move (cb))
{
    titleLabel.setText (title, juce::dontSendNotification);
    titleLabel.setJustificationType (juce::Justification::centred);
    titleLabel.setFont (getLookAndFeel().getAlertWindowTitleFont());
    setMessage (message);

    addAndMakeVisible (titleLabel);
    addAndMakeVisible (messageLabel);
    titleLabel.setVisible (title.isNotEmpty());
}

AlertBoxComponent::~AlertBoxComponent()
{
    stopTimer (deferredResultTimerId);
}

//==============================================================================
juce::TextButton* AlertBoxComponent::addButton (const juce::String& text, int resultCode)
{
    auto* button = buttons.add (std::make_unique<juce::TextButton> (text, juce::String()));
    button->setButtonText (text);
    button->setWantsKeyboardFocus (false);
    button->setMouseClickGrabsKeyboardFocus (false);
    button->setCommandToTrigger (nullptr, resultCode, false);
    // Drawn in the style's on-state colours.
    button->setToggleState (true, juce::dontSendNotification);
    button->addListener (this);
    addAndMakeVisible (button);
    updateLayout();
    repaint();
    return button;
}

void AlertBoxComponent::deleteAllButtons()
{
    buttons.clear();
    updateLayout();
    repaint();
}

void AlertBoxComponent::addComboBox (const juce::String& name, const juce::StringArray& items, int selectedIndex)
{
    auto combo = std::make_unique<juce::ComboBox> (name);
    combo->addItemList (items, 1);
    auto* added = static_cast<juce::ComboBox*> (rows.add (std::move (combo)));
    addAndMakeVisible (added);
    added->setSelectedItemIndex (selectedIndex, juce::dontSendNotification);
    added->addListener (this);
    updateLayout();
    repaint();
}

juce::Label* AlertBoxComponent::addLabel (const juce::String& text, float splitFraction)
{
    auto label = std::make_unique<juce::Label> (juce::String(), text);
    label->setFont (getLookAndFeel().getAlertWindowFont());
    auto* added = static_cast<juce::Label*> (rows.add (std::move (label)));
    addAndMakeVisible (added);

    if (splitFraction != 0.0f)
        added->getProperties().set (vsplit, splitFraction);

    updateLayout();
    return added;
}

juce::ToggleButton* AlertBoxComponent::addToggleButton (const juce::String& text, bool initialState)
{
    auto toggle = std::make_unique<juce::ToggleButton> (text);
    toggle->setCommandToTrigger (nullptr, toggleCommandId, false);
    toggle->setToggleState (initialState, juce::dontSendNotification);
    auto* added = static_cast<juce::ToggleButton*> (rows.add (std::move (toggle)));
    addAndMakeVisible (added);
    added->addListener (this);
    updateLayout();
    return added;
}

juce::Component* AlertBoxComponent::addRow (std::unique_ptr<juce::Component> control)
{
    auto* added = rows.add (std::move (control));
    addAndMakeVisible (added);
    updateLayout();
    return added;
}

void AlertBoxComponent::deleteAllRows()
{
    rows.clear();
    updateLayout();
    repaint();
}

void AlertBoxComponent::setMessage (const juce::String& text, int count)
{
    messageLabel.setText (text);
    messageLabel.getProperties().set (nrows, count);
}

void AlertBoxComponent::setMessage (const juce::String& text)
{
    messageLabel.setText (text);
    messageLabel.getProperties().remove (nrows);
}

void AlertBoxComponent::setTitleText (const juce::String& text)
{
    titleLabel.setText (text, juce::dontSendNotification);
}

//==============================================================================
void AlertBoxComponent::updateLayout()
{
    const auto w = getWidth();
    const auto h = getHeight();
    const auto buttonHeight = getLookAndFeel().getAlertWindowButtonHeight();
    const bool hasTitle = titleLabel.isVisible();

    // The bottom margin is twice the top one.
    const auto m = juce::jmin (h / 10, hasTitle ? 25 : 10);
    const auto hx = w / 10;
    const auto iw = juce::jmax (w - 2 * hx, 0);
    auto ih = juce::jmax (h - 2 * m, 0);
    ih = ih >= m ? ih - m : 0;

    if (const auto n = buttons.size(); n > 0)
    {
        const auto bi = iw / (5 * n);
        const auto bh = juce::jmin (ih, buttonHeight);
        const auto rw = juce::jmax (iw - 2 * bi, 0);
        const auto share = rw / n;
        const auto y = m + ih - bh;
        auto x = hx + bi;
        auto remainder = rw;

        for (auto* button : buttons)
        {
            const auto c = juce::jmin (share, remainder);
            remainder -= c;
            button->setBounds (x + 5, y, juce::jmax (c, 10) - 10, bh);
            x += c;
        }

        const auto gap = buttonHeight / 4;
        ih -= bh;
        ih = ih >= gap ? ih - gap : 0;
    }

    auto units = rowCount (messageLabel);
    for (int i = 0; i < rows.size(); ++i)
    {
        units += juce::jmax (rowCount (*rows[i]), 1);
        if (splitOf (*rows[i]) != 0.0)
            ++i;
    }
    units = juce::jmax (units, 1);

    auto y = m;
    if (hasTitle)
    {
        const auto th = juce::jmin (ih / 4, 40);
        titleLabel.setBounds (hx, m, iw, th);
        y = m + th;
        ih -= th;
    }

    const auto unitHeight = ih / units;
    const auto mh = juce::jmin (rowCount (messageLabel) * unitHeight, ih);
    messageLabel.setBounds (hx, y, iw, mh);
    y += mh;
    auto remaining = ih - mh;

    for (int i = 0; i < rows.size(); ++i)
    {
        auto& row = *rows[i];
        const auto count = rowCount (row);
        const auto split = splitOf (row);
        const auto fraction = (float) (double) row.getProperties().getWithDefault (width, 0.75);

        const auto band = count * unitHeight;
        const auto rh = juce::jmin (band, remaining);
        remaining -= rh;

        const auto cw = (int) (fraction * (float) iw);
        const auto ch = count > 1 ? band : juce::jmin (band, 30);
        const auto x = hx + (iw - cw) / 2;
        const auto yc = y + (rh - ch) / 2;

        if (split == 0.0)
        {
            row.setBounds (x, yc, cw, ch);
        }
        else
        {
            const auto w1 = juce::jmin (cw, (int) (split * cw));
            row.setBounds (x, yc, w1, ch);

            if (++i < rows.size())
                rows[i]->setBounds (x + w1, yc, cw - w1, ch);
        }

        y += rh;
    }
}

void AlertBoxComponent::resized()
{
    updateLayout();
}

juce::Colour AlertBoxComponent::getBackgroundColour() const
{
    return findColour (juce::AlertWindow::backgroundColourId);
}

void AlertBoxComponent::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto background = getBackgroundColour();

    g.setColour (background);
    g.fillRect (0.0f, 0.0f, w, h);

    g.setColour (background.brighter (0.3f));
    g.drawRect (0.0f, 0.0f, w, h, 1.0f);
    g.drawRoundedRectangle (1.0f, 1.0f, juce::jmax (w - 2.0f, 0.0f), juce::jmax (h - 2.0f, 0.0f), 2.0f, 1.0f);

    g.setColour (findColour (juce::AlertWindow::outlineColourId));
    g.drawRoundedRectangle (6.3f, 6.3f, juce::jmax (w - 10.6f, 0.0f), juce::jmax (h - 10.6f, 0.0f), 4.0f, 2.0f);
}

//==============================================================================
void AlertBoxComponent::dismiss()
{
    dismissed = true;
    stopTimer (deferredResultTimerId);
}

void AlertBoxComponent::visibilityChanged()
{
    if (! isVisible())
        stopTimer (deferredResultTimerId);
}

void AlertBoxComponent::timerCallback (int timerId)
{
    if (timerId != deferredResultTimerId)
        return;

    stopTimer (timerId);
    if (callback)
        callback (pendingResult);
}

void AlertBoxComponent::buttonClicked (juce::Button* button)
{
    if (dismissed || dynamic_cast<juce::ToggleButton*> (button) != nullptr)
        return;

    if (callback)
        callback (button->getCommandID());
}
