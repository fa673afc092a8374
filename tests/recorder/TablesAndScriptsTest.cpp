// Text tables, fault scripts and the command line of the recorder simulator.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "engine/LanguageTable.h"
#include "recorder/app/RecorderCommandLine.h"
#include "recorder/faults/FaultScript.h"
#include "recorder/server/LanguageItem.h"
#include "base/LittleEndian.h"

using namespace recorder;

namespace {

// Installs our item into the viewer's own table and looks a key up there.
std::string viewerLookup(const LanguageTable& table, const char* key) {
  const auto item = buildLanguageItem(table);
  CLanguageTable viewerTable;
  viewerTable.install(item.data(), static_cast<std::int32_t>(item.size()));
  return viewerTable.lookup(key);
}

std::string writeTempFile(const std::string& name, const std::string& content) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

} // namespace

TEST(RecorderLanguageItem, BuiltInTablesReachTheViewerInTheChosenLanguage) {
  EXPECT_EQ(viewerLookup(builtInLanguageTable(true), "waitconnect"), "Verbindungsaufbau...");
  EXPECT_EQ(viewerLookup(builtInLanguageTable(true), "zemerr_trackerase"), "Die Spur wurde gel\xF6scht!");
  EXPECT_EQ(viewerLookup(builtInLanguageTable(false), "picture"), "Frame");
  EXPECT_EQ(viewerLookup(builtInLanguageTable(false), "ZEMERR_LAST"), "The last picture has been reached!");
  EXPECT_EQ(viewerLookup(builtInLanguageTable(false), "language"), "English");
}

TEST(RecorderLanguageItem, LayoutIsRowsTimesColumnsOfOffsetsToTexts) {
  LanguageTable table;
  table.languageIndex = 1;
  table.rows.resize(2);
  table.rows[1][30] = "Bitte warten";
  const auto item = buildLanguageItem(table);
  ASSERT_GE(item.size(), 12u);
  EXPECT_EQ(le::readU32(item.data()), 1u);
  EXPECT_EQ(le::readU32(item.data() + 4), 2u);
  EXPECT_EQ(le::readU32(item.data() + 8), 31u); // highest used slot + 1
  const std::uint32_t offset = le::readU32(item.data() + 12 + 4 * (31 + 30));
  ASSERT_LT(offset, item.size());
  EXPECT_STREQ(reinterpret_cast<const char*>(item.data() + offset), "Bitte warten");
  EXPECT_EQ(item.back(), 0);
  EXPECT_EQ(viewerLookup(table, "waitconnect"), "Bitte warten");
  EXPECT_EQ(viewerLookup(table, "camera"), ""); // keys the table leaves out are empty
}

TEST(RecorderLanguageItem, TextFilesNameRowsAndChooseOne) {
  LanguageTable table;
  std::string error;
  ASSERT_TRUE(parseLanguageText("# test\n[Deutsch]\ncamera = Kamera\r\n\n[Fran\xC3\xA7"
                                "ais]\n"
                                "Camera=Cam\xC3\xA9ra\nzemerr_last = Fin \xE2\x82\xAC\nuse = Fran\xC3\xA7"
                                "ais\n",
                                table, error))
      << error;
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.languageIndex, 1);
  EXPECT_EQ(table.rows[1][0], "Fran\xE7"
                              "ais");
  EXPECT_EQ(viewerLookup(table, "camera"), "Cam\xE9ra");     // UTF-8 turned single-byte
  EXPECT_EQ(viewerLookup(table, "zemerr_last"), "Fin \x80"); // the euro sign of Windows-1252

  ASSERT_TRUE(parseLanguageText("[a]\ncamera = x\n[b]\ncamera = y\nuse = 1\n", table, error)) << error;
  EXPECT_EQ(viewerLookup(table, "camera"), "y");
  ASSERT_TRUE(parseLanguageText("[a]\ncamera = Gr\xFC\xDF"
                                "e\n",
                                table, error))
      << error;
  EXPECT_EQ(table.rows[0][20], "Gr\xFC\xDF"
                               "e"); // already single-byte text stays as it is
}

