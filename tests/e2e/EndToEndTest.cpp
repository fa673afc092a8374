// The recorder simulator and viewers on loopback: pictures arrive, are decoded and painted
// with their on-screen display; diagnostics; recorder errors, corrupt pictures, a recorder
// that goes away and comes back; several viewers; the desktop host's snapshot mode.
#include "engine/RunTag.h"
#include "engine/StatusIndex.h"
#include "hosts/desktop/Snapshot.h"
#include "hosts/desktop/ViewerGrid.h"
#include "platform/Time.h"
#include "recorder/server/RecorderServer.h"
#include "recorder/sources/PngImage.h"
#include "tests/support/GoldenImage.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/presentation/ViewerHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <memory>
#include <sstream>

namespace {

using testsupport::ViewerHarness;

class Recorder {
public:
  explicit Recorder(recorder::ServerOptions options = {}, int port = 0) {
    options.host = "127.0.0.1";
    options.port = port;
    options.quiet = true;
    server_ = std::make_unique<recorder::RecorderServer>(options, log_);
    std::string error;
    started_ = server_->start(error);
    EXPECT_TRUE(started_) << error;
  }
  ~Recorder() { server_->stop(); }
  int port() const { return server_->port(); }
  recorder::RecorderServer& server() { return *server_; }

private:
  std::ostringstream log_;
  std::unique_ptr<recorder::RecorderServer> server_;
  bool started_ = false;
};

recorder::ServerOptions withFaults(const char* script) {
  recorder::ServerOptions options;
  std::string error;
  EXPECT_TRUE(options.faults.parse(script, error)) << error;
  return options;
}

// A recorder error's kMsgStatus carries its code; the text is the viewer's.
bool sawStatusText(ViewerHarness& h, const char* text) {
  for (const auto& m : h.handled)
    if (m.message == platform::kMsgStatus && m.lParam != 0 &&
        std::strcmp(h.viewer().languageTable().errorText(std::int32_t(m.lParam)), text) == 0)
      return true;
  return false;
}

TEST(EndToEnd, PicturesArriveAndArePaintedWithTheirOverlay) {
  Recorder recorder;
  ViewerHarness h(CLanguageTable::kEnglish, 720, 576, recorder.port(), 7);
  ASSERT_TRUE(h.waitForFrames(3, 20000)) << "status: " << h.viewer().statusText() << ", port " << recorder.port();
  const CViewer& viewer = h.viewer();
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(viewer.showIndex()));
  bool established = false;
  for (const auto& m : h.handled)
    established |= m.message == platform::kMsgStatusIndex && runtag::valueOf(m.wParam) == kStatusEstablished;
  EXPECT_TRUE(established);
  EXPECT_EQ(h.shownPicture().camera(), "Camera 7");

  // The picture on screen, not the viewer's current one: while the test compares, the next
  // picture may already have been taken in for decoding.
  testsupport::ReferenceFrame expected;
  ASSERT_TRUE(testsupport::referenceFrame(h.shownPicture(), viewer.languageTable(), 720, 576, expected));
  EXPECT_TRUE(testsupport::sameImage("e2e-picture", h.paint(), testsupport::referenceWindow(expected, 720, 576)));
}

TEST(EndToEnd, DiagnosticsDrawRowsAndRateLabels) {
  recorder::ServerOptions options = withFaults("at 3 corrupt");
  options.diagnostics = true;
  options.picturesPerSecond = 0; // as fast as the viewer asks
  Recorder recorder(options);
  ViewerHarness h(CLanguageTable::kEnglish, 720, 576, recorder.port(), 1);
  ASSERT_TRUE(h.waitForFrames(12, 30000));
  ASSERT_TRUE(h.viewer().diagnosticsOn());
  // The labels of the first rate window reach the overlay with the next offered picture.
  ASSERT_TRUE(h.waitForFrames(1, 10000));
  const presentation::StatsTexts& stats = h.viewer().framePipeline().overlay().stats();
  EXPECT_EQ(std::string(stats.label(0).text).substr(0, 5), "FPS: ");
  EXPECT_EQ(std::string(stats.label(1).text).substr(0, 5), "DPS: ");
  EXPECT_EQ(stats.label(0).x, 400);
  EXPECT_EQ(stats.label(1).y, 120);
  EXPECT_STREQ(stats.header(), "REC   MAIN  DEC   SDEC  SIZE  TEXT");
  EXPECT_EQ(h.viewer().decodeErrors(), 1);
  EXPECT_STREQ(stats.label(2).text, "DecErr: 1");
  EXPECT_EQ(stats.label(2).y, 200);

  // Statistics rows are red (0xFF0000) text under the header, left of x = 260: full-coverage
  // glyph pixels on several pixel rows (there are none without diagnostics). Counted by
  // pixel rows, not pixels: how many digits a text row has depends on how fast the pictures
  // went through, and a fast viewer writes short numbers.
  paint::SoftwareCanvas canvas = h.paint();
  int redLines = 0;
  for (int y = 60; y < 300; ++y) {
    bool red = false;
    for (int x = 10; x < 260; ++x) red = red || canvas.pixel(x, y) == 0xFF0000u;
    redLines += red;
  }
  EXPECT_GE(redLines, 3);
}

