// A gateway thread that runs out of memory ends one browser's session or one camera, never
// the process: allocations are made to fail on the gateway's own threads only (this suite's
// threads and the simulated recorder's are exempt), and afterwards a new browser is served.
#include "hosts/gateway/Gateway.h"
#include "hosts/gateway/ViewerRequests.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/support/CountedAllocation.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {

using namespace gatewaytest;

TEST(GatewayAllocation, AFailureOnAGatewayThreadDropsOneSessionOrOneCamera) {
  testsupport::exemptThisThreadFromFailures();
  // Pictures of 1000 bytes are copied into messages of about 1.3 KB on a link's thread; text
  // tables of 4000 bytes into control messages on its Receiver thread; a browser's message of
  // 4000 bytes is read into a buffer of that size on the I/O thread. Each threshold below
  // is met by the one allocation of the case.
  struct Case {
    const char* where;
    int languageBytes;       // a text table with every picture
    std::size_t failAtLeast; // the next allocation of this size on a gateway thread fails
    bool largeRequest;       // the first browser sends one message of 125 next-picture requests
    bool cameraEnds;         // else only the first browser's session
  };
  const Case cases[] = {
      {"a link's copy of a picture", 0, 1024, false, true},
      {"a link's Receiver thread's copy of a text table", 4000, 3000, false, true},
      {"the I/O thread reading one browser's request", 0, 2048, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    FakeRecorder recorder(PictureStream{1000, c.languageBytes});
    gateway::GatewayOptions options;
    options.listenPort = 0;
    options.quiet = true;
    options.recorders = {{"gate", "127.0.0.1", recorder.port()}};
    std::ostringstream log;
    gateway::Gateway gateway(options, log);
    std::string error;
    ASSERT_TRUE(gateway.start(error)) << error;
    const auto& counters = gateway.counters();

    ViewerClient first(gateway.port(), "gate"), second(gateway.port(), "gate");
    first.sendOpen(1);
    second.sendOpen(1);
    Message message;
    ASSERT_TRUE(first.readPicture(message));
    ASSERT_TRUE(second.readPicture(message));

    const long failedBefore = testsupport::failedAllocations();
    testsupport::failLargeAllocations(c.failAtLeast);
    if (c.largeRequest) {
      Bytes requests;
      for (int i = 0; i < 125; ++i) {
        const Bytes next = gateway::encodeViewerRequest({gateway::ViewerRequest::Next, 0});
        requests.insert(requests.end(), next.begin(), next.end());
      }
      first.sendRaw(requests);
    }
    const bool failed = waitUntil([&] { return testsupport::failedAllocations() > failedBefore; });
    testsupport::stopFailingAllocations();
    ASSERT_TRUE(failed);

    if (c.cameraEnds) {
      // The camera is closed and both its browsers are told, as when the recorder is lost.
      ASSERT_TRUE(waitUntil([&] { return gateway.cameraCount() == 0; }));
      EXPECT_EQ(counters.allocationFailures.load(), 1u); // counted as no_memory
      for (ViewerClient* browser : {&first, &second}) {
        while (browser->read(message)) {}
        EXPECT_EQ(browser->closeCode(), 1011);
      }
    } else {
      ASSERT_TRUE(waitUntil([&] { return counters.allocationFailures.load() == 1u && counters.viewers.load() == 1; }));
      while (first.read(message)) {}
      // The other browser of the camera is still served.
      second.sendNext();
      EXPECT_TRUE(second.readPicture(message));
      EXPECT_EQ(gateway.cameraCount(), 1);
    }

    ViewerClient late(gateway.port(), "gate");
    late.sendOpen(1);
    EXPECT_TRUE(late.readPicture(message));
    EXPECT_EQ(recorder.connectionCount(), c.cameraEnds ? 2 : 1);
  }
}

} // namespace
