// The capture token serialises two engines' captures on one vendor library.
#include "nevo_algo_wrapper/capture_token.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

int engine_a = 0, engine_b = 0;

TEST(CaptureTokenTest, SecondOwnerWaitsUntilTheFirstGivesTheTokenBack) {
  CaptureToken token;
  token.WaitForLast(&engine_a);
  EXPECT_FALSE(token.IsReady());

  std::atomic<bool> b_holds{false};
  auto b = std::async(std::launch::async, [&] {
    token.WaitForLast(&engine_b);
    b_holds = true;
  });
  // B must still be waiting while A holds the token; the margin only makes a
  // wrong early return visible, it cannot make a correct run fail.
  EXPECT_EQ(b.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  EXPECT_FALSE(b_holds);

  token.ResetToReady(&engine_b);  // not the owner: nothing changes
  EXPECT_EQ(b.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);

  token.ResetToReady(&engine_a);
  ASSERT_EQ(b.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_TRUE(b_holds);
  EXPECT_FALSE(token.IsReady()) << "B owns it now";
  token.ResetToReady(&engine_a);  // A gave it back already: B keeps it
  EXPECT_FALSE(token.IsReady());
  token.ResetToReady(&engine_b);
  EXPECT_TRUE(token.IsReady());
}

TEST(CaptureTokenTest, ManyEnginesNeverHoldItTogether) {
  CaptureToken token;
  std::atomic<int> holders{0}, overlap{0}, captures{0};
  int owners[4];
  std::vector<std::thread> engines;
  for (int e = 0; e < 4; ++e) {
    engines.emplace_back([&, e] {
      for (int i = 0; i < 50; ++i) {
        token.WaitForLast(&owners[e]);
        if (holders.fetch_add(1) != 0) overlap.fetch_add(1);
        std::this_thread::yield();
        holders.fetch_sub(1);
        captures.fetch_add(1);
        token.ResetToReady(&owners[e]);
      }
    });
  }
  for (std::thread& t : engines) t.join();
  EXPECT_EQ(overlap.load(), 0);
  EXPECT_EQ(captures.load(), 200);
  EXPECT_TRUE(token.IsReady());
}

}  // namespace
