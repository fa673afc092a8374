#include "tests/wine/activex/RecorderProcess.h"

#include "tests/wine/activex/ControlModule.h"

#include <sstream>

namespace activextest {

RecorderProcess::RecorderProcess(const std::vector<std::string>& servers) : serverCount_(servers.size()) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childInput = nullptr, childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inherit, 0) || !CreatePipe(&output_, &childOutput, &inherit, 0)) {
    failure_ = "cannot create pipes";
    return;
  }
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

  std::wstring command = L"\"" + besideThisProgram(L"activex_test_recorder.exe") + L"\"";
  for (const std::string& server : servers) command += L" " + std::wstring(server.begin(), server.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION created{};
  const BOOL ok =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &created);
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (!ok) {
    failure_ = "cannot start the recorder program";
    return;
  }
  CloseHandle(created.hThread);
  process_ = created.hProcess;

  std::string line;
  while (ports_.size() < serverCount_ && readLine(line)) {
    if (line.rfind("port ", 0) == 0)
      ports_.push_back(std::stoi(line.substr(5)));
    else
      failure_ = line;
  }
  if (ports_.size() < serverCount_ && failure_.empty()) failure_ = "the recorder program ended early";
}

RecorderProcess::~RecorderProcess() {
  if (input_) CloseHandle(input_); // end of its input: it ends
  if (process_ && WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
  if (process_) CloseHandle(process_);
  if (output_) CloseHandle(output_);
}

bool RecorderProcess::readLine(std::string& line) {
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pending_.erase(0, end + 1);
      return true;
    }
    char buffer[256];
    DWORD read = 0;
    if (!ReadFile(output_, buffer, sizeof buffer, &read, nullptr) || read == 0) return false;
    pending_.append(buffer, read);
  }
}

std::vector<long> RecorderProcess::connectionCounts() {
  const char command[] = "counts\n";
  DWORD written = 0;
  if (!input_ || !WriteFile(input_, command, sizeof command - 1, &written, nullptr)) return {};
  std::string line;
  if (!readLine(line) || line.rfind("counts", 0) != 0) return {};
  std::istringstream words(line.substr(6));
  std::vector<long> counts;
  for (long count; words >> count;) counts.push_back(count);
  return counts;
}

} // namespace activextest
