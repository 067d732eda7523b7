#pragma once

#include "Devices/UsbDevice.h"
#include "Emulation/CoSimulation.h"

// Attaches a client to a pedal as the processor does (the link opened when the
// pedal's audio is not in use yet, the client added, its leg set, its bridge
// prepared for the host's blocks at the pedal's rate) and runs the
// co-simulation until the pedal has answered. Null if it never answered.
UsbDeviceClient* attachSimulatedClient (UsbDevice& device, CoSimulation& sim, Mode mode, int hostBlock,
                                        double sampleRate, ChannelSetting channel, PedalModeConfig leg);
