// Reply handling and picture records on a connection that is not connected: what each reply
// stores and posts, observed through a message window on the test's own thread.
#include "engine/Connection.h"
#include "engine/PictureLimits.h"
#include "engine/Protocol.h"
#include "engine/StatusIndex.h"
#include "tests/support/ProtocolMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class ConnectionReplyTest : public ::testing::Test {
protected:
  void SetUp() override {
    connection.configure("127.0.0.1", 1, 7, &language);
    connection.setNotifyWindow(window.handle());
    ASSERT_TRUE(connection.defineMessages());
  }

  // Parses and handles one complete reply, as the receive loop does.
  ReplyStatus feed(const Bytes& bytes) {
    ReplyStatus status;
    CTaggedMessage& reply = connection.reply();
    EXPECT_TRUE(reply.parseHeader(bytes.data(), std::int32_t(bytes.size())));
    if (reply.parseItems(bytes.data(), std::int32_t(bytes.size()))) connection.handleReply(bytes.data(), status);
    return status;
  }

  std::vector<platform::WindowMessage> posted() {
    std::vector<platform::WindowMessage> messages;
    window.pump([&](const platform::WindowMessage& m) { messages.push_back(m); });
    return messages;
  }

  CLanguageTable language{CLanguageTable::kEnglish};
  platform::MessageWindow window;
  CConnection connection;

  // A posted recorder error carries its code; the window side looks the text up.
  const char* textOf(const platform::WindowMessage& message) const {
    return language.errorText(std::int32_t(message.lParam));
  }
};

} // namespace

TEST_F(ConnectionReplyTest, EstablishedWithPictureStoresThePictureFirst) {
  HeaderTexts texts;
  texts.camera = "Gate";
  const Bytes bodyBytes = body(5000, 9);
  const Bytes reply = buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyEstablished, 0, 0, 1)},
                                    {protocol::kItemHead, head(texts)},
                                    {protocol::kItemBody, bodyBytes}});
  const ReplyStatus status = feed(reply);
  EXPECT_EQ(status.words[0], protocol::kReplyEstablished);
  EXPECT_EQ(connection.recorderFlags(), 1);
  const PictureRecord& slot = connection.receiveSlot;
  ASSERT_TRUE(slot.valid.load());
  EXPECT_EQ(slot.length, 5000);
  EXPECT_EQ(slot.capacity, 5000);
  EXPECT_EQ(0, std::memcmp(slot.data, bodyBytes.data(), 5000));
  EXPECT_EQ(slot.camera(), "Gate");
  EXPECT_EQ(slot.date(), "01.02.03");
  EXPECT_EQ(slot.sequence, 0);
  EXPECT_EQ(connection.pictureCount(), 1);
  const auto messages = posted();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::kMsgStatusIndex);
  EXPECT_EQ(messages[0].wParam, std::uintptr_t(kStatusEstablished));
}

TEST_F(ConnectionReplyTest, TwoHeadsShareTheOneBody) {
  HeaderTexts first, second;
  first.pictureNumber = "1";
  second.pictureNumber = "2";
  const Bytes bodyBytes = body(64, 1);
  feed(buildMessage(
      {{protocol::kItemHead, head(first)}, {protocol::kItemHead, head(second)}, {protocol::kItemBody, bodyBytes}}));
  EXPECT_EQ(connection.pictureCount(), 2);
  EXPECT_EQ(connection.receiveSlot.pictureNumber(), "2");
  EXPECT_EQ(connection.receiveSlot.sequence, 1);
  EXPECT_EQ(connection.receiveSlot.length, 64);
  EXPECT_TRUE(connection.receiveSlot.valid.load());
}

TEST_F(ConnectionReplyTest, BodyBeforeHeadIsStillTaken) {
  feed(buildMessage({{protocol::kItemBody, body(10, 2)}, {protocol::kItemHead, head()}}));
  EXPECT_TRUE(connection.receiveSlot.valid.load());
  EXPECT_EQ(connection.receiveSlot.length, 10);
}

TEST_F(ConnectionReplyTest, HeadWithoutBodyLeavesAWaitingPictureAlone) {
  feed(buildMessage({{protocol::kItemHead, head()}}));
  EXPECT_FALSE(connection.receiveSlot.valid.load());
  EXPECT_EQ(connection.pictureCount(), 0);

  // A picture waits for the window slot; a header alone must not change its texts.
  feed(picture({}, body(40, 1)));
  HeaderTexts other;
  other.date = "31.12.99";
  other.pictureNumber = "99";
  feed(buildMessage({{protocol::kItemHead, head(other)}}));
  EXPECT_TRUE(connection.receiveSlot.valid.load());
  EXPECT_EQ(connection.receiveSlot.date(), "01.02.03");
  EXPECT_EQ(connection.receiveSlot.pictureNumber(), "7");
  EXPECT_EQ(connection.pictureCount(), 1);
}

