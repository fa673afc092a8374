// The recorder's side of the wire: message building, request framing, picture headers.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/MessageWriter.h"
#include "engine/PictureRecord.h"
#include "engine/RequestReader.h"
#include "recorder/server/PictureHeader.h"

using namespace protocol;
using namespace recorder;

namespace {

std::vector<std::uint8_t> request(std::int32_t code, std::int32_t word2 = 0) { return requestMessage(code, word2); }

RequestReader::Result feed(RequestReader& reader, const std::vector<std::uint8_t>& bytes, ReplyStatus& words) {
  reader.append(bytes.data(), bytes.size());
  return reader.next(words);
}

} // namespace

TEST(RecorderWire, OpenRequestHasTheDocumentedBytes) {
  const auto bytes = request(kRequestOpen, 7);
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(std::memcmp(bytes.data(), "PLPR", 4), 0);
  EXPECT_EQ(le::readU32(bytes.data() + 4), 32u);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "PDAT", 4), 0);
  EXPECT_EQ(le::readU32(bytes.data() + 12), 16u);
  EXPECT_EQ(le::readU32(bytes.data() + 16), 2u);
  EXPECT_EQ(le::readU32(bytes.data() + 24), 7u);
}

TEST(RecorderWire, ShortTagsKeepTheirCharactersInTheHighBytes) {
  EXPECT_EQ(CTaggedMessage::tagWord("A"), 0x41000000u);
  EXPECT_EQ(CTaggedMessage::tagWord("PLPR"), static_cast<std::uint32_t>('P' | 'L' << 8 | 'P' << 16 | 'R' << 24));
}

TEST(RecorderWire, TheViewersParserReadsOurRepliesItemByItem) {
  // The writer (any tag, whole messages) and the viewer's parser must agree.
  const std::uint8_t head[kPictureHeaderSize] = {1, 2, 3};
  const std::vector<std::uint8_t> body(1000, 0x5A);
  MessageWriter writer;
  writer.addPdat(kReplyEstablished, 0, 0, 1)
      .addItem(kTagHead, head, sizeof head)
      .addItem(CTaggedMessage::tagWord("ZZZZ"), "x", 1);
  writer.addItem(kTagBody, body.data(), body.size());
  const auto& bytes = writer.bytes();

  CTaggedMessage parser;
  ASSERT_TRUE(defineMessage(parser));
  ASSERT_TRUE(parser.parseHeader(bytes.data(), 8));
  ASSERT_TRUE(parser.parseItems(bytes.data(), static_cast<std::int32_t>(bytes.size())));
  ASSERT_EQ(parser.itemCount(), 3); // the unknown item is skipped
  EXPECT_EQ(parser.item(0).id, protocol::kItemPdat);
  EXPECT_EQ(parser.item(1).id, protocol::kItemHead);
  EXPECT_EQ(parser.item(1).dataLength, 208);
  EXPECT_EQ(parser.item(2).id, protocol::kItemBody);
  EXPECT_EQ(parser.item(2).dataLength, 1000);
  EXPECT_EQ(parser.item(2).dataOffset + 1000, static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(bytes[static_cast<std::size_t>(parser.item(2).dataOffset)], 0x5A);

  // A relayed picture: the same two items, the total length in front.
  const auto picture = pictureMessage(head, body.data(), body.size());
  ASSERT_TRUE(parser.parseItems(picture.data(), static_cast<std::int32_t>(picture.size())));
  ASSERT_EQ(parser.itemCount(), 2);
  EXPECT_EQ(parser.item(0).id, protocol::kItemHead);
  EXPECT_EQ(parser.item(1).dataLength, 1000);
  EXPECT_EQ(le::readU32(picture.data() + 4), picture.size());
}

TEST(RecorderRequestReader, AssemblesRequestsFromAnySplitOfTheStream) {
  std::vector<std::uint8_t> stream = request(kRequestOpen, 42);
  const auto next = request(kRequestNext);
  stream.insert(stream.end(), next.begin(), next.end());
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    RequestReader reader;
    ReplyStatus words;
    std::vector<ReplyStatus> got;
    reader.append(stream.data(), split);
    while (reader.next(words) == RequestReader::Result::Request) got.push_back(words);
    reader.append(stream.data() + split, stream.size() - split);
    while (reader.next(words) == RequestReader::Result::Request) got.push_back(words);
    ASSERT_EQ(got.size(), 2u) << "split at " << split;
    EXPECT_EQ(got[0].words[0], kRequestOpen);
    EXPECT_EQ(got[0].words[2], 42);
    EXPECT_EQ(got[1].words[0], kRequestNext);
  }
}

