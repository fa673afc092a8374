#pragma once
// Status indices carried in wParam of messages kMsgStatus and kMsgStatusIndex; the window side turns them
// into language keys.
#include <cstdint>

enum StatusIndex : int {
  kStatusCommClosed = 0,      // "err_commclosed"
  kStatusSocket = 1,          // "err_socket"
  kStatusDecompressError = 2, // "decompresserror"
  kStatusMemory = 3,          // "err_mem"
  kStatusThread = 4,          // "err_thread"
  kStatusUnknown = 5,         // "err_unknown"
  kStatusEstablished = 6,     // "info_establish"
};

// A recorder error shown by kMsgStatus travels as its error code in lParam, never as a text
// pointer: the window side looks the text up in its own language table, so nothing a
// message carries is ever read as an address. Codes outside 2000..2014 travel as
// kErrorCodeUnknown; kMsgStatus with any other non-zero lParam is not one of ours.
constexpr std::int32_t kErrorCodeFirst = 2000;
constexpr std::int32_t kErrorCodeLast = 2014;
constexpr std::int32_t kErrorCodeInternal = 2001; // "zemerr_intern": a picture that cannot be stored
constexpr std::int32_t kErrorCodeUnknown = 2015;  // "zemerr_unknown"

constexpr std::intptr_t errorCodeParam(std::int32_t code) {
  return code >= kErrorCodeFirst && code <= kErrorCodeLast ? code : kErrorCodeUnknown;
}
constexpr bool isErrorCodeParam(std::intptr_t lParam) {
  return lParam >= kErrorCodeFirst && lParam <= kErrorCodeUnknown;
}
