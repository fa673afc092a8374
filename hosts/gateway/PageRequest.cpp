#include "hosts/gateway/PageRequest.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace gateway {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decode(std::string_view text, bool plusIsSpace, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return false;
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else if (c == '+' && plusIsSpace) {
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  return true;
}

bool parseSize(std::string_view text, int& width, int& height) {
  const std::size_t x = text.find('x');
  std::int64_t w = 0, h = 0;
  if (x == std::string_view::npos || !parseInt(text.substr(0, x), kMinViewerSide, kMaxViewerSide, w) ||
      !parseInt(text.substr(x + 1), kMinViewerSide, kMaxViewerSide, h))
    return false;
  width = int(w);
  height = int(h);
  return true;
}

} // namespace

bool parseInt(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& value) {
  std::int64_t parsed = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

bool parseCameraSocketPath(std::string_view path, CameraSocketPath& out) {
  out = CameraSocketPath{};
  if (path.rfind(kCameraPathPrefix, 0) != 0) return false;
  path.remove_prefix(kCameraPathPrefix.size());
  const std::size_t slash = path.find('/');
  out.recorder = std::string(path.substr(0, slash));
  if (!validRecorderName(out.recorder)) return false;
  if (slash == std::string_view::npos) return true;
  std::int64_t id = 0;
  if (!parseInt(path.substr(slash + 1), INT32_MIN, INT32_MAX, id)) return false;
  out.connectionId = std::int32_t(id);
  return true;
}

bool parseTarget(std::string_view target, Target& out) {
  out = Target{};
  if (target.empty() || target.size() > kMaxTargetLength || target[0] != '/') return false;
  const std::size_t question = target.find('?');
  if (!decode(target.substr(0, question), false, out.path)) return false;
  if (question == std::string_view::npos) return true;
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    std::string name, value;
    if (!decode(pair.substr(0, equals), true, name)) return false;
    if (equals != std::string_view::npos && !decode(pair.substr(equals + 1), true, value)) return false;
    if (!name.empty()) out.query.emplace_back(std::move(name), std::move(value));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return true;
}

bool parsePageQuery(const Target& target, const GatewayOptions& options, PageQuery& page, std::string& error,
                    bool& unknownRecorder) {
  page = PageQuery{};
  unknownRecorder = false;
  for (const auto& [name, value] : target.query) {
    if (name == "recorder") {
      page.recorder = value;
    } else if (name == "id") {
      if (!parseIdList(value, std::size_t(kMaxViewersPerPage), page.ids)) {
        error = "id: whole numbers, at most " + std::to_string(kMaxViewersPerPage) + " viewers";
        return false;
      }
    } else if (name == "token") {
      page.token = value;
    } else if (name == "size") {
      if (!parseSize(value, page.width, page.height)) {
        error = "size: WxH with sides of " + std::to_string(kMinViewerSide) + " to " + std::to_string(kMaxViewerSide);
        return false;
      }
    }
  }
  if (page.recorder.empty()) {
    error = "recorder: name the recorder to watch";
    return false;
  }
  if (!validRecorderName(page.recorder) || !findRecorder(options, page.recorder)) {
    unknownRecorder = true;
    error = "unknown recorder '" + page.recorder + "'";
    return false;
  }
  if (page.ids.empty()) page.ids.push_back(0);
  return true;
}

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default:
      out.push_back(c);
    }
  }
  return out;
}

namespace {
// The element's script, with the two files it fetches as it starts named up front: the
// browser fetches them while it fetches the script, instead of after it.
constexpr const char* kViewerScriptTags = "<link rel=\"preload\" href=\"/camview-web.wasm\" as=\"fetch\" crossorigin>\n"
                                          "<link rel=\"preload\" href=\"/camview-web.js\" as=\"script\">\n"
                                          "<script src=\"/camview-viewer.js\"></script>";
} // namespace

std::string renderCameraPage(const PageQuery& page) {
  const std::string recorder = escapeHtml(page.recorder);
  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>camview: " + recorder +
                     "</title>\n<style>html,body{margin:0;padding:0;background:#000}"
                     "camview-viewer{display:inline-block;vertical-align:top}</style>\n" +
                     kViewerScriptTags + "</head><body>\n";
  for (std::int32_t id : page.ids) {
    html += "<camview-viewer recorder=\"" + recorder + "\" id=\"" + std::to_string(id) +
            "\" style=\"width:" + std::to_string(page.width) + "px;height:" + std::to_string(page.height) +
            "px\"></camview-viewer>";
  }
  html += "\n</body></html>\n";
  return html;
}

bool isCameraPageQuery(const Target& target) {
  for (const auto& [name, value] : target.query)
    if (name == "recorder") return true;
  return false;
}

bool parseWallQuery(const Target& target, WallQuery& wall, std::string& error) {
  wall = WallQuery{};
  for (const auto& [name, value] : target.query) {
    if (name == "page") {
      if (!parseInt(value, 1, kMaxWallPage, wall.page)) {
        error = "page: a page number from 1";
        return false;
      }
    } else if (name == "token") {
      wall.token = value;
    }
  }
  return true;
}

