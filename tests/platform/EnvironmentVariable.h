#pragma once
// Sets an environment variable for the lifetime of a test and restores it afterwards.
#include <cstdlib>
#include <optional>
#include <string>

namespace platform::test {

class ScopedEnvironmentVariable {
public:
  // `value` null removes the variable.
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    set(value);
  }
  ~ScopedEnvironmentVariable() { set(previous_ ? previous_->c_str() : nullptr); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
  void set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_.c_str(), value ? value : ""); // an empty value removes it
#else
    if (value)
      setenv(name_.c_str(), value, 1);
    else
      unsetenv(name_.c_str());
#endif
  }

  std::string name_;
  std::optional<std::string> previous_;
};

} // namespace platform::test
