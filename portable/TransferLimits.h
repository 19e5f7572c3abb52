#pragma once
// What one reply of the content server may take. Replies come from the server or anyone on its
// path, so each is bounded where it is read; a real content server stays far below every limit.
// A reply beyond one fails as a transfer fails (UrlErrorCode::dataLengthExceedsMaximum,
// UrlErrorCode::timedOut).

#include <chrono>
#include <cstdint>

namespace platform::limits {

inline constexpr std::int64_t MiB = 1024 * 1024;

// An update reply: a few hundred bytes of XML.
inline constexpr std::int64_t updateReplyBytes = 1 * MiB;
// The whole update check, from sending to the reply's last byte. Silence ends it after 10 s
// anyway; this ends a reply that trickles in.
inline constexpr std::chrono::seconds updateCheckDeadline{30};
// A server call's reply that is read as text: JSON for the page, an XML update reply, a script.
inline constexpr std::int64_t serverCallReplyBytes = 8 * MiB;
// A server call's reply that is a file (it names itself with Content-Disposition, or it answers
// a request for a file): an image to show, a ZIP unpacked into the web root. Held in memory
// until it is written, so bounded too; larger files come as downloads, streamed to disk.
inline constexpr std::int64_t serverCallFileBytes = 64 * MiB;

} // namespace platform::limits
