// Limits of the stand-ins, each with its reason: every length, count or side
// that reaches them from a page, a file or the network is held to one of these.
// Each stand-in keeps its own namespace; this header is their one home.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::win {

// Positions, sizes and pointer coordinates are held to ±this, far beyond any
// screen, so that origins and rectangles made of them stay within 32 bits.
constexpr int kMaxWindowCoordinate = 1 << 24;
// The desktop the display reports; larger sides are ignored.
constexpr int kMaxDesktopSide = 65535;
// Back buffers and viewports larger than this are refused.
constexpr int kMaxFrameSide = 16384;
// Windows refuses posts beyond 10,000 waiting messages; so do we.
constexpr std::size_t kMaxPostedMessages = 10000;
// A display that floods us loses input rather than memory.
constexpr std::size_t kMaxQueuedInput = 10000;
// Longer edited labels from the display end the edit as cancelled.
constexpr std::size_t kMaxEditedLabelUnits = 32767;
// A filter list without its closing empty string stops here at the latest.
constexpr int kMaxFilterPairs = 64;

}  // namespace korvel::win

namespace korvel::engine {

// Reported coordinates are held to this, far beyond any screen, so that sums
// and differences of them (and of window positions) stay within 32 bits.
constexpr std::int32_t kMaxLayoutCoordinate = 1 << 24;
// Deepest nesting kept, counted from the window's root across frames; the
// engine walks trees recursively, and this keeps every walk's stack small.
constexpr std::size_t kMaxElementDepth = 512;
// Frames inside frames deeper than this are left empty (a page that frames
// itself would never end).
constexpr std::size_t kMaxFrameNesting = 8;
// Frames with a page in one window at once.
constexpr std::size_t kMaxFramesPerWindow = 64;

}  // namespace korvel::engine

namespace korvel::d3d9 {

// The largest texture side. Larger sides are refused as "likely malformed or
// malicious": it is the largest texture Direct3D 9 hardware accepts, and its
// RGBA level is 1 GiB.
constexpr std::uint32_t kMaxDdsSide = 16384;
// Buffers larger than this are refused as out of video memory.
constexpr unsigned int kMaxDeviceBufferBytes = 1024u * 1024u * 1024u;
// A declaration ends at D3DDECL_END; longer lists than this are refused.
constexpr std::size_t kMaxDeclarationElements = 64;
// Ancillary PNG chunks (text, profiles) are skipped, but their size is still
// bounded so that a crafted file cannot make libpng hold gigabytes.
constexpr std::size_t kMaxPngChunkBytes = 8u << 20;
// More threads than this gain nothing on memory-bound pixel work.
constexpr unsigned kMaxBandThreads = 16;

}  // namespace korvel::d3d9

namespace korvel::display {

// Every length the display server takes from the network, and every amount
// it keeps for a browser.

// Request line and each header line; longer ones are refused by the server.
constexpr std::size_t kMaxRequestLineBytes = 8192;
// Header lines of one request; each is held in memory until it is served.
constexpr std::size_t kMaxHeaderCount = 100;
// A connection must send each request's head within this time; a slower one
// is ended, so that trickling clients cannot hold every worker.
constexpr int kRequestHeadDeadlineSeconds = 10;
// The same once every worker has a connection: one that has never sent a
// whole head by then is ended, as a browser sends its request at once.
constexpr int kPressedHeadDeadlineSeconds = 1;
// Nesting of an input's JSON (the deepest real input, a layout report, has 3).
constexpr std::size_t kMaxInputDepth = 16;
// An input body from this size on hands its memory back to the system once
// applied.
constexpr std::size_t kTrimAfterInputBytes = 256 * 1024;
// Connections waiting to be accepted; the library's own few would make a
// burst of requests wait seconds for the kernel's retries.
constexpr int kListenBacklog = 1024;
// A POST body (the layout report of a large page is the longest).
constexpr std::size_t kMaxInputBodyBytes = 4 * 1024 * 1024;
// Elements in one layout report.
constexpr std::size_t kMaxReportedBoxes = 100000;
// A dialog's typed path or an edited tree label, in bytes.
constexpr std::size_t kMaxInputTextBytes = 32 * 1024;
// Digits of a numeric id in a path (/data/<id>, /device/<id>).
constexpr std::size_t kMaxIdDigits = 19;
// 3-D resources one /devices request may ask for.
constexpr std::size_t kMaxBatchedResources = 256;
// Requests one kept-alive connection serves before the server closes it.
constexpr std::size_t kMaxRequestsPerConnection = 100000;
// The dir parameter of /fs, in bytes.
constexpr std::size_t kMaxListedPathBytes = 4096;
// Entries one /fs answer lists; more are cut and the answer says so.
constexpr std::size_t kMaxListedEntries = 5000;
// Events waiting for one tab; a tab that falls this far behind is sent a
// fresh snapshot instead.
constexpr std::size_t kMaxQueuedEvents = 4096;
// Bytes of events waiting for one tab, past which it too is sent a snapshot.
constexpr std::size_t kMaxQueuedEventBytes = 64u * 1024 * 1024;
// Tabs watching at once; more are refused with 503.
constexpr std::size_t kMaxStreams = 8;
// Pictures, style sheets and pages the host delivered, kept for the tabs.
constexpr std::size_t kMaxKeptDataBytes = 512u * 1024 * 1024;
// Worker threads of the server: each watching tab holds one.
constexpr int kServerThreads = 16;
// A stream with nothing to say sends a comment this often, to notice a tab
// that went away.
constexpr int kStreamKeepAliveSeconds = 10;

}  // namespace korvel::display
