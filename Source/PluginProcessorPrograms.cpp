// Programs: "Default", then the user presets; switching, naming and the
// stored values behind program 0.
#include "PluginProcessor.h"

#include "Presets/PresetRecord.h"
#include "Settings/PluginFolders.h"
#include "Utilities/AdvisorySection.h"

void VelmoraAudioProcessor::loadUserPresets()
{
    const auto folder = getUserPresetPath();
    createDirectory (folder, "User preset directory");
    PresetFormat::loadUserPresets (folder.isEmpty() ? juce::File() : juce::File (folder), userPresets);
}

int VelmoraAudioProcessor::getNumPrograms()
{
    return numPrograms.load();
}

int VelmoraAudioProcessor::getCurrentProgram()
{
    return requestedProgram.load();
}

void VelmoraAudioProcessor::setCurrentProgram (int index)
{
    // A host may ask for anything: only programs that exist are taken.
    if (index < 0 || index >= numPrograms.load())
        return;

    if (isMessageThread())
        setProgram (index);
    else
        requestedProgram.store (index);
}

const juce::String VelmoraAudioProcessor::getProgramName (int index)
{
    if (index < 1)
        return "Default";

    if (auto* preset = findPreset (index))
        return preset->getName();

    return {};
}

void VelmoraAudioProcessor::changeProgramName (int, const juce::String&)
{
}

const PresetFormat* VelmoraAudioProcessor::findPreset (int index) const
{
    if (index >= 1 && index <= firstPresets.size())
        return firstPresets[index - 1];

    const int userIndex = index - firstPresets.size() - 1;
    if (index >= 1 && userIndex >= 0 && userIndex < userPresets.size())
        return userPresets[userIndex];

    return nullptr;
}

juce::var VelmoraAudioProcessor::getParameters (const juce::String& name)
{
    auto* object = new juce::DynamicObject();
    juce::var result (object);

    if (name.isNotEmpty())
        object->setProperty ("name", name);

    for (auto* parameter : valueTreeState.getParameters())
        if (parameter->modifiesPreset())
            object->setProperty (parameter->getParameterID(), parameter->get());

    return result;
}

void VelmoraAudioProcessor::setProgram (int index)
{
    jassert (isMessageThread());

    if (index < 0 || index >= numPrograms.load())
    {
        requestedProgram.store (currentProgram);
        return;
    }

    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);

    if (currentProgram == 0)
        defaultPreset.setProperties (getParameters ("Default"));

    if (index == 0)
    {
        setProgram (&defaultPreset, 0, defaultPreset.getName(), false, -1);
    }
    else
    {
        auto* preset = findPreset (index);
        if (preset == nullptr)
            return;

        setProgram (preset, index, preset->getName(), false, -1);
    }

    if (! valueTreeState.isApplyingPedalMessage())
        sendStateToDevice();
}

void VelmoraAudioProcessor::setProgram (const PresetFormat* preset, int program, const juce::String& name,
                                        bool modified, int bypass)
{
    presetParameter->set (program != 0 ? 1 : 0, GestureTracker::internalSource);

    if (bypass >= 0)
        bypassParameter->set (bypass != 0 ? 1 : 0, GestureTracker::internalSource);

    if (preset != nullptr)
    {
        // Mirroring would let one side of a linked pair overwrite the other's stored value.
        const AudioValueTreeState::PresetSection wholePreset (valueTreeState);
        const auto& values = preset->getProperties();
        for (auto* parameter : valueTreeState.getParameters())
        {
            const juce::Identifier id (parameter->getParameterID());
            if (values.hasProperty (id))
                parameter->set (preset->getValue (id), GestureTracker::internalSource);
        }
    }

    programName = name;
    currentProgram = program;
    requestedProgram.store (program);
    presetModified = modified;
    publishState();
    sendChangeMessage();
}

// What the pedal sent: its current preset becomes program 0, modified and
// bypassed as its flags say.
void VelmoraAudioProcessor::pedalPresetArrived (const PRESET& record)
{
    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);
    const PresetFormat preset (record, juce::String());
    const auto flags = record.bytes[PRESET::flagsOffset];
    setProgram (&preset, 0, getProgramName (0), (flags & 1) != 0, (flags >> 1) & 1);
}

void VelmoraAudioProcessor::pedalDefaultsArrived (const PRESET& record)
{
    const PresetFormat preset (record, defaultPreset.getName());
    defaultPreset.setProperties (preset.getProperties());
}

void VelmoraAudioProcessor::pedalChoseProgram (int program)
{
    setCurrentProgram (program);
}

bool VelmoraAudioProcessor::updateExtraParameters()
{
    const int requested = requestedProgram.load();

    if (requested == currentProgram)
        return false;

    setProgram (requested);
    return true;
}
