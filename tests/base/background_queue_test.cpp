// The second thread's queue: every job runs once, in the order given, by the
// time Drain returns, whether it was small (the thread left asleep for it) or
// not; a giver that fills the queue with small jobs is never left waiting for
// a thread nobody woke. A fault here hangs the test rather than failing it.
#include "base/background_queue.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace kestrel {
namespace {

TEST(BackgroundQueueTest, EveryJobRunsInOrderByDrainSmallOrNot) {
  const struct { size_t max_queued; int every_nth_large; } cases[] = {
      {1, 0}, {2, 0}, {3, 0}, {5, 0},  // small jobs only
      {3, 4}, {5, 7},                  // now and then one large
      {3, 1},                          // large jobs only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "queue of " << c.max_queued << ", every " << c.every_nth_large
                                      << "th job large");
    std::vector<int> ran;  // touched by the jobs alone until Drain returns
    BackgroundQueue queue(c.max_queued);
    for (int i = 0; i < 40; ++i) {
      const bool small = c.every_nth_large == 0 || (i + 1) % c.every_nth_large != 0;
      queue.Submit([&ran, i] { ran.push_back(i); }, small);
      if (i == 12) {
        queue.Drain();
        EXPECT_EQ(ran.size(), 13u) << "jobs given before Drain ran by its return";
      }
    }
    queue.Drain();
    std::vector<int> all(40);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(ran, all);
  }
}

}  // namespace
}  // namespace kestrel