TEST(EndToEnd, RecorderErrorsAreShownAndPicturesGoOn) {
  Recorder recorder(withFaults("at 2 error 2004; at 4 corrupt"));
  ViewerHarness h(CLanguageTable::kGerman, 720, 576, recorder.port(), 1);
  ASSERT_TRUE(h.waitForFrames(7, 30000));
  EXPECT_TRUE(sawStatusText(h, "Bild konnte nicht gefunden werden!"));
  EXPECT_GE(h.viewer().decodeErrors(), 1);
  EXPECT_TRUE(h.viewer().framePipeline().frameReady(h.viewer().showIndex()));
}

TEST(EndToEnd, RecorderEndingTheCommunicationShowsItsText) {
  Recorder recorder(withFaults("open end"));
  ViewerHarness h(CLanguageTable::kEnglish, 720, 576, recorder.port(), 1);
  ASSERT_TRUE(
      h.pumpUntil([&] { return std::strcmp(h.viewer().statusText(), "Communications closed by server!") == 0; }, 10000))
      << "status: " << h.viewer().statusText();
  EXPECT_TRUE(testsupport::sameImage("e2e-commclosed", h.paint(),
                                     testsupport::referenceStatusScreen(h.viewer().statusText(), 720, 576)));
}

TEST(EndToEnd, RecorderStoppingAndComingBack) {
  auto recorder = std::make_unique<Recorder>();
  const int port = recorder->port();
  ViewerHarness h(CLanguageTable::kEnglish, 720, 576, port, 1);
  ASSERT_TRUE(h.waitForFrames(2, 20000));

  recorder.reset(); // the recorder goes away
  ASSERT_TRUE(h.pumpUntil([&] { return !h.viewer().framePipeline().frameReady(h.viewer().showIndex()); }, 10000));
  EXPECT_STREQ(h.viewer().statusText(), "The socket connection was closed due to an error!");

  // And comes back: a picture it sends is shown. Pictures received before the loss may still
  // be decoded meanwhile; a status that came after them keeps them hidden, so they are not
  // counted.
  const std::uint32_t back = platform::tickCount();
  recorder = std::make_unique<Recorder>(recorder::ServerOptions{}, port);
  EXPECT_TRUE(h.pumpUntil(
      [&] {
        return h.viewer().framePipeline().frameReady(h.viewer().showIndex()) &&
               static_cast<std::int32_t>(h.shownPicture().receivedTick - back) >= 0;
      },
      20000));
}

TEST(EndToEnd, RecorderLanguageTableReplacesTheBuiltInTexts) {
  recorder::ServerOptions options;
  options.language = recorder::builtInLanguageTable(true);
  Recorder recorder(options);
  ViewerHarness h(CLanguageTable::kEnglish, 720, 576, recorder.port(), 1);
  ASSERT_TRUE(h.waitForFrames(2, 20000));
  EXPECT_STREQ(h.viewer().languageTable().lookup("date"), "Datum");
  testsupport::ReferenceFrame expected;
  ASSERT_TRUE(testsupport::referenceFrame(h.shownPicture(), h.viewer().languageTable(), 720, 576, expected));
  EXPECT_TRUE(testsupport::sameImage("e2e-german-labels", h.paint(), testsupport::referenceWindow(expected, 720, 576)));
}

TEST(EndToEnd, SeveralViewersShareOneRecorder) {
  Recorder recorder;
  std::vector<std::unique_ptr<ViewerHarness>> viewers;
  for (int id = 1; id <= 4; ++id)
    viewers.push_back(std::make_unique<ViewerHarness>(CLanguageTable::kEnglish, 360, 288, recorder.port(), id));
  for (auto& h : viewers) ASSERT_TRUE(h->waitForFrames(2, 20000));
  for (int id = 1; id <= 4; ++id)
    EXPECT_EQ(viewers[id - 1]->viewer().currentPicture().camera(), "Camera " + std::to_string(id));
}

