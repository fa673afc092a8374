#include "engine/Protocol.h"
#include "engine/TaggedMessage.h"
#include "tests/support/ProtocolMessages.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;

namespace {

class TaggedMessageTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(protocol::defineMessage(message)); }
  CTaggedMessage message;
};

Bytes wordBytes(std::uint32_t word) {
  Bytes bytes;
  appendInt32(bytes, std::int32_t(word));
  return bytes;
}

} // namespace

TEST(TagWord, FourCharactersAreTheBytesInOrder) {
  EXPECT_EQ(wordBytes(CTaggedMessage::tagWord("PLPR")), (Bytes{0x50, 0x4C, 0x50, 0x52}));
  EXPECT_EQ(wordBytes(CTaggedMessage::tagWord("HEAD")), (Bytes{'H', 'E', 'A', 'D'}));
}

TEST(TagWord, ShortTextsFillTheHighBytes) {
  EXPECT_EQ(wordBytes(CTaggedMessage::tagWord("A")), (Bytes{0, 0, 0, 0x41}));
  EXPECT_EQ(wordBytes(CTaggedMessage::tagWord("AB")), (Bytes{0, 0, 'A', 'B'}));
  EXPECT_EQ(CTaggedMessage::tagWord(""), 0u);
  // Only the first four characters count.
  EXPECT_EQ(CTaggedMessage::tagWord("PLPRX"), CTaggedMessage::tagWord("PLPR"));
}

TEST(GrowableArray, GrowsByTenAndClears) {
  GrowableArray<int> array;
  EXPECT_EQ(array.capacity(), 0);
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(array.append(i * 3));
  EXPECT_EQ(array.count(), 11);
  EXPECT_EQ(array.capacity(), 20);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(array[i], i * 3);
  // Emptied for reuse: a block within the limit stays, a larger one goes.
  array.clearKeeping(20);
  EXPECT_EQ(array.count(), 0);
  EXPECT_EQ(array.capacity(), 20);
  ASSERT_TRUE(array.append(5));
  EXPECT_EQ(array[0], 5);
  array.clearKeeping(10);
  EXPECT_EQ(array.capacity(), 0);
  ASSERT_TRUE(array.append(1));
  array.clear();
  EXPECT_EQ(array.count(), 0);
  EXPECT_EQ(array.capacity(), 0);
}

TEST_F(TaggedMessageTest, DefineGivesIdsInOrder) {
  EXPECT_EQ(message.tag(), CTaggedMessage::tagWord("PLPR"));
  EXPECT_EQ(message.definitionCount(), 4);
  EXPECT_EQ(message.messageId(), 0);
}

TEST_F(TaggedMessageTest, BuildsOnePdatItemAsThirtyTwoBytes) {
  ASSERT_TRUE(message.beginMessage());
  const Bytes data = pdat(2, 0, 7, 0);
  ASSERT_TRUE(message.addItem(protocol::kItemPdat, data.data(), 16));
  Bytes expected = rawMessage("PLPR", 32, rawItem("PDAT", 16, data));
  ASSERT_EQ(message.length(), 32);
  EXPECT_EQ(Bytes(message.bytes(), message.bytes() + 32), expected);
  // The buffer grows to exactly the size needed.
  EXPECT_EQ(message.capacity(), 32);
  ASSERT_EQ(message.itemCount(), 1);
  EXPECT_EQ(message.item(0).dataOffset, 16);
  EXPECT_EQ(message.item(0).dataLength, 16);
}

TEST_F(TaggedMessageTest, BuildingRejectsUnknownIdsAndNegativeLengths) {
  ASSERT_TRUE(message.beginMessage());
  const std::uint8_t byte = 1;
  EXPECT_FALSE(message.addItem(9, &byte, 1));
  EXPECT_FALSE(message.addItem(protocol::kItemBody, &byte, -1));
  EXPECT_EQ(message.length(), 8);
  EXPECT_TRUE(message.addItem(protocol::kItemBody, nullptr, 0)); // empty items are allowed
  EXPECT_EQ(message.length(), 16);
  // A new message starts over, reusing the buffer.
  ASSERT_TRUE(message.beginMessage());
  EXPECT_EQ(message.length(), 8);
  EXPECT_EQ(message.itemCount(), 0);
  EXPECT_EQ(le::readI32(message.bytes() + 4), 8);
}

