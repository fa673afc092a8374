#include "recorder/server/StatusLog.h"

namespace recorder {

void StatusLog::line(const std::string& text) {
  if (quiet_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  out_ << "camview-recorder: " << text << '\n';
  out_.flush();
}

} // namespace recorder
