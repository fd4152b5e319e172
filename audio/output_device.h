// The playback device the song's engine mixes into, opened by the program rather than by the
// engine so its audio thread can be raised above the renderer's threads, its period chosen for
// the song clock, and the device closed and opened again when the output is lost
// (audio/output_watch.h). Where the listener is in its output: audio/output_position.h.
#pragma once

#include "base/status.h"

#include "miniaudio.h"

namespace tc {

// miniaudio's audio thread keeps a pointer to the device: the record stays at one address from
// OpenOutputDevice to CloseOutputDevice.
struct OutputDevice {
  ma_device device;
  bool deviceReady = false;
  bool realtimeThread = false;           // false: the thread runs at the highest ordinary priority
  ma_backend backend = ma_backend_null;  // the backend that opened it
  bool backendForced = false;  // chosen by TUMBLECRATE_AUDIO_BACKEND rather than the library
};

// What the device runs and hands its audio to. `channels` and `sampleRate` 0 take the device's
// native format; a reopened device keeps the format the engine mixes in and converts itself.
struct OutputRequest {
  ma_device_data_proc callback = nullptr;  // on the audio thread; must not block
  ma_device_notification_proc notify = nullptr;
  void* userData = nullptr;
  ma_uint32 channels = 0;
  ma_uint32 sampleRate = 0;
};

// Opens (does not start) a playback device in 32-bit float: the system's default device on the
// first backend, in the library's order, that has one (on a machine without sound, the silent Null
// device); TUMBLECRATE_AUDIO_BACKEND (a backend's name: pulseaudio, alsa, jack, null, ...) tries
// that one alone.
StartupStatus OpenOutputDevice(OutputDevice& output, const OutputRequest& request);

// Opens the default device again on the backend that opened it first, with a fresh context, so
// that a sound server that has restarted is found on its new connection.
StartupStatus ReopenOutputDevice(OutputDevice& output, const OutputRequest& request);

// Stops the device if it runs and uninitialises what the open initialised.
void CloseOutputDevice(OutputDevice& output);

// The backend's name and the device's, for a viewer: "PulseAudio, Null Output".
void DescribeOutputDevice(const OutputDevice& output, char* text, unsigned size);

}  // namespace tc