TEST_F(TaggedMessageTest, ReplyWithAllItemsRoundTrips) {
  const Bytes lang = langItem(0, 1, 1, {{{0, 0}, "x"}});
  const Bytes bytes = buildMessage({{protocol::kItemPdat, pdat(5, 0, 0, 1)},
                                    {protocol::kItemHead, head()},
                                    {protocol::kItemBody, body(100, 3)},
                                    {protocol::kItemLang, lang}});
  CTaggedMessage parser;
  ASSERT_TRUE(protocol::defineMessage(parser));
  ASSERT_TRUE(parser.parseHeader(bytes.data(), std::int32_t(bytes.size())));
  ASSERT_EQ(parser.length(), std::int32_t(bytes.size()));
  ASSERT_TRUE(parser.parseItems(bytes.data(), parser.length()));
  ASSERT_EQ(parser.itemCount(), 4);
  const std::int32_t ids[] = {protocol::kItemPdat, protocol::kItemHead, protocol::kItemBody, protocol::kItemLang};
  const std::int32_t lengths[] = {16, 208, 100, std::int32_t(lang.size())};
  std::int32_t offset = 8;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(parser.item(i).id, ids[i]);
    EXPECT_EQ(parser.item(i).dataOffset, offset + 8);
    EXPECT_EQ(parser.item(i).dataLength, lengths[i]);
    offset += 8 + lengths[i];
  }
  const Bytes expectedBody = body(100, 3);
  EXPECT_EQ(0, std::memcmp(bytes.data() + parser.item(2).dataOffset, expectedBody.data(), 100));
}

TEST_F(TaggedMessageTest, HeaderChecksTagAndSizeButNotTheLength) {
  const Bytes good = rawMessage("PLPR", -5, {});
  EXPECT_TRUE(message.parseHeader(good.data(), 8));
  EXPECT_EQ(message.length(), -5);
  EXPECT_FALSE(message.parseHeader(good.data(), 7));
  const Bytes wrong = rawMessage("PLPX", 8, {});
  EXPECT_FALSE(message.parseHeader(wrong.data(), 8));
}

TEST_F(TaggedMessageTest, MessagesWithoutRoomForItemDataHaveNoItems) {
  Bytes eight = rawMessage("PLPR", 8, {});
  EXPECT_TRUE(message.parseItems(eight.data(), 8));
  EXPECT_EQ(message.itemCount(), 0);
  // 8 + 8 < 16 is false: the empty item is not walked.
  Bytes sixteen = rawMessage("PLPR", 16, rawItem("PDAT", 0, {}));
  EXPECT_TRUE(message.parseItems(sixteen.data(), 16));
  EXPECT_EQ(message.itemCount(), 0);
}

TEST_F(TaggedMessageTest, UndefinedItemsAreSkipped) {
  Bytes items = rawItem("PDAT", 16, pdat(5));
  const Bytes unknown = rawItem("XTRA", 3, {1, 2, 3});
  items.insert(items.end(), unknown.begin(), unknown.end());
  const Bytes lang = rawItem("LANG", 4, {9, 9, 9, 9});
  items.insert(items.end(), lang.begin(), lang.end());
  const Bytes bytes = rawMessage("PLPR", std::int32_t(8 + items.size()), items);
  ASSERT_TRUE(message.parseItems(bytes.data(), std::int32_t(bytes.size())));
  ASSERT_EQ(message.itemCount(), 2);
  EXPECT_EQ(message.item(0).id, protocol::kItemPdat);
  EXPECT_EQ(message.item(0).dataOffset, 16);
  EXPECT_EQ(message.item(1).id, protocol::kItemLang);
  EXPECT_EQ(message.item(1).dataOffset, 8 + 24 + 11 + 8);
  EXPECT_EQ(message.item(1).dataLength, 4);
}

TEST_F(TaggedMessageTest, NegativeItemLengthRejectsTheMessage) {
  Bytes items = rawItem("PDAT", 16, pdat(5));
  const Bytes bad = rawItem("BODY", -1, {0, 0, 0, 0});
  items.insert(items.end(), bad.begin(), bad.end());
  const Bytes bytes = rawMessage("PLPR", std::int32_t(8 + items.size()), items);
  EXPECT_FALSE(message.parseItems(bytes.data(), std::int32_t(bytes.size())));
}