TEST(EndToEnd, DesktopSnapshotWritesPicturesOrTheStatusScreen) {
  Recorder recorder;
  const char* folder = std::getenv("CAMVIEW_TEST_OUTPUT");
  const std::string base =
      (folder ? std::string(folder) : std::filesystem::temp_directory_path().string()) + "/e2e-snapshot";
  std::filesystem::create_directories(std::filesystem::path(base).parent_path());

  desktop::Options options;
  std::string error;
  const std::string port = std::to_string(recorder.port());
  const std::string file = base + "-grid.png";
  const char* argv[] = {"camview", "--port",     port.c_str(), "--id",     "3", "--grid",    "2", "--size",
                        "400x200", "--snapshot", file.c_str(), "--frames", "2", "--timeout", "20"};
  ASSERT_TRUE(desktop::parseCommandLine(int(std::size(argv)), argv, options, error)) << error;
  ASSERT_EQ(options.cameras.size(), 2u);
  EXPECT_EQ(options.cameras[1].id, 4);
  std::string message;
  std::remove(file.c_str());
  EXPECT_EQ(desktop::runSnapshot(options, message), desktop::SnapshotResult::Pictures) << message;
  recorder::RgbFrame written;
  ASSERT_TRUE(recorder::loadPng(file, written, error)) << error;
  EXPECT_EQ(written.width, 400);
  EXPECT_EQ(written.height, 200);

  // Nobody listens on the port of a stopped recorder: the status screen after the timeout.
  const std::string closed = base + "-status.png";
  desktop::Options statusOptions;
  const char* argv2[] = {"camview",    "--port",       "1",         "--language", "de",
                         "--snapshot", closed.c_str(), "--timeout", "0.3"};
  ASSERT_TRUE(desktop::parseCommandLine(int(std::size(argv2)), argv2, statusOptions, error)) << error;
  EXPECT_EQ(desktop::runSnapshot(statusOptions, message), desktop::SnapshotResult::TimedOut);
  ASSERT_TRUE(recorder::loadPng(closed, written, error)) << error;
  EXPECT_EQ(written.width, 720);
  EXPECT_EQ(written.height, 576);
}

TEST(DesktopCommandLine, GroupsGridAndErrors) {
  desktop::Options options;
  std::string error;
  const char* two[] = {"camview", "--host", "10.0.0.1", "--port",     "80", "--id",
                       "5",       "--host", "cam2",     "--language", "en"};
  ASSERT_TRUE(desktop::parseCommandLine(int(std::size(two)), two, options, error));
  ASSERT_EQ(options.cameras.size(), 2u);
  EXPECT_EQ(options.cameras[0].port, 80);
  EXPECT_EQ(options.cameras[0].id, 5);
  EXPECT_EQ(options.cameras[1].host, "cam2");
  EXPECT_EQ(options.cameras[1].port, 7070);
  EXPECT_EQ(options.language, 1);
  EXPECT_EQ(options.decode, presentation::DecodeMode::Fit); // the grids' default
  const char* full[] = {"camview", "--decode", "full"};
  ASSERT_TRUE(desktop::parseCommandLine(int(std::size(full)), full, options, error));
  EXPECT_EQ(options.decode, presentation::DecodeMode::Full);
  for (const char* bad : {"--port=1", "--size"}) {
    const char* argv[] = {"camview", bad};
    EXPECT_FALSE(desktop::parseCommandLine(2, argv, options, error)) << bad;
  }
  const char* badValues[][2] = {{"--port", "70000"}, {"--size", "12x"},   {"--language", "fr"},
                                {"--grid", "0"},     {"--timeout", "-1"}, {"--decode", "half"}};
  for (const auto& pair : badValues) {
    const char* argv[] = {"camview", pair[0], pair[1]};
    EXPECT_FALSE(desktop::parseCommandLine(3, argv, options, error)) << pair[0] << " " << pair[1];
  }
  const std::vector<desktop::CellRect> cells = desktop::gridLayout(5, 1000, 600);
  ASSERT_EQ(cells.size(), 5u);
  EXPECT_EQ(cells[2].x + cells[2].width, 1000); // three columns fill the width
  EXPECT_EQ(cells[4].y + cells[4].height, 600);
}

} // namespace
