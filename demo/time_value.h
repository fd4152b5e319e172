// Times on the show's timeline written as text: the desktop's --start, the capture tool's --from,
// --to and --still, and the page's ?start= and ?still=. Every program reads them here, so what one
// refuses no other accepts, and each refusal is the same one line naming the option.
#pragma once

#include <cstddef>

namespace tc {

// Long enough for every message below with the longest value they quote.
constexpr size_t kTimeErrorSize = 256;

// Reads `text` as one finite decimal number, signed or not, with nothing around it: no hex, no
// infinity or NaN, no white space, nothing beyond a double's range.
bool ReadDecimal(const char* text, double& value);

// Reads `text` as seconds: a plain decimal number, 0 or more, with nothing around it ("-0" is 0).
// Hex, infinities, NaN, white space, an empty text and a value beyond a double's range are not
// times. False with "option OPTION: 'TEXT' is not a time in seconds (0 or more)" in `error`.
bool ParseTimeSeconds(const char* option, const char* text, double& seconds, char* error,
                      size_t errorSize);

// A run that starts at `seconds`: false, with the one line, when the beat at that time has ended
// the show, so the run would draw nothing of it.
bool StartInsideTimeline(const char* option, double seconds, char* error, size_t errorSize);

// The frame of a fixed-rate run at or after `seconds`: false, with the one line, when it comes
// after the frame that ends the timeline (that one is drawn). Decided on the double, before any
// frame index is made of it.
bool FrameInsideTimeline(const char* option, double seconds, int framesPerSecond, char* error,
                         size_t errorSize);

}  // namespace tc
