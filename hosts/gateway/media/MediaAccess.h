#pragma once
// Whether a client may have a camera's JPEGs: the one place the snapshot and MJPEG
// responders ask. It admits what the WebSocket path admits today (any client that reached
// the gateway, for any camera of a recorder it relays; the recorder itself is checked when
// the camera is joined); a credential check shared with the WebSocket path belongs here.
#include "hosts/gateway/media/MediaQuery.h"

#include <boost/beast/http.hpp>

#include <string>

namespace gateway::media {

inline bool mediaAllowed(const boost::beast::http::request<boost::beast::http::string_body>& /*request*/,
                         const MediaRequest& /*media*/, std::string& /*reason*/) {
  return true;
}

} // namespace gateway::media
