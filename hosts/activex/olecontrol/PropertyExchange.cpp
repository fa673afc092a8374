#include "hosts/activex/olecontrol/PropertyExchange.h"

#include "hosts/activex/olecontrol/DispatchValues.h"
#include "hosts/activex/olecontrol/PropertyStream.h"

namespace olecontrol {
namespace {

// The stream of the container as a byte source and sink.
class StreamBytes final : public ByteSource, public ByteSink {
public:
  explicit StreamBytes(IStream* stream) : stream_(stream) {}
  bool read(void* destination, std::size_t count) override {
    if (count == 0) return true;
    if (!stream_ || count > MAXDWORD) return false;
    ULONG done = 0;
    HRESULT result = stream_->Read(destination, static_cast<ULONG>(count), &done);
    return SUCCEEDED(result) && done == count;
  }
  bool write(const void* data, std::size_t count) override {
    if (count == 0) return true;
    if (!stream_ || count > MAXDWORD) return false;
    ULONG done = 0;
    HRESULT result = stream_->Write(data, static_cast<ULONG>(count), &done);
    return SUCCEEDED(result) && done == count;
  }

private:
  IStream* stream_;
};

std::u16string toUtf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring fromUtf16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

void PropertyExchange::exchangeVersion(DWORD current, bool convert) {
  LONG version = static_cast<LONG>(current);
  exchangeNumber(L"_Version", version, static_cast<LONG>(current));
  loadedVersion_ = static_cast<DWORD>(version);
  if (isLoading() && loadedVersion_ != current && !convert) fail(E_FAIL);
}

void PropertyBagLoader::exchangeNumber(const wchar_t* name, LONG& value, LONG defaultValue) {
  VARIANT read;
  VariantInit(&read);
  // The type is set before the call: a bag holding texts converts to it (and some bags lose
  // the value when asked for VT_EMPTY).
  read.vt = VT_I4;
  if (!bag_ || FAILED(bag_->Read(name, &read, log_)) || FAILED(numberFromVariant(read, value))) value = defaultValue;
  VariantClear(&read);
}

void PropertyBagLoader::exchangeText(const wchar_t* name, std::wstring& value) {
  VARIANT read;
  VariantInit(&read);
  read.vt = VT_BSTR;
  read.bstrVal = nullptr;
  std::wstring loaded;
  if (bag_ && SUCCEEDED(bag_->Read(name, &read, log_)) && SUCCEEDED(textFromVariant(read, loaded))) value.swap(loaded);
  VariantClear(&read);
}

void PropertyBagSaver::exchangeNumber(const wchar_t* name, LONG& value, LONG) {
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  number.lVal = value;
  HRESULT result = bag_ ? bag_->Write(name, &number) : E_POINTER;
  if (FAILED(result)) fail(result);
}

void PropertyBagSaver::exchangeText(const wchar_t* name, std::wstring& value) {
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (!text.bstrVal) return fail(E_OUTOFMEMORY);
  HRESULT result = bag_ ? bag_->Write(name, &text) : E_POINTER;
  VariantClear(&text);
  if (FAILED(result)) fail(result);
}

void StreamLoader::exchangeNumber(const wchar_t*, LONG& value, LONG) {
  if (FAILED(result())) return;
  StreamBytes bytes(stream_);
  std::int32_t number = 0;
  if (!readNumber(bytes, number)) return fail(STG_E_READFAULT);
  value = number;
}

void StreamLoader::exchangeText(const wchar_t*, std::wstring& value) {
  if (FAILED(result())) return;
  StreamBytes bytes(stream_);
  std::u16string text;
  if (!readText(bytes, text)) return fail(STG_E_READFAULT);
  value = fromUtf16(text);
}

void StreamSaver::exchangeNumber(const wchar_t*, LONG& value, LONG) {
  if (FAILED(result())) return;
  StreamBytes bytes(stream_);
  if (!writeNumber(bytes, value)) fail(STG_E_WRITEFAULT);
}

void StreamSaver::exchangeText(const wchar_t*, std::wstring& value) {
  if (FAILED(result())) return;
  StreamBytes bytes(stream_);
  if (!writeText(bytes, toUtf16(value))) fail(STG_E_WRITEFAULT);
}

void StreamSizer::exchangeNumber(const wchar_t*, LONG&, LONG) { size_ += 4; }
void StreamSizer::exchangeText(const wchar_t*, std::wstring& value) { size_ += textSize(value.size()); }

} // namespace olecontrol
