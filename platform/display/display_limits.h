// Every length the display server takes from the network, and every amount
// it keeps for a browser, held to a named limit.
#pragma once

#include <cstddef>

namespace korvel::display {

// Request line and each header line; longer ones are refused by the server.
constexpr std::size_t kMaxRequestLineBytes = 8192;
// Header lines of one request; each is held in memory until it is served.
constexpr std::size_t kMaxHeaderCount = 100;
// A connection must send each request's head within this time; a slower one
// is ended, so that trickling clients cannot hold every worker.
constexpr int kRequestHeadDeadlineSeconds = 10;
// Nesting of an input's JSON (the deepest real input, a layout report, has 3).
constexpr std::size_t kMaxInputDepth = 16;
// A POST body (the layout report of a large page is the longest).
constexpr std::size_t kMaxInputBodyBytes = 4 * 1024 * 1024;
// An input body from this size on hands its memory back to the system once
// applied.
constexpr std::size_t kTrimAfterInputBytes = 256 * 1024;
// Elements in one layout report.
constexpr std::size_t kMaxReportedBoxes = 100000;
// A dialog's typed path or an edited tree label, in bytes.
constexpr std::size_t kMaxInputTextBytes = 32 * 1024;
// Digits of a numeric id in a path (/data/<id>, /device/<id>).
constexpr std::size_t kMaxIdDigits = 19;
// The dir parameter of /fs, in bytes.
constexpr std::size_t kMaxListedPathBytes = 4096;
// Entries one /fs answer lists; more are cut and the answer says so.
constexpr std::size_t kMaxListedEntries = 5000;
// Events waiting for one tab; a tab that falls this far behind is sent a
// fresh snapshot instead.
constexpr std::size_t kMaxQueuedEvents = 4096;
// Tabs watching at once; more are refused with 503.
constexpr std::size_t kMaxStreams = 8;
// Pictures, style sheets and pages the host delivered, kept for the tabs.
constexpr std::size_t kMaxKeptDataBytes = 512u * 1024 * 1024;
// Connections waiting to be accepted; the library's own few would make a
// burst of requests wait seconds for the kernel's retries.
constexpr int kListenBacklog = 1024;
// Worker threads of the server: each watching tab holds one.
constexpr int kServerThreads = 16;
// A stream with nothing to say sends a comment this often, to notice a tab
// that went away.
constexpr int kStreamKeepAliveSeconds = 10;

}  // namespace korvel::display
