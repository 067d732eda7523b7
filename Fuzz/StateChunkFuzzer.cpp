// Hands arbitrary bytes to the state chunk decoder and to the processor as a
// host state. Whatever decodes must encode and decode again to the same; after
// a restore every parameter stays within its range, the program within the
// list, and the state the processor then reports decodes.
#include "FuzzSupport.h"
#include "PluginProcessor.h"
#include "State/StateChunk.h"
#include "Utilities/Utf8Check.h"

#include <cstddef>
#include <cstdint>

namespace
{
void check (bool condition)
{
    if (! condition)
        __builtin_trap();
}

bool isStrictText (const juce::String& text)
{
    return isStrictUtf8 (reinterpret_cast<const uint8_t*> (text.toRawUTF8()), text.getNumBytesAsUTF8());
}

void checkRoundTrip (const StateChunk::Decoded& decoded)
{
    StateChunk::Contents contents;
    contents.rootTag = decoded.rootTag;
    for (const auto& key : PresetFormat::presetKeys())
        contents.parameters.emplace_back (key.toString(), decoded.presetValues.getValue (key));
    contents.parameters.emplace_back ("bypass", decoded.bypass ? 1 : 0);
    contents.program = decoded.program.value_or (StateChunk::Program {});
    contents.device = decoded.device;

    const auto block = StateChunk::encode (contents);
    const auto again = StateChunk::decode (block.getData(), block.getSize());
    check (again.has_value());
    check (again->rootTag == decoded.rootTag);
    check (again->bypass == decoded.bypass);
    check (again->program == contents.program);
    check (again->device == decoded.device);
    check (isStrictText (again->program->name));

    for (const auto& key : PresetFormat::presetKeys())
        check (again->presetValues.getValue (key) == decoded.presetValues.getValue (key));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    failOnFrameworkAssertions();

    if (const auto decoded = StateChunk::decode (data, size))
    {
        if (decoded->device)
            check (decoded->device->name.length() == 8);

        checkRoundTrip (*decoded);
    }

    initialiseFramework();
    static auto& processor = *new VelmoraAudioProcessor();
    processor.getStateArbiter().expire();

    processor.setMemBlockStateInformation (juce::MemoryBlock (data, size));

    for (auto* parameter : processor.getValueTreeState().getParameters())
    {
        const int value = parameter->get();
        check (value >= parameter->getRange().getStart() && value <= parameter->getRange().getEnd());
    }

    const int program = processor.getCurrentProgram();
    check (program >= 0 && program < processor.getNumPrograms());

    juce::MemoryBlock reported;
    processor.getStateInformation (reported);
    check (StateChunk::decode (reported.getData(), reported.getSize()).has_value());

    return 0;
}