TEST(RecorderRequestReader, StepsOverForeignBytesEightAtATime) {
  RequestReader reader;
  ReplyStatus words;
  std::vector<std::uint8_t> stream(16, 0xEE);
  const auto open = request(kRequestOpen, 3);
  stream.insert(stream.end(), open.begin(), open.end());
  reader.append(stream.data(), stream.size());
  EXPECT_EQ(reader.next(words), RequestReader::Result::Skipped);
  EXPECT_EQ(reader.next(words), RequestReader::Result::Skipped);
  ASSERT_EQ(reader.next(words), RequestReader::Result::Request);
  EXPECT_EQ(words.words[2], 3);
  EXPECT_EQ(reader.next(words), RequestReader::Result::NeedMore);
}

TEST(RecorderRequestReader, RejectsImpossibleLengthsForGood) {
  for (std::uint32_t total : {0u, 7u, static_cast<std::uint32_t>(kMaxRequestBytes + 1), 0x80000000u}) {
    RequestReader reader;
    ReplyStatus words;
    auto bytes = request(kRequestOpen);
    le::writeU32(bytes.data() + 4, total);
    EXPECT_EQ(feed(reader, bytes, words), RequestReader::Result::Invalid) << total;
    const auto good = request(kRequestOpen);
    EXPECT_EQ(feed(reader, good, words), RequestReader::Result::Invalid);
  }
}

TEST(RecorderRequestReader, DistrustsItemsThatDoNotFitTheirMessage) {
  ReplyStatus words;
  {
    RequestReader reader; // PDAT claims 17 bytes in a 32-byte message
    auto bytes = request(kRequestOpen);
    le::writeU32(bytes.data() + 12, 17);
    EXPECT_EQ(feed(reader, bytes, words), RequestReader::Result::Ignored);
  }
  {
    RequestReader reader; // negative item length
    auto bytes = request(kRequestOpen);
    le::writeU32(bytes.data() + 12, 0xFFFFFFF0u);
    EXPECT_EQ(feed(reader, bytes, words), RequestReader::Result::Ignored);
  }
  {
    RequestReader reader; // a PDAT too short to hold four words
    MessageWriter writer;
    const std::uint8_t eight[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    writer.addItem(kTagPdat, eight, sizeof eight);
    EXPECT_EQ(feed(reader, writer.bytes(), words), RequestReader::Result::Ignored);
  }
  {
    RequestReader reader; // a PDAT after an unknown item still counts
    MessageWriter writer;
    writer.addItem(CTaggedMessage::tagWord("JUNK"), "abc", 3).addPdat(kRequestNext, 0, 0, 0);
    ASSERT_EQ(feed(reader, writer.bytes(), words), RequestReader::Result::Request);
    EXPECT_EQ(words.words[0], kRequestNext);
  }
}

TEST(RecorderPictureHeader, PutsEveryFieldWhereTheViewerReadsIt) {
  PictureHeaderFields fields;
  fields.date = "08.12.26";
  fields.time = "01:02:03";
  fields.shortText = "LIVE";
  fields.camera = "Entrance";
  fields.info = "test pattern";
  fields.number = "1234";
  fields.mark = "A";
  fields.standard576 = false;
  fields.level = 3;
  const auto bytes = buildPictureHeader(fields);

  PictureRecord record;
  std::memcpy(record.header, bytes.data(), bytes.size());
  EXPECT_EQ(record.date(), "08.12.26");
  EXPECT_EQ(record.time(), "01:02:03");
  EXPECT_EQ(record.extraText1(), "LIVE");
  EXPECT_EQ(record.camera(), "Entrance");
  EXPECT_EQ(record.extraText2(), "test pattern");
  EXPECT_EQ(record.pictureNumber(), "1234");
  EXPECT_EQ(record.extraText3(), "A");
  EXPECT_FALSE(record.isVideoStandard576());
  EXPECT_EQ(record.resolutionLevel(), 3);
  EXPECT_EQ(record.reservedWord(), 0);
  EXPECT_EQ(bytes[196], 0);

  fields.standard576 = true;
  EXPECT_NE(buildPictureHeader(fields)[kHeaderStandardOffset], 0);
}

TEST(RecorderPictureHeader, CutsLongTextsInsideTheirFields) {
  PictureHeaderFields fields;
  fields.camera = std::string(100, 'C');
  fields.shortText = "ABCDEFGHIJ";
  fields.mark = "XY";
  fields.number = "123456789";
  const auto bytes = buildPictureHeader(fields);
  EXPECT_EQ(headerText(bytes, kHeaderCamera), std::string(31, 'C'));
  EXPECT_EQ(headerText(bytes, kHeaderShortText), "ABCDEFG");
  EXPECT_EQ(headerText(bytes, kHeaderMark), "X");
  EXPECT_EQ(headerText(bytes, kHeaderNumber), "1234567");
  EXPECT_EQ(bytes[kHeaderInfo.offset], 0); // the neighbour of the camera field is untouched
}
