// Hands arbitrary bytes to the processor as a host state chunk and checks that
// every parameter stays within its range and the program within the list.
#include "FuzzSupport.h"
#include "PluginProcessor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();
    static auto& processor = *new VelmoraAudioProcessor();

    processor.setMemBlockStateInformation (juce::MemoryBlock (data, size));

    for (auto* parameter : processor.getValueTreeState().getParameters())
    {
        const int value = parameter->get();
        if (value < parameter->getRange().getStart() || value > parameter->getRange().getEnd())
            __builtin_trap();
    }

    const int program = processor.getCurrentProgram();
    if (program < 0 || program >= processor.getNumPrograms())
        __builtin_trap();

    return 0;
}
