#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/Thread.h"
#include "platform/Time.h"
#include "platform/Window.h"

namespace {

using namespace platform;

struct Producer {
  WindowHandle window = nullptr;
  std::intptr_t id = 0;
  int count = 0;
  std::atomic<int> failedPosts{0};
};

unsigned postNumbered(void* argument) {
  auto& producer = *static_cast<Producer*>(argument);
  for (int i = 0; i < producer.count; ++i) {
    if (!postMessage(producer.window, kMsgPictureWaiting, static_cast<std::uintptr_t>(i), producer.id))
      producer.failedPosts.fetch_add(1);
    if (i % 64 == 0) sleepMs(1); // let the threads interleave
  }
  return 0;
}

TEST(MessageWindow, MessagesFromTwoThreadsArriveCompleteAndInOrder) {
  MessageWindow window;
  constexpr int kPerThread = 2000;
  Producer producers[2];
  ThreadHandle threads[2];
  for (int p = 0; p < 2; ++p) {
    producers[p].window = window.handle();
    producers[p].id = p;
    producers[p].count = kPerThread;
    threads[p] = threadStart(postNumbered, &producers[p]);
    ASSERT_TRUE(threads[p].running());
  }

  std::vector<int> next(2, 0);
  int received = 0;
  bool inOrder = true;
  std::uint32_t start = tickCount();
  while (received < 2 * kPerThread && tickCount() - start < 20000) {
    received += window.pump(
        [&](const WindowMessage& message) {
          EXPECT_EQ(message.message, kMsgPictureWaiting);
          ASSERT_TRUE(message.lParam == 0 || message.lParam == 1);
          int& expected = next[message.lParam];
          inOrder = inOrder && static_cast<int>(message.wParam) == expected;
          expected = static_cast<int>(message.wParam) + 1;
        },
        100);
  }
  for (ThreadHandle& thread : threads) threadRelease(thread);

  EXPECT_TRUE(inOrder);
  EXPECT_EQ(received, 2 * kPerThread);
  EXPECT_EQ(next[0], kPerThread);
  EXPECT_EQ(next[1], kPerThread);
  EXPECT_EQ(producers[0].failedPosts.load() + producers[1].failedPosts.load(), 0);
}

TEST(MessageWindow, CarriesTheFullParameterWidths) {
  MessageWindow window;
  const auto wide = static_cast<std::uintptr_t>(-1) - 5;
  int marker = 0;
  auto pointer = reinterpret_cast<std::intptr_t>(&marker); // a text pointer travels in lParam
  ASSERT_TRUE(postMessage(window.handle(), kMsgStatus, wide, pointer));
  ASSERT_TRUE(postMessage(window.handle(), kMsgFrameDecoded, 1, -7));

  std::vector<WindowMessage> seen;
  EXPECT_EQ(window.pump([&](const WindowMessage& message) { seen.push_back(message); }), 2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, kMsgStatus);
  EXPECT_EQ(seen[0].wParam, wide);
  EXPECT_EQ(seen[0].lParam, pointer);
  EXPECT_EQ(seen[1].message, kMsgFrameDecoded);
  EXPECT_EQ(seen[1].wParam, 1u);
  EXPECT_EQ(seen[1].lParam, -7);
}

// The window thread re-posts kMsgOfferPicture to itself while the Decoder thread is busy: each pump
// must end, with the re-posted message left for the next one.
TEST(MessageWindow, MessagesPostedByTheHandlerWaitForTheNextPump) {
  MessageWindow window;
  ASSERT_TRUE(postMessage(window.handle(), kMsgOfferPicture, 0, 0));
  int handled = 0;
  auto repost = [&](const WindowMessage& message) {
    ++handled;
    postMessage(window.handle(), kMsgOfferPicture, message.wParam + 1, 0);
  };
  EXPECT_EQ(window.pump(repost), 1);
  EXPECT_EQ(window.pump(repost), 1);
  EXPECT_EQ(handled, 2);

  std::uintptr_t last = 0;
  EXPECT_EQ(window.pump([&](const WindowMessage& message) { last = message.wParam; }), 1);
  EXPECT_EQ(last, 2u);
}

TEST(MessageWindow, PumpReturnsWhenNothingArrives) {
  MessageWindow window;
  int calls = 0;
  EXPECT_EQ(window.pump([&](const WindowMessage&) { ++calls; }, 30), 0);
  EXPECT_EQ(window.pump([&](const WindowMessage&) { ++calls; }, 0), 0);
  EXPECT_EQ(calls, 0);
}

struct DelayedPost {
  WindowHandle window = nullptr;
  bool invalidateInstead = false;
};

unsigned postAfterAPause(void* argument) {
  auto& delayed = *static_cast<DelayedPost*>(argument);
  sleepMs(50);
  if (delayed.invalidateInstead)
    invalidate(delayed.window, false);
  else
    postMessage(delayed.window, kMsgStatusIndex, 6, 0);
  return 0;
}

TEST(MessageWindow, WaitingPumpWakesForAPostFromAnotherThread) {
  MessageWindow window;
  DelayedPost delayed{window.handle(), false};
  ThreadHandle thread = threadStart(postAfterAPause, &delayed);
  ASSERT_TRUE(thread.running());
  // One pump that may wait a minute: woken by the post it returns long before; one that
  // slept through it would return only after the full minute.
  std::uint32_t start = tickCount();
  std::uintptr_t index = 0;
  const int handled = window.pump([&](const WindowMessage& message) { index = message.wParam; }, 60000);
  std::uint32_t elapsed = tickCount() - start;
  threadRelease(thread);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(index, 6u);
  EXPECT_LT(elapsed, 50000u) << "the pump slept through the post";
}

TEST(MessageWindow, InvalidateIsSeenOnceWithItsEraseRequest) {
  MessageWindow window;
  bool erase = true;
  EXPECT_FALSE(window.takeInvalidated(&erase));

  invalidate(window.handle(), false);
  EXPECT_TRUE(window.takeInvalidated(&erase));
  EXPECT_FALSE(erase);
  EXPECT_FALSE(window.takeInvalidated());

  invalidate(window.handle(), true);
  invalidate(window.handle(), false);
  EXPECT_TRUE(window.takeInvalidated(&erase));
  EXPECT_TRUE(erase);
  EXPECT_FALSE(window.takeInvalidated(&erase));
}

TEST(MessageWindow, InvalidateFromAnotherThreadWakesTheOwner) {
  MessageWindow window;
  DelayedPost delayed{window.handle(), true};
  ThreadHandle thread = threadStart(postAfterAPause, &delayed);
  ASSERT_TRUE(thread.running());
  bool invalidated = false;
  std::uint32_t start = tickCount();
  while (!invalidated && tickCount() - start < 10000) {
    window.pump(nullptr, 1000);
    invalidated = window.takeInvalidated();
  }
  threadRelease(thread);
  EXPECT_TRUE(invalidated);
}

TEST(MessageWindow, ClassLivesAsLongAsAnyWindow) {
#ifdef _WIN32
  auto first = std::make_unique<MessageWindow>();
  {
    MessageWindow second;
    EXPECT_TRUE(messageWindowClassRegistered());
  }
  EXPECT_TRUE(messageWindowClassRegistered());
  first.reset();
  // Unregistered with the last window: a DLL carrying this code leaves nothing behind.
  EXPECT_FALSE(messageWindowClassRegistered());
  MessageWindow again; // and registered anew
  EXPECT_NE(again.handle(), nullptr);
  EXPECT_TRUE(messageWindowClassRegistered());
#else
  EXPECT_FALSE(messageWindowClassRegistered()); // no window class on Linux
#endif
}

TEST(MessageWindow, PostsToNoWindowOrADestroyedOneFail) {
  EXPECT_FALSE(postMessage(nullptr, kMsgStatus, 0, 0));
  invalidate(nullptr, true); // ignored

  auto window = std::make_unique<MessageWindow>();
  WindowHandle handle = window->handle();
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(postMessage(handle, kMsgStatus, 0, 0));
  window.reset();
  EXPECT_FALSE(postMessage(handle, kMsgStatus, 0, 0));
  invalidate(handle, false); // ignored
}

} // namespace