TEST_F(TaggedMessageTest, ItemRunningPastTheMessageIsNeverListed) {
  Bytes items = rawItem("PDAT", 16, pdat(5));
  const Bytes overlong = rawItem("BODY", 1000, {1, 2, 3, 4});
  items.insert(items.end(), overlong.begin(), overlong.end());
  const Bytes bytes = rawMessage("PLPR", std::int32_t(8 + items.size()), items);
  ASSERT_TRUE(message.parseItems(bytes.data(), std::int32_t(bytes.size())));
  ASSERT_EQ(message.itemCount(), 1);
  EXPECT_EQ(message.item(0).id, protocol::kItemPdat);

  // Lengths near 2^31 must not wrap the walk around.
  Bytes huge = rawItem("BODY", 0x7FFFFFF8, {1, 2, 3, 4});
  const Bytes hugeMessage = rawMessage("PLPR", std::int32_t(8 + huge.size()), huge);
  ASSERT_TRUE(message.parseItems(hugeMessage.data(), std::int32_t(hugeMessage.size())));
  EXPECT_EQ(message.itemCount(), 0);
}

TEST_F(TaggedMessageTest, ParsesARequestAsTheRecorderDoes) {
  CTaggedMessage builder;
  ASSERT_TRUE(protocol::defineMessage(builder));
  ASSERT_TRUE(builder.beginMessage());
  std::uint8_t words[16];
  ReplyStatus status;
  status.words[0] = protocol::kRequestNext;
  protocol::encodePdat(status, words);
  ASSERT_TRUE(builder.addItem(protocol::kItemPdat, words, 16));
  ASSERT_TRUE(message.parseHeader(builder.bytes(), builder.length()));
  ASSERT_TRUE(message.parseItems(builder.bytes(), message.length()));
  ASSERT_EQ(message.itemCount(), 1);
  const ReplyStatus decoded = protocol::decodePdat(builder.bytes() + message.item(0).dataOffset, 16);
  EXPECT_EQ(decoded.words[0], protocol::kRequestNext);
}

TEST(Pdat, ShortItemLeavesMissingWordsZero) {
  const Bytes bytes = pdat(12, 1, 2, 2005);
  const ReplyStatus full = protocol::decodePdat(bytes.data(), 16);
  EXPECT_EQ(full.words[3], 2005);
  const ReplyStatus shortened = protocol::decodePdat(bytes.data(), 6);
  EXPECT_EQ(shortened.words[0], 12);
  EXPECT_EQ(shortened.words[1], 1); // its low two bytes were there
  EXPECT_EQ(shortened.words[2], 0);
  EXPECT_EQ(shortened.words[3], 0);
}

TEST_F(TaggedMessageTest, ClearEmptiesEverything) {
  ASSERT_TRUE(message.beginMessage());
  message.clear(true);
  EXPECT_EQ(message.tag(), 0u);
  EXPECT_EQ(message.length(), 0);
  EXPECT_EQ(message.capacity(), 0);
  EXPECT_EQ(message.definitionCount(), 0);
}

// The suites' reader of what a gateway or recorder under test sends: a message passes only
// when it is one "PLPR" message whose known items fill it exactly.
TEST(WholeMessageReader, AcceptsOnlyMessagesItsItemsFill) {
  const Bytes item = rawItem("PDAT", 16, pdat(5, 0, 0, 1));
  Bytes trailing = rawMessage("PLPR", 8 + 24 + 1, item);
  trailing.push_back(0);
  const struct {
    const char* what;
    Bytes bytes;
    bool accepted;
  } cases[] = {
      {"well formed", buildMessage({{protocol::kItemPdat, pdat(5, 0, 0, 1)}, {protocol::kItemBody, {1, 2, 3}}}), true},
      {"no items", rawMessage("PLPR", 8, {}), true},
      {"a byte after the last item", trailing, false},
      {"header length too large", rawMessage("PLPR", 8 + 24 + 4, item), false},
      {"item running past the end", rawMessage("PLPR", 8 + 24, rawItem("PDAT", 17, pdat(5))), false},
      {"unknown item", rawMessage("PLPR", 8 + 12, rawItem("XXXX", 4, {1, 2, 3, 4})), false},
      {"other message tag", rawMessage("PLPX", 8 + 24, item), false},
      {"shorter than a header", Bytes{'P', 'L', 'P'}, false},
  };
  for (const auto& c : cases) {
    Message message;
    EXPECT_EQ(parseMessage(c.bytes, message), c.accepted) << c.what;
  }
  Message message;
  ASSERT_TRUE(parseMessage(cases[0].bytes, message));
  EXPECT_EQ(message.code(), 5);
  ASSERT_NE(message.find("BODY"), nullptr);
  EXPECT_EQ(*message.find("BODY"), (Bytes{1, 2, 3}));
  EXPECT_EQ(message.find("LANG"), nullptr);
}
