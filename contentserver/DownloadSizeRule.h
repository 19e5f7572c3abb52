#pragma once
// Whether the user is asked before an update package is fetched. Safe from any thread.

#include <optional>
#include <string_view>

// True when a connection exists and the threshold of its kind ("askumts" on a cellular
// connection, "askwifi" on any other) is greater than 0 and smaller than `size` (both strict:
// a package exactly as large as the threshold is fetched without asking). The threshold is
// text holding a decimal number: an optional sign, digits with an optional fraction, an
// optional exponent, nothing around them ("+50" and "5e1" are 50; " 50", "50MB", "0x32" and
// "inf" are no numbers). A missing, non-text or unreadable threshold never asks. `size` is in
// the unit of the update reply's "size", which the thresholds share.
bool shouldAskBeforeDownload(double size);

// The threshold text as a number, by the rule above; nothing when it is no number or out of
// the range of a double.
std::optional<double> parseThreshold(std::string_view text);
