#pragma once
// Status indices carried in wParam of messages 1026 and 1027; the window side turns them
// into language keys.
enum StatusIndex : int {
  kStatusCommClosed = 0,      // "err_commclosed"
  kStatusSocket = 1,          // "err_socket"
  kStatusDecompressError = 2, // "decompresserror"
  kStatusMemory = 3,          // "err_mem"
  kStatusThread = 4,          // "err_thread"
  kStatusUnknown = 5,         // "err_unknown"
  kStatusEstablished = 6,     // "info_establish"
};
