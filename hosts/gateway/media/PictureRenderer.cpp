#include "hosts/gateway/media/PictureRenderer.h"

#include "decoder/WaveletEngine.h"
#include "engine/Protocol.h"
#include "engine/TaggedMessage.h"
#include "platform/paint/FontResource.h"
#include "presentation/FontIds.h"
#include "presentation/FrameLayout.h"
#include "presentation/PictureDecode.h"
#include "presentation/Scaler.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace gateway::media {

PictureRenderer::PictureRenderer(CLanguageTable& language) : language_(language) {}

PictureRenderer::~PictureRenderer() = default;

int PictureRenderer::levelFor(int width, int pictureLevel) {
  const presentation::SizeTable sizes;
  int level = pictureLevel;
  while (width > 0 && level + 1 < presentation::kResolutionLevels && sizes.decodedWidth[level + 1] >= width) ++level;
  return level;
}

bool PictureRenderer::takeMessage(const std::uint8_t* message, std::size_t length, std::string& reason) {
  reason = "not a picture";
  CTaggedMessage parser;
  protocol::defineMessage(parser);
  if (length > std::size_t(INT32_MAX)) return false;
  const auto total = static_cast<std::int32_t>(length);
  if (!parser.parseHeader(message, total) || parser.length() != total || !parser.parseItems(message, total))
    return false;
  const CTaggedMessage::ItemEntry* head = nullptr;
  const CTaggedMessage::ItemEntry* body = nullptr;
  for (std::int32_t i = 0; i < parser.itemCount(); ++i) {
    const CTaggedMessage::ItemEntry& item = parser.item(i);
    if (item.id == protocol::kItemHead) head = &item;
    if (item.id == protocol::kItemBody) body = &item;
  }
  if (!head || !body || head->dataLength != PictureRecord::kHeaderSize || body->dataLength <= 0) return false;
  std::memcpy(record_.header, message + head->dataOffset, PictureRecord::kHeaderSize);
  if (!record_.reserve(body->dataLength)) {
    reason = "no memory for the picture";
    return false;
  }
  std::memcpy(record_.data, message + body->dataOffset, std::size_t(body->dataLength));
  record_.length = body->dataLength;
  if (!presentation::SizeTable::validLevel(record_.resolutionLevel())) {
    reason = "the picture's resolution level is unknown";
    return false;
  }
  return true;
}

const PictureRenderer::Frame* PictureRenderer::decoded(int level) {
  Frame& frame = levels_[level];
  if (levelDone_[level]) return frame.width > 0 ? &frame : nullptr;
  levelDone_[level] = true;
  frame.width = frame.height = 0;
  if (!engine_) engine_ = wavelet::createWaveletEngine();
  if (!engine_) return nullptr;
  frame.bits.resize(presentation::kFrameBytes);
  presentation::DecodeRequest request;
  request.maxWidth = presentation::kDecoderMaxWidth;
  request.maxHeight = sizes_.heights(record_.isVideoStandard576())[0];
  request.columnLimit = sizes_.columnLimit[level];
  request.skipLevels = level;
  const presentation::DecodeOutcome outcome =
      presentation::decodePicture(record_, request, *engine_, frame.bits.data(), frame.bits.size());
  ++decodes_;
  if (!outcome.ok) return nullptr;
  frame.width = outcome.width;
  frame.height = outcome.height;
  return &frame;
}

const PictureRenderer::Frame* PictureRenderer::scaled(int width) {
  Frame& frame = scaled_[width];
  if (frame.picture == picture_) return frame.width > 0 ? &frame : nullptr;
  frame.picture = picture_;
  frame.width = frame.height = 0;
  const Frame* source = decoded(levelFor(width, record_.resolutionLevel()));
  if (!source) return nullptr;
  // Never enlarged: a client wanting more than there is gets the picture as it is.
  const int outWidth = std::min(width > 0 ? width : source->width, source->width);
  const int outHeight =
      outWidth == source->width
          ? source->height
          : std::max(1, int((std::int64_t(source->height) * outWidth + source->width / 2) / source->width));
  frame.bits.resize(std::size_t(presentation::frameStride(outWidth)) * outHeight);
  presentation::scaleNearest(source->bits.data(), source->width, source->height, frame.bits.data(), outWidth,
                             outHeight);
  frame.width = outWidth;
  frame.height = outHeight;
  return &frame;
}

JpegBytes PictureRenderer::encode(const Frame& frame, const RenderSpec& spec) {
  const Frame* picture = &frame;
  if (spec.overlay) {
    if (!overlay_ && !overlayFailed_) {
      overlay_ = std::make_unique<Overlay>();
      overlay_->setResources(paint::moduleOfThisCode(), presentation::kControlFontIds);
      overlayFailed_ = !overlay_->initOverlay(&language_);
    }
    if (overlayFailed_) return nullptr;
    marked_.width = frame.width;
    marked_.height = frame.height;
    marked_.bits = frame.bits;
    overlay_->setDestination(frame.width, frame.height, marked_.bits.data());
    overlay_->setRecord(&record_);
    overlay_->drawOverlay(true);
    overlay_->setRecord(nullptr);
    picture = &marked_;
  }
  ++encodes_;
  if (!encoder_.encode(picture->bits.data(), picture->width, picture->height, presentation::frameStride(picture->width),
                       spec.quality, jpeg_))
    return nullptr;
  return std::make_shared<const std::vector<std::uint8_t>>(jpeg_);
}

bool PictureRenderer::render(const std::uint8_t* message, std::size_t length, const std::vector<RenderSpec>& specs,
                             std::vector<JpegBytes>& jpegs, std::string& reason) {
  jpegs.assign(specs.size(), nullptr);
  if (!takeMessage(message, length, reason)) return false;
  std::fill(std::begin(levelDone_), std::end(levelDone_), false);
  ++picture_;
  // Specs that come out the same (a width beyond the picture's and none at all) share one
  // encode.
  std::map<std::tuple<int, int, bool>, JpegBytes> done;
  bool any = false;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const Frame* frame = scaled(specs[i].width);
    if (!frame) continue;
    any = true;
    const auto key = std::make_tuple(frame->width, specs[i].quality, specs[i].overlay);
    auto found = done.find(key);
    if (found == done.end()) found = done.emplace(key, encode(*frame, specs[i])).first;
    jpegs[i] = found->second;
  }
  std::erase_if(scaled_, [this](const auto& entry) { return entry.second.picture != picture_; });
  if (!any) reason = "the picture does not decode";
  return any;
}

} // namespace gateway::media
