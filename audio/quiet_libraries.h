// The sound libraries the audio library loads on the way to a device speak on standard error
// when a backend is missing: on a machine without sound, ALSA names each card it cannot find and
// JACK each server it cannot reach, before the silent Null device opens. Their messages go
// nowhere unless TUMBLECRATE_AUDIO_DEBUG is set; the program says in one line of its own what
// came of it.
#pragma once

namespace tc {

// Before the first device is opened.
void QuietSoundLibraries();

}  // namespace tc