TEST_F(ConnectionReplyTest, ShortHeadCopiesOnlyItsBytesAndZeroesTheRest) {
  // An earlier picture leaves texts everywhere in the header.
  HeaderTexts full;
  full.resolutionLevel = 3;
  feed(buildMessage({{protocol::kItemHead, head(full)}, {protocol::kItemBody, body(4, 0)}}));
  ASSERT_EQ(connection.receiveSlot.resolutionLevel(), 3);
  HeaderTexts other;
  other.date = "09.09.09";
  Bytes shortHead = head(other);
  shortHead.resize(20); // up to the middle of the date field
  feed(buildMessage({{protocol::kItemHead, shortHead}, {protocol::kItemBody, body(4, 0)}}));
  EXPECT_EQ(connection.receiveSlot.date(), "09.09.09");
  EXPECT_EQ(connection.receiveSlot.time(), "");
  EXPECT_EQ(connection.receiveSlot.camera(), "");
  EXPECT_EQ(connection.receiveSlot.resolutionLevel(), 0);
  EXPECT_FALSE(connection.receiveSlot.isVideoStandard576());
}

TEST_F(ConnectionReplyTest, BodyRunningPastTheMessageIsIgnored) {
  Bytes items = rawItem("HEAD", 208, head());
  const Bytes overlong = rawItem("BODY", 100000, body(16, 0));
  items.insert(items.end(), overlong.begin(), overlong.end());
  feed(rawMessage("PLPR", std::int32_t(8 + items.size()), items));
  EXPECT_FALSE(connection.receiveSlot.valid.load());
  EXPECT_EQ(connection.receiveSlot.capacity, 0); // nothing allocated for the claimed length
}

TEST_F(ConnectionReplyTest, EndOfCommunicationPostsStatusZero) {
  const ReplyStatus status = feed(buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyEnd)}}));
  EXPECT_EQ(status.words[0], protocol::kReplyEnd);
  const auto messages = posted();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::kMsgStatus);
  EXPECT_EQ(messages[0].wParam, std::uintptr_t(kStatusCommClosed));
  EXPECT_EQ(messages[0].lParam, 0);
}

TEST_F(ConnectionReplyTest, ErrorCodesPostTheirTexts) {
  for (int code = 1999; code <= 2015; ++code) {
    feed(buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, code)}}));
    const auto messages = posted();
    ASSERT_EQ(messages.size(), 1u) << code;
    EXPECT_EQ(messages[0].message, platform::kMsgStatus);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, code >= 2000 && code <= 2014 ? code : kErrorCodeUnknown) << code;
    EXPECT_STREQ(textOf(messages[0]), language.errorText(code)) << code;
  }
  EXPECT_STREQ(language.errorText(2014), "Internal error!");
  EXPECT_STREQ(language.errorText(1999), "");
}

TEST_F(ConnectionReplyTest, OtherCodesPostNothingAndShortStatusItemsAreSafe) {
  feed(buildMessage({{protocol::kItemPdat, pdat(7, 0, 0, 2000)}}));
  feed(buildMessage({{protocol::kItemPdat, Bytes{12, 0}}})); // too short for any word 3
  const auto messages = posted();
  // The short item decodes as code 12 with error code 0: the "unknown" (empty) text.
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_STREQ(textOf(messages[0]), "");
}

TEST_F(ConnectionReplyTest, LanguageTableTakesEffectInItemOrder) {
  const Bytes lang = langItem(0, 1, 39, {{{0, 32}, "Spur leer (Rekorder)"}});
  feed(buildMessage({{protocol::kItemLang, lang}, {protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, 2000)}}));
  auto messages = posted();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_STREQ(textOf(messages[0]), "Spur leer (Rekorder)");
  EXPECT_STREQ(language.lookup("zemerr_emptytrack"), "Spur leer (Rekorder)");
}

TEST_F(ConnectionReplyTest, NoWindowNoPostsAndNoLanguageEmptyTexts) {
  connection.setNotifyWindow(nullptr);
  feed(buildMessage({{protocol::kItemPdat, pdat(protocol::kReplyError, 0, 0, 2000)}}));
  EXPECT_TRUE(posted().empty());
  CConnection bare;
  ASSERT_TRUE(bare.defineMessages());
  bare.configure("x", 1, 0, nullptr);
  const Bytes reply =
      buildMessage({{protocol::kItemLang, langItem(0, 1, 39, {})}, {protocol::kItemPdat, pdat(12, 0, 0, 2000)}});
  ASSERT_TRUE(bare.reply().parseHeader(reply.data(), std::int32_t(reply.size())));
  ASSERT_TRUE(bare.reply().parseItems(reply.data(), std::int32_t(reply.size())));
  ReplyStatus status;
  bare.handleReply(reply.data(), status);
  EXPECT_EQ(status.words[3], 2000);
}