std::vector<WallCamera> wallCameras(const GatewayOptions& options, const AccessGrant* grant) {
  std::vector<WallCamera> cameras;
  for (const RecorderAddress& recorder : options.recorders)
    for (std::int32_t id : recorder.cameras)
      if (!grant || grant->allows(recorder.name, id)) cameras.push_back({recorder.name, id});
  return cameras;
}

std::int64_t wallPageCount(std::size_t cameras) {
  return std::max<std::int64_t>(1, (std::int64_t(cameras) + kMaxViewersPerPage - 1) / kMaxViewersPerPage);
}

namespace {

// A query value as a URL carries it: unreserved characters as they are, the rest %-escaped.
std::string encodeQueryValue(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

// A wall page's link to another page, with the signed link's token.
std::string wallPageLink(std::int64_t page, const std::string& tokenQuery) {
  return "/?page=" + std::to_string(page) + (tokenQuery.empty() ? "" : "&" + tokenQuery);
}

std::string renderTile(const WallCamera& camera, const std::string& tokenQuery) {
  const std::string recorder = escapeHtml(camera.recorder);
  const std::string id = std::to_string(camera.id);
  const std::string media = std::string(kCameraPathPrefix) + encodeQueryValue(camera.recorder) + "/" + id;
  const std::string suffix = tokenQuery.empty() ? "" : "?" + tokenQuery;
  std::string html = "<figure class=\"tile\" tabindex=\"0\">";
  html += "<camview-viewer recorder=\"" + recorder + "\" id=\"" + id + "\"></camview-viewer>";
  html += "<figcaption><span class=\"name\">" + recorder + " " + id + "</span>";
  html += "<span class=\"status\">connecting</span>";
  html += "<button type=\"button\" class=\"back\" title=\"back to the wall (Esc)\">wall</button>";
  html += "<details class=\"menu\"><summary title=\"links of this camera\">links</summary><div>";
  html += "<a class=\"snapshot\" href=\"" + escapeHtml(media + ".jpg" + suffix) +
          "\" target=\"_blank\">snapshot (JPEG)</a>";
  html += "<button type=\"button\" data-copy=\"snapshot\">copy</button>";
  html +=
      "<a class=\"stream\" href=\"" + escapeHtml(media + ".mjpg" + suffix) + "\" target=\"_blank\">stream (MJPEG)</a>";
  html += "<button type=\"button\" data-copy=\"stream\">copy</button>";
  html += "</div></details></figcaption></figure>\n";
  return html;
}

} // namespace

std::string renderWallPage(const std::vector<WallCamera>& cameras, const WallQuery& wall) {
  const std::string tokenQuery = wall.token.empty() ? "" : "token=" + encodeQueryValue(wall.token);
  const std::int64_t pages = wallPageCount(cameras.size());
  const std::size_t first = std::size_t(std::clamp<std::int64_t>(wall.page - 1, 0, pages - 1)) * kMaxViewersPerPage;
  const std::size_t end = std::min(cameras.size(), first + kMaxViewersPerPage);

  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                     "<meta name=\"viewport\" content=\"width=device-width\"><title>camview wall</title>\n"
                     "<link rel=\"stylesheet\" href=\"/camview-wall.css\">\n" +
                     std::string(kViewerScriptTags) +
                     "\n<script src=\"/camview-wall.js\" defer></script></head><body>\n"
                     "<header><h1>Cameras</h1>";
  if (pages > 1) {
    const std::int64_t page = std::int64_t(first / kMaxViewersPerPage) + 1;
    html += "<nav>";
    if (page > 1)
      html += "<a rel=\"prev\" href=\"" + escapeHtml(wallPageLink(page - 1, tokenQuery)) + "\">previous</a>";
    html += "<span>page " + std::to_string(page) + " of " + std::to_string(pages) + "</span>";
    if (page < pages)
      html += "<a rel=\"next\" href=\"" + escapeHtml(wallPageLink(page + 1, tokenQuery)) + "\">next</a>";
    html += "</nav>";
  }
  html += "</header>\n<main>\n";
  if (first == end) html += "<p>No cameras.</p>\n";
  // One section per recorder, in command-line order; a recorder split across pages has a
  // section on each.
  for (std::size_t i = first; i < end; ++i) {
    if (i == first || cameras[i].recorder != cameras[i - 1].recorder)
      html += "<section><h2>" + escapeHtml(cameras[i].recorder) + "</h2><div class=\"tiles\">\n";
    html += renderTile(cameras[i], tokenQuery);
    if (i + 1 == end || cameras[i + 1].recorder != cameras[i].recorder) html += "</div></section>\n";
  }
  html += "</main></body></html>\n";
  return html;
}

const std::vector<const char*>& staticFileNames() {
  static const std::vector<const char*> names = {"camview-viewer.js", "camview-web.js",  "camview-web.worker.js",
                                                 "camview-web.wasm",  "camview-wall.js", "camview-wall.css"};
  return names;
}

const char* staticFileType(std::string_view name) {
  if (name == "camview-viewer.js" || name == "camview-web.js" || name == "camview-web.worker.js" ||
      name == "camview-wall.js")
    return "text/javascript";
  if (name == "camview-wall.css") return "text/css";
  if (name == "camview-web.wasm") return "application/wasm";
  return nullptr;
}

} // namespace gateway
