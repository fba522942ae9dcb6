#pragma once

#include "sondeo/LtcFrame.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The text Sondeo prints: the line protocol read by the LTC input plug-in
// (device listing lines, frame lines) and the help texts.
namespace sondeo {

inline constexpr const char *kVersion = "2.1.4";
inline constexpr std::size_t kFrameLineLength = 37;

std::string versionLine();
std::string usageText();
// ">device NAME\tDEVICE\tCHANNEL\n". A name that is missing or empty gets a
// made-up one; tabs and line ends in a name become spaces, since they would
// split or end the line for the reader.
std::string deviceLine(const std::string *name, int32_t device, int32_t channel);
std::string failureLine(int32_t device, int32_t channel);

// "HH:MM:SS.FFdcUU UU UU UU UU UU UU UU\n" with the user-bit groups 8 down to 1.
// Returns the length written into out (always kFrameLineLength).
std::size_t formatFrameLine(const LtcFrame &frame, char (&out)[64]);

// Writes the text with a single write(2) (continuing only after a partial
// write); false when the descriptor refuses it.
bool writeDirect(int fd, const char *text, std::size_t length);
inline bool writeDirect(int fd, const std::string &text) { return writeDirect(fd, text.data(), text.size()); }

// One write of the whole frame line to standard output, then a flush of
// buffered standard output, so diagnostics printed through stdio follow the
// first frame line. False when standard output refused the line.
bool writeFrameLine(const LtcFrame &frame);

} // namespace sondeo