TEST(RecorderLanguageItem, TextFileMistakesNameTheirLine) {
  LanguageTable table;
  std::string error;
  EXPECT_FALSE(parseLanguageText("[a]\ncolour = red\n", table, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(parseLanguageText("camera = x\n", table, error));
  EXPECT_FALSE(parseLanguageText("[a\n", table, error));
  EXPECT_FALSE(parseLanguageText("[a]\njust words\n", table, error));
  EXPECT_FALSE(parseLanguageText("[a]\nuse = 3\n", table, error));
  EXPECT_FALSE(parseLanguageText("# nothing\n", table, error));
  EXPECT_FALSE(loadLanguageFile(::testing::TempDir() + "no-such-table.txt", table, error));
}

TEST(RecorderFaultScript, ParsesEveryActionAndWritesItBack) {
  FaultScript script;
  std::string error;
  ASSERT_TRUE(script.parse("open end; at 3 close\n"
                           "every 10 corrupt # comment; with a semicolon\n"
                           "id 7 at 2 error 2004\n"
                           "at 1 reply 99 5; at 1 garbage; at 1 garbage 16; at 1 badtag; at 1 baditem\n"
                           "at 4 half; at 5 stall 250; at 6 refuse 1000\n",
                           error))
      << error;
  ASSERT_EQ(script.rules().size(), 12u);
  EXPECT_EQ(script.rules()[0].text(), "open end");
  EXPECT_EQ(script.rules()[3].text(), "id 7 at 2 error 2004");
  EXPECT_EQ(script.rules()[4].text(), "at 1 reply 99 5");
  EXPECT_EQ(script.rules()[5].argument, 64); // default garbage size
  EXPECT_EQ(script.rules()[10].text(), "at 5 stall 250");
  EXPECT_EQ(script.rules()[11].text(), "at 6 refuse 1000");
  // Every rule written back parses to the same rule.
  for (const FaultRule& rule : script.rules()) {
    FaultRule again;
    ASSERT_TRUE(parseFaultRule(rule.text(), again, error)) << rule.text();
    EXPECT_EQ(again.text(), rule.text());
  }
}

TEST(RecorderFaultScript, RejectsMistakesWithoutKeepingHalfAScript) {
  const char* wrong[] = {"at close",      "at -1 close",   "every 0 corrupt", "at 3 explode", "at 3 error",
                         "at 3 stall x",  "open",          "id at 3 close",   "at 3 close 5", "at 3 garbage 0",
                         "after 3 close", "at 3 stall -5", "at 3 reply 1 2 3"};
  for (const char* rule : wrong) {
    FaultScript script;
    std::string error;
    EXPECT_FALSE(script.parse(std::string("at 1 close; ") + rule, error)) << rule;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(script.empty()) << rule;
  }
}

TEST(RecorderFaultScript, FiresRulesAtTheirPictureAndForTheirConnection) {
  FaultScript script;
  std::string error;
  ASSERT_TRUE(script.parse("at 0 stall 10; at 3 close; every 2 corrupt; id 5 open end; id 5 at 1 badtag", error));
  EXPECT_EQ(script.beforePicture(1, 0).size(), 1u);
  EXPECT_TRUE(script.beforePicture(1, 1).empty());
  EXPECT_EQ(script.beforePicture(1, 2).size(), 1u);
  const auto atFour = script.beforePicture(1, 4);
  ASSERT_EQ(atFour.size(), 1u);
  EXPECT_EQ(atFour[0].action, FaultAction::Corrupt);
  EXPECT_EQ(script.beforePicture(1, 3).size(), 1u);
  EXPECT_EQ(script.beforePicture(5, 1).size(), 1u);
  EXPECT_TRUE(script.atOpen(1).empty());
  ASSERT_EQ(script.atOpen(5).size(), 1u);
  EXPECT_EQ(script.atOpen(5)[0].action, FaultAction::End);
}

TEST(RecorderCommandLine, ReadsEveryOption) {
  const std::string table = writeTempFile("recorder-table.txt", "[X]\ncamera = Cam\n");
  const std::string faults = writeTempFile("recorder-faults.txt", "at 2 corrupt\n# end\n");
  RecorderCommandLine line;
  std::string error;
  ASSERT_TRUE(parseCommandLine({"z.png",
                                "--listen",
                                "0.0.0.0:8080",
                                "--diagnostics",
                                "--language",
                                table,
                                "--camera",
                                "Gate %d",
                                "--text1",
                                "REC",
                                "--text2",
                                "info",
                                "--text3",
                                "*",
                                "--standard",
                                "486",
                                "--level",
                                "2",
                                "--quality",
                                "40",
                                "--fields",
                                "1",
                                "--fps",
                                "12.5",
                                "--loop",
                                "30",
                                "--cameras",
                                "4",
                                "--idle-fps",
                                "0.5",
                                "--image",
                                "a.png",
                                "b.png",
                                "--hold",
                                "3",
                                "--fault",
                                "at 1 stall 5; at 9 end",
                                "--fault-script",
                                faults,
                                "--close-after",
                                "20",
                                "--refuse",
                                "1500",
                                "--status-interval",
                                "2",
                                "--quiet",
                                "--max-viewers",
                                "3",
                                "--image",
                                "c.png"},
                               line, error))
      << error;
  const ServerOptions& o = line.server;
  EXPECT_EQ(o.host, "0.0.0.0");
  EXPECT_EQ(o.port, 8080);
  EXPECT_TRUE(o.diagnostics);
  ASSERT_TRUE(o.language.has_value());
  EXPECT_EQ(o.language->rows[0][20], "Cam");
  EXPECT_EQ(o.camera, "Gate %d");
  EXPECT_EQ(o.text1, "REC");
  EXPECT_EQ(o.text2, "info");
  EXPECT_EQ(o.text3, "*");
  EXPECT_FALSE(o.encoding.standard576);
  EXPECT_EQ(o.encoding.level, 2);
  EXPECT_EQ(o.encoding.quality, 40);
  EXPECT_EQ(o.encoding.fields, 1);
  EXPECT_DOUBLE_EQ(o.picturesPerSecond, 12.5);
  EXPECT_EQ(o.loopPictures, 30);
  EXPECT_EQ(o.readyCameras, 4);
  EXPECT_DOUBLE_EQ(o.idlePicturesPerSecond, 0.5);
  EXPECT_EQ(line.images, (std::vector<std::string>{"z.png", "a.png", "b.png", "c.png"})); // in the order given
  EXPECT_EQ(line.picturesPerStill, 3);
  ASSERT_EQ(o.faults.rules().size(), 4u);
  EXPECT_EQ(o.faults.rules()[2].text(), "at 2 corrupt");
  EXPECT_EQ(o.faults.rules()[3].text(), "at 20 close");
  EXPECT_EQ(o.refuseAtStartMs, 1500);
  EXPECT_EQ(o.statusIntervalMs, 2000);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.maxViewers, 3);
  EXPECT_FALSE(line.help);
}

TEST(RecorderCommandLine, DefaultsAndHelp) {
  RecorderCommandLine line;
  std::string error;
  ASSERT_TRUE(parseCommandLine({}, line, error));
  EXPECT_EQ(line.server.host, "127.0.0.1");
  EXPECT_EQ(line.server.port, kDefaultPort);
  EXPECT_FALSE(line.server.language.has_value());
  EXPECT_TRUE(line.server.encoding.standard576);
  EXPECT_EQ(line.server.encoding.fields, 2);
  EXPECT_EQ(line.server.readyCameras, kProgramReadyCameras); // in-process servers default to none
  ASSERT_TRUE(parseCommandLine({"--language", "de", "--port", "0", "--help"}, line, error));
  EXPECT_TRUE(line.help);
  EXPECT_EQ(line.server.port, 0);
  EXPECT_EQ(line.server.language->languageIndex, 0);
  // Every option the parser knows is documented.
  const std::string help = helpText();
  for (const char* option :
       {"--listen",       "--port",        "--max-viewers", "--diagnostics",     "--language", "--camera",
        "--text1",        "--text2",       "--text3",       "--standard",        "--level",    "--quality",
        "--fields",       "--fps",         "--loop",        "--image",           "--hold",     "--fault",
        "--fault-script", "--close-after", "--refuse",      "--status-interval", "--quiet",    "--help",
        "--cameras",      "--idle-fps"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(RecorderCommandLine, RejectsMistakesWithAMessage) {
  const std::vector<std::vector<std::string>> wrong = {{"--port"},
                                                       {"--port", "70000"},
                                                       {"--port", "12x"},
                                                       {"--listen", "localhost"},
                                                       {"--listen", ":80"},
                                                       {"--level", "5"},
                                                       {"--fields", "3"},
                                                       {"--standard", "625"},
                                                       {"--quality", "0"},
                                                       {"--fps", "-1"},
                                                       {"--fps", "fast"},
                                                       {"--fault", "at x close"},
                                                       {"--language", "::no such file::"},
                                                       {"--fault-script", "::no such file::"},
                                                       {"--bogus"},
                                                       {"--loop", "0"},
                                                       {"--hold", "0"},
                                                       {"--cameras", "-1"},
                                                       {"--idle-fps", "0"}};
  for (const auto& arguments : wrong) {
    RecorderCommandLine line;
    std::string error;
    EXPECT_FALSE(parseCommandLine(arguments, line, error)) << arguments[0];
    EXPECT_FALSE(error.empty()) << arguments[0];
  }
}

TEST(RecorderExamples, ShippedExampleFilesLoad) {
  const std::string folder = CAMVIEW_RECORDER_EXAMPLES;
  FaultScript script;
  std::string error;
  ASSERT_TRUE(script.parseFile(folder + "/misbehaving-recorder.faults", error)) << error;
  EXPECT_EQ(script.rules().size(), 10u);
  LanguageTable table;
  ASSERT_TRUE(loadLanguageFile(folder + "/french.language", table, error)) << error;
  EXPECT_EQ(table.languageIndex, 0);
  EXPECT_EQ(viewerLookup(table, "camera"), "Cam\xE9ra");
  EXPECT_EQ(viewerLookup(table, "zemerr_first"), "La premi\xE8re image de la piste est atteinte !");
}
