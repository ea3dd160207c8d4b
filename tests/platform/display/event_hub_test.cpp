// The event hub alone: every tab gets its snapshot, then the changes after
// it, in order; of a window's frames only the newest waits, after the
// changes; a tab that falls too far behind (in events or bytes) is sent a
// fresh snapshot instead; closing and stopping end the waits.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/display/event_hub.h"
#include "platform/limits.h"

namespace korvel::display {
namespace {

using std::chrono::milliseconds;

std::string take_now(EventHub& hub, const std::shared_ptr<EventHub::Stream>& stream) {
  std::string out;
  EXPECT_TRUE(hub.take(stream, out, milliseconds(0)));
  return out;
}

TEST(EventHub, EachTabHearsItsSnapshotThenTheChangesAfterIt) {
  EventHub hub([](const std::shared_ptr<EventHub::Stream>&) { FAIL() << "no tab fell behind"; });
  const auto first = hub.open("{\"snapshot\":1}");
  hub.broadcast("{\"change\":1}");
  hub.broadcast_frame(7, "{\"frame\":1}");
  const auto second = hub.open("{\"snapshot\":2}");
  hub.broadcast_frame(7, "{\"frame\":2}");
  hub.broadcast_frame(8, "{\"frame\":3}");
  hub.broadcast("{\"change\":2}");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);

  struct Case {
    std::shared_ptr<EventHub::Stream> stream;
    std::string expected;
  };
  const Case cases[] = {
      // Frames go after the changes; window 7's first frame was replaced.
      {first, sse_event("{\"snapshot\":1}") + sse_event("{\"change\":1}") +
                  sse_event("{\"change\":2}") + sse_event("{\"frame\":2}") +
                  sse_event("{\"frame\":3}")},
      {second, sse_event("{\"snapshot\":2}") + sse_event("{\"change\":2}") +
                   sse_event("{\"frame\":2}") + sse_event("{\"frame\":3}")},
  };
  for (const Case& one : cases) {
    EXPECT_EQ(take_now(hub, one.stream), one.expected);
    EXPECT_EQ(take_now(hub, one.stream), "") << "what was taken is not sent again";
  }
}

TEST(EventHub, ATabFallenBehindGetsAFreshSnapshotInsteadOfWhatItMissed) {
  struct Case {
    const char* what;
    std::size_t events;
    std::size_t event_bytes;
  };
  const Case cases[] = {
      {"too many events", kMaxQueuedEvents + 1, 16},
      {"too many bytes", kMaxQueuedEventBytes / (1024 * 1024) + 1, 1024 * 1024},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(one.what);
    EventHub* hub_seen = nullptr;
    int snapshots = 0;
    EventHub hub([&](const std::shared_ptr<EventHub::Stream>& stream) {
      ++snapshots;
      hub_seen->replace_with_snapshot(stream, "{\"fresh\":true}");
    });
    hub_seen = &hub;
    const auto behind = hub.open("{\"snapshot\":0}");
    const auto keeping_up = hub.open("{\"snapshot\":0}");
    const std::string event(one.event_bytes, 'x');
    for (std::size_t i = 0; i < one.events; ++i) {
      hub.broadcast(event);
      if (i % 16 == 0) take_now(hub, keeping_up);
    }
    hub.broadcast_frame(1, "{\"frame\":1}");  // dropped: the snapshot holds the newest
    EXPECT_EQ(take_now(hub, behind), sse_event("{\"fresh\":true}"));
    EXPECT_EQ(snapshots, 1);
    hub.broadcast("{\"after\":1}");
    EXPECT_EQ(take_now(hub, behind), sse_event("{\"after\":1}"));
  }
}

TEST(EventHub, OpeningPastTheLimitClosingAndStoppingAreAnswered) {
  EventHub hub([](const std::shared_ptr<EventHub::Stream>&) {});
  std::vector<std::shared_ptr<EventHub::Stream>> streams;
  for (std::size_t i = 0; i < kMaxStreams; ++i) streams.push_back(hub.open("{}"));
  for (const auto& stream : streams) ASSERT_NE(stream, nullptr);
  EXPECT_EQ(hub.open("{}"), nullptr) << "one tab more than the limit is refused";

  std::string out;
  hub.close(streams[0]);
  EXPECT_FALSE(hub.take(streams[0], out, milliseconds(0))) << "a closed tab's wait ends";
  EXPECT_NE(hub.open("{}"), nullptr) << "a closed tab frees its place";
  EXPECT_TRUE(hub.take(streams[1], out, milliseconds(0)));
  EXPECT_TRUE(hub.take(streams[1], out, milliseconds(1)));
  EXPECT_EQ(out, "") << "nothing to say within the timeout";
  hub.stop();
  EXPECT_FALSE(hub.take(streams[1], out, milliseconds(1000))) << "a stopped hub ends waits at once";
  EXPECT_EQ(hub.open("{}"), nullptr);
}

}  // namespace
}  // namespace korvel::display
