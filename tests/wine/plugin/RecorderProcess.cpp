#include "tests/wine/plugin/RecorderProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pluginsupport {
namespace {

// The program's path as the build gave it (a Windows path of the build folder).
std::wstring recorderProgram() {
  const std::string path = CAMVIEW_TEST_RECORDER;
  return std::wstring(path.begin(), path.end());
}

std::wstring quoted(const std::string& argument) {
  return L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
}

// Reads the program's output up to its "listening on HOST:PORT" line; 0 when it ends first.
int readListeningPort(HANDLE output, std::string& seen) {
  char c;
  DWORD got = 0;
  std::string line;
  while (ReadFile(output, &c, 1, &got, nullptr) && got == 1) {
    if (c != '\n') {
      line += c;
      continue;
    }
    seen += line + "\n";
    const std::string prefix = "listening on ";
    if (line.rfind(prefix, 0) == 0) return std::atoi(line.substr(line.find_last_of(':') + 1).c_str());
    line.clear();
  }
  return 0;
}

} // namespace

RecorderProcess::RecorderProcess(const std::vector<std::string>& options) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inheritable, 0) || !CreatePipe(&output_, &childOutput, &inheritable, 0)) {
    error_ = "no pipes";
    return;
  }
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

  const std::wstring program = recorderProgram();
  std::wstring commandLine = L"\"" + program + L"\" --port 0 --quiet";
  for (const std::string& option : options) commandLine += quoted(option);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = childOutput;
  const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process_);
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (!started) {
    error_ = "cannot start plugin_test_recorder.exe (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  std::string seen;
  port_ = readListeningPort(output_, seen);
  if (port_ == 0) error_ = "the recorder did not start: " + seen;
}

RecorderProcess::~RecorderProcess() {
  if (input_) CloseHandle(input_); // end of its input: it stops
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    // A recorder that crashed or hung changed what the test saw.
    if (code != 0) ADD_FAILURE() << "the recorder simulator ended with code " << code;
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  if (output_) CloseHandle(output_);
}

} // namespace pluginsupport