TEST_F(ConnectionReplyTest, HandOverCopiesThePictureAndPublishesTheSlot) {
  feed(buildMessage({{protocol::kItemHead, head()}, {protocol::kItemBody, body(300, 4)}}));
  connection.receiveSlot.timing[PictureRecord::kTimingReceived] = 11;
  // The next-picture request is left for when the pace allows it.
  connection.handOver();
  const PictureRecord& slot = connection.windowSlot[0];
  ASSERT_TRUE(slot.valid.load());
  EXPECT_TRUE(connection.anyWindowSlotFull());
  EXPECT_FALSE(connection.receiveSlot.valid.load());
  EXPECT_EQ(slot.length, 300);
  EXPECT_EQ(slot.capacity, 300);
  EXPECT_EQ(slot.timing[PictureRecord::kTimingReceived], 11u);
  EXPECT_EQ(slot.date(), "01.02.03");
  const Bytes expected = body(300, 4);
  EXPECT_EQ(0, std::memcmp(slot.data, expected.data(), 300));
}

TEST(ConnectionConfigure, HostIsCopiedAndCutTo255Characters) {
  CConnection connection;
  const std::string longHost(300, 'h');
  connection.configure(longHost.c_str(), 5, 9, nullptr);
  EXPECT_EQ(std::string(connection.host()), std::string(255, 'h'));
  EXPECT_EQ(connection.port(), 5);
  EXPECT_EQ(connection.connectionId(), 9);
  EXPECT_EQ(connection.state(), CConnection::ReceiverState::NotRunning);
  connection.stop(); // not running: nothing to do
}

TEST(PictureRecordTest, TextFieldsAreBoundedAndNumbersLittleEndian) {
  PictureRecord record;
  record.setText(PictureRecord::kPictureNumberOffset, PictureRecord::kPictureNumberSize, "123456789");
  EXPECT_EQ(record.pictureNumber(), "1234567"); // size - 1 characters and a NUL
  // A field without a NUL ends at the field's end.
  std::memset(record.header + PictureRecord::kExtraText3Offset, 'z', 2);
  EXPECT_EQ(record.extraText3(), "zz");
  record.setResolutionLevel(0x01020304);
  EXPECT_EQ(record.header[192], 0x04);
  EXPECT_EQ(record.header[195], 0x01);
  EXPECT_EQ(record.resolutionLevel(), 0x01020304);
  record.header[190] = 0;
  EXPECT_FALSE(record.isVideoStandard576());
  record.header[190] = 2;
  EXPECT_TRUE(record.isVideoStandard576());
}

TEST(PictureRecordTest, CopyGrowsTheBlockAndKeepsItForSmallerPictures) {
  PictureRecord big, small, target;
  ASSERT_TRUE(big.reserve(1000));
  big.length = 1000;
  std::memset(big.data, 0xAB, 1000);
  big.sequence = 4;
  ASSERT_TRUE(small.reserve(10));
  small.length = 10;
  std::memset(small.data, 0xCD, 10);
  ASSERT_TRUE(target.copyFrom(big));
  EXPECT_EQ(target.capacity, 1000);
  EXPECT_EQ(target.sequence, 4);
  const std::uint8_t* block = target.data;
  ASSERT_TRUE(target.copyFrom(small));
  EXPECT_EQ(target.capacity, 1000);
  EXPECT_EQ(target.data, block);
  EXPECT_EQ(target.length, 10);
  EXPECT_EQ(target.data[9], 0xCD);
}

TEST_F(ConnectionReplyTest, BodyLargerThanAnyPictureIsRefused) {
  // The message itself may be that long (room for a text table), its picture may not.
  feed(picture({}, body(limits::kMaxPictureBytes + 1, 4)));
  EXPECT_FALSE(connection.receiveSlot.valid.load());
  EXPECT_LT(connection.receiveSlot.capacity, limits::kMaxPictureBytes);
  const auto messages = posted();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_STREQ(textOf(messages[0]), "Internal error!");
  feed(picture({}, body(limits::kMaxPictureBytes, 4))); // the largest picture is taken
  EXPECT_TRUE(connection.receiveSlot.valid.load());
}

TEST(PictureRecordMemory, GrowsToThePictureAndGivesBackAfterAFarLargerOne) {
  PictureRecord record;
  ASSERT_TRUE(record.reserve(100000));
  EXPECT_EQ(record.capacity, 100000);
  ASSERT_TRUE(record.reserve(60000)); // similar pictures reuse the block
  EXPECT_EQ(record.capacity, 100000);
  ASSERT_TRUE(record.reserve(3000000)); // a spike
  EXPECT_EQ(record.capacity, 3000000);
  ASSERT_TRUE(record.reserve(120000)); // the next ordinary picture gives it back
  EXPECT_EQ(record.capacity, 120000);
  EXPECT_FALSE(record.reserve(-1));
}
