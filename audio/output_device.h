// The playback device the song's engine mixes into, opened by the program rather than by the
// engine so its audio thread can be raised above the renderer's threads and its period chosen for
// the song clock. Where the listener is in its output: audio/output_position.h.
#pragma once

#include "base/status.h"

#include "miniaudio.h"

namespace tc {

// miniaudio's audio thread keeps a pointer to the device: the record stays at one address from
// OpenOutputDevice to CloseOutputDevice.
struct OutputDevice {
  ma_device device;
  bool deviceReady = false;
  bool realtimeThread = false;  // false: the thread runs at the highest ordinary priority
};

// Opens (does not start) the system's default playback device in 32-bit float, its native rate
// and channel count. `callback` runs on the audio thread with `userData` as the device's user data
// and must not block.
StartupStatus OpenOutputDevice(OutputDevice& output, ma_device_data_proc callback, void* userData);

// Stops the device if it runs and uninitialises what OpenOutputDevice initialised.
void CloseOutputDevice(OutputDevice& output);

}  // namespace tc
