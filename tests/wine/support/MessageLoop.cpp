#include "tests/wine/support/MessageLoop.h"
#include "tests/support/WaitUntil.h"

#include <windows.h>

namespace winetest {

void dispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& pump) {
  pump();
  return testsupport::waitUntil(done, std::chrono::milliseconds(timeoutMs), [&] {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    pump();
  });
}

} // namespace winetest
