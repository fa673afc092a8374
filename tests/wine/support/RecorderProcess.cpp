#include "tests/wine/support/RecorderProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace winetest {
namespace {

// The program's path as the build gave it (a Windows path of the build folder).
std::wstring recorderProgram() {
  const std::string path = CAMVIEW_TEST_RECORDER;
  return std::wstring(path.begin(), path.end());
}

std::wstring quoted(const std::string& argument) {
  return L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
}

} // namespace

RecorderProcess::RecorderProcess(const std::vector<std::string>& servers) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inheritable, 0) || !CreatePipe(&output_, &childOutput, &inheritable, 0)) {
    failure_ = "no pipes";
    return;
  }
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

  const std::wstring program = recorderProgram();
  std::wstring commandLine = L"\"" + program + L"\"";
  for (const std::string& argument : servers) commandLine += quoted(argument);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE); // its complaints show in the test's log
  const BOOL created = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process_);
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (!created) {
    failure_ = "cannot start the recorder program (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  // "port N" for each server, then "ready"; or "error TEXT".
  std::string line;
  while (readLine(line) && line != "ready") {
    if (line.rfind("port ", 0) == 0)
      ports_.push_back(std::atoi(line.c_str() + 5));
    else
      failure_ += line + "\n";
  }
  if (line != "ready" && failure_.empty()) failure_ = "the recorder program ended early";
  if (!failure_.empty()) ports_.clear();
}

RecorderProcess::~RecorderProcess() {
  if (input_) CloseHandle(input_); // the end of its input: it stops
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    // A recorder that crashed or hung changed what the test saw.
    if (code != 0 && started()) ADD_FAILURE() << "the recorder program ended with code " << code;
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
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
    if (!output_ || !ReadFile(output_, buffer, sizeof buffer, &read, nullptr) || read == 0) return false;
    pending_.append(buffer, read);
  }
}

std::vector<long> RecorderProcess::connectionCounts() {
  const char command[] = "counts\n";
  DWORD written = 0;
  if (!started() || !WriteFile(input_, command, sizeof command - 1, &written, nullptr)) return {};
  std::string line;
  if (!readLine(line) || line.rfind("counts", 0) != 0) return {};
  std::istringstream words(line.substr(6));
  std::vector<long> counts;
  for (long count; words >> count;) counts.push_back(count);
  return counts;
}

} // namespace winetest
