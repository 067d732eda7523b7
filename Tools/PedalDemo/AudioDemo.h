#pragma once

#include "Emulation/CoSimulation.h"
#include "Emulation/EmulatedPedal.h"
#include "PluginProcessor.h"

// The track's audio through the pedal, in co-simulation: the calibration at
// connection, then an impulse and a tone rendered through the processor,
// printing the latency reported to the host, the one measured at its output,
// and the levels.
void showAudioThroughThePedal (VelmoraAudioProcessor& processor, EmulatedPedal& pedal, VirtualMidiPorts& ports,
                               CoSimulation& sim);
