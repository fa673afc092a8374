#pragma once
// Property exchange: one function of the control (DoPropExchange) names each persistent
// property once, and the exchange object decides what happens to it: loaded from a property
// bag or a stream, saved to one, or reset to its default. The stream form keeps the values
// in the order they are exchanged (see PropertyStream.h).
#include "hosts/activex/olecontrol/ComSupport.h"

#include <ocidl.h>

#include <string>

namespace olecontrol {

class PropertyExchange {
public:
  virtual ~PropertyExchange() = default;

  // True when values flow into the control (load or reset), false when they are saved.
  virtual bool isLoading() const = 0;

  // A number with its default: a load without the value, or a reset, gives the default.
  virtual void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) = 0;
  // A text without default: a load without the value, or a reset, keeps the member's value.
  virtual void exchangeText(const wchar_t* name, std::wstring& value) = 0;

  // The version of the saved properties ("_Version"). Loading a different version than
  // `current` is accepted only when `convert` is set (the control reads the old layout).
  void exchangeVersion(DWORD current, bool convert);
  DWORD loadedVersion() const { return loadedVersion_; }

  // S_OK, or the first failure (a stream that could not be read or written, a version that
  // cannot be converted).
  HRESULT result() const { return result_; }

protected:
  void fail(HRESULT result) {
    if (SUCCEEDED(result_)) result_ = result;
  }

private:
  HRESULT result_ = S_OK;
  DWORD loadedVersion_ = 0;
};

// Load from a property bag, as a container gives a page's parameters (all values may be
// texts; the bag converts them to the type asked for). A value that is missing or cannot be
// converted keeps the default.
class PropertyBagLoader final : public PropertyExchange {
public:
  PropertyBagLoader(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}
  bool isLoading() const override { return true; }
  void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) override;
  void exchangeText(const wchar_t* name, std::wstring& value) override;

private:
  IPropertyBag* bag_;
  IErrorLog* log_;
};

class PropertyBagSaver final : public PropertyExchange {
public:
  explicit PropertyBagSaver(IPropertyBag* bag) : bag_(bag) {}
  bool isLoading() const override { return false; }
  void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) override;
  void exchangeText(const wchar_t* name, std::wstring& value) override;

private:
  IPropertyBag* bag_;
};

// Load from a stream: every value must be there, in exchange order.
class StreamLoader final : public PropertyExchange {
public:
  explicit StreamLoader(IStream* stream) : stream_(stream) {}
  bool isLoading() const override { return true; }
  void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) override;
  void exchangeText(const wchar_t* name, std::wstring& value) override;

private:
  IStream* stream_;
};

class StreamSaver final : public PropertyExchange {
public:
  explicit StreamSaver(IStream* stream) : stream_(stream) {}
  bool isLoading() const override { return false; }
  void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) override;
  void exchangeText(const wchar_t* name, std::wstring& value) override;

private:
  IStream* stream_;
};

// Counts the bytes a StreamSaver would write (IPersistStreamInit::GetSizeMax).
class StreamSizer final : public PropertyExchange {
public:
  bool isLoading() const override { return false; }
  void exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) override;
  void exchangeText(const wchar_t* name, std::wstring& value) override;
  ULONGLONG size() const { return size_; }

private:
  ULONGLONG size_ = 0;
};

// Reset to the defaults (InitNew).
class PropertyReset final : public PropertyExchange {
public:
  bool isLoading() const override { return true; }
  void exchangeNumber(const wchar_t*, LONG& value, LONG defaultValue) override { value = defaultValue; }
  void exchangeText(const wchar_t*, std::wstring&) override {}
};

} // namespace olecontrol
