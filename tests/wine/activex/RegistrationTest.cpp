// Self-registration as regsvr32 does it, read back with reg query in this program's view of
// the registry (/reg:32 or /reg:64); the failure code when the category manager cannot be
// created; and the module's resources: version, type library, bitmap, dialog, strings, fonts.
#include "hosts/activex/ControlIdentifiers.h"
#include "resources/fonts/EmbeddedFonts.h"
#include "tests/wine/activex/ControlModule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <thread>

namespace {

using Values = std::map<std::wstring, std::wstring>; // value name ("(Default)") -> data
using Keys = std::map<std::wstring, Values>;         // key path below the queried key ("" itself)

// Runs a command line; its exit code and standard output, or -1 when it cannot start or has
// not ended within two minutes. The output is read on a thread of its own and the wait is for
// the process, not for the end of the pipe: a process the command starts (a service of the
// prefix's first COM use, say) may inherit the pipe and keep it open long after the command.
int run(std::wstring command, std::string* output = nullptr) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return -1;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(write);
  if (!started) {
    CloseHandle(read);
    return -1;
  }
  // A Windows thread, not std::thread: its handle is what CancelSynchronousIo needs.
  struct Reader {
    HANDLE pipe;
    std::string text;
    static DWORD WINAPI drain(void* self) {
      auto& reader = *static_cast<Reader*>(self);
      char buffer[4096];
      DWORD count = 0;
      while (ReadFile(reader.pipe, buffer, sizeof buffer, &count, nullptr) && count > 0)
        reader.text.append(buffer, count);
      return 0;
    }
  } reader{read, {}};
  const HANDLE readerThread = CreateThread(nullptr, 0, &Reader::drain, &reader, 0, nullptr);
  if (!readerThread) Reader::drain(&reader);
  const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  // Whatever still holds the pipe open, the reader gets what the command wrote and stops.
  if (readerThread) {
    for (int tries = 0; WaitForSingleObject(readerThread, 50) == WAIT_TIMEOUT; ++tries) {
      if (tries == 200) TerminateThread(readerThread, 1); // a read nothing cancels: give up on it
      CancelSynchronousIo(readerThread);
    }
    CloseHandle(readerThread);
  }
  CloseHandle(read);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (output) *output = reader.text;
  return ended ? static_cast<int>(code) : -1;
}

const wchar_t* view() { return sizeof(void*) == 8 ? L" /reg:64" : L" /reg:32"; }

// `reg query KEY /s` in our view, parsed: every key below KEY with its values.
bool query(const std::wstring& key, Keys& keys) {
  std::string output;
  if (run(L"reg.exe query \"HKCR\\" + key + L"\" /s" + view(), &output) != 0) return false;
  keys.clear();
  std::wstring current;
  std::istringstream lines(output);
  const std::wstring prefix = L"HKEY_CLASSES_ROOT\\" + key;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::wstring wide(line.begin(), line.end());
    if (wide.rfind(L"HKEY_", 0) == 0) {
      current = wide.size() > prefix.size() ? wide.substr(prefix.size() + 1) : L"";
      keys[current];
      continue;
    }
    // "    name    REG_SZ    data"
    const std::size_t type = wide.find(L"    REG_");
    if (type == std::wstring::npos) continue;
    const std::size_t data = wide.find(L"    ", type + 4);
    keys[current][wide.substr(4, type - 4)] = data == std::wstring::npos ? L"" : wide.substr(data + 4);
  }
  return true;
}

bool exists(const std::wstring& key) {
  Keys ignored;
  return query(key, ignored);
}

std::wstring guidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

bool sameText(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

const std::wstring kClassKey = L"CLSID\\" + guidText(CLSID_CamViewControl);
const std::wstring kPageKey = L"CLSID\\" + guidText(CLSID_CamViewControlPropPage);
const std::wstring kLibraryKey = L"TypeLib\\" + guidText(LIBID_CAMVIEWCONTROLLib);
const std::wstring kScripting = L"Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const std::wstring kInitializing = L"Component Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

TEST(Registration, RegsvrWritesTheControlsKeysAndUnregisteringRemovesThem) {
  const std::wstring path = activextest::controlPath();
  const std::wstring regsvr = L"regsvr32.exe /s \"" + path + L"\"";
  ASSERT_EQ(run(regsvr), 0);
  ASSERT_EQ(run(regsvr), 0) << "registering twice";

  Keys keys;
  ASSERT_TRUE(query(kClassKey, keys));
  EXPECT_EQ(keys[L""][L"(Default)"], L"CamViewControl");
  EXPECT_TRUE(sameText(keys[L"InprocServer32"][L"(Default)"], path));
  EXPECT_EQ(keys[L"InprocServer32"][L"ThreadingModel"], L"Apartment");
  EXPECT_EQ(keys[L"ProgID"][L"(Default)"], L"CAMVIEWCONTROL.CamViewControlCtrl.1");
  EXPECT_EQ(keys.count(L"Control"), 1u);
  EXPECT_TRUE(sameText(keys[L"ToolboxBitmap32"][L"(Default)"], path + L", 1"));
  EXPECT_EQ(keys[L"MiscStatus"][L"(Default)"], L"0");
  EXPECT_EQ(keys[L"MiscStatus\\1"][L"(Default)"], L"131473");
  EXPECT_EQ(keys[L"TypeLib"][L"(Default)"], guidText(LIBID_CAMVIEWCONTROLLib));
  EXPECT_EQ(keys[L"Version"][L"(Default)"], L"1.0");
  EXPECT_EQ(keys.count(L"Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"), 1u);
  EXPECT_EQ(keys.count(L"Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"), 1u);

  ASSERT_TRUE(query(L"CAMVIEWCONTROL.CamViewControlCtrl.1", keys));
  EXPECT_EQ(keys[L""][L"(Default)"], L"CamViewControl");
  EXPECT_EQ(keys[L"CLSID"][L"(Default)"], guidText(CLSID_CamViewControl));

  ASSERT_TRUE(query(kPageKey, keys));
  EXPECT_EQ(keys[L""][L"(Default)"], L"CamViewControl Property Page");
  EXPECT_TRUE(sameText(keys[L"InprocServer32"][L"(Default)"], path));
  EXPECT_EQ(keys[L"InprocServer32"][L"ThreadingModel"], L"Apartment");
  EXPECT_EQ(keys.count(L"ProgID"), 0u);

  ASSERT_TRUE(query(kLibraryKey, keys));
  EXPECT_EQ(keys[L"1.0"][L"(Default)"], L"CamViewControl ActiveX-Steuerelement-Modul");
  EXPECT_TRUE(sameText(keys[sizeof(void*) == 8 ? L"1.0\\409\\win64" : L"1.0\\409\\win32"][L"(Default)"], path));
  EXPECT_TRUE(exists(L"Interface\\" + guidText(DIID__DCamViewControl)));

  ASSERT_TRUE(query(kScripting, keys));
  EXPECT_EQ(keys[L""][L"409"], L"Controls that are safely scriptable");
  ASSERT_TRUE(query(kInitializing, keys));
  EXPECT_EQ(keys[L""][L"409"], L"Controls safely initializable from persistent data");

  ASSERT_EQ(run(L"regsvr32.exe /s /u \"" + path + L"\""), 0);
  EXPECT_FALSE(exists(kClassKey));
  EXPECT_FALSE(exists(L"CAMVIEWCONTROL.CamViewControlCtrl.1"));
  EXPECT_FALSE(exists(kPageKey));
  EXPECT_FALSE(exists(kLibraryKey + L"\\1.0\\409"));
  // The categories are the system's: their descriptions stay.
  ASSERT_TRUE(query(kScripting, keys));
  EXPECT_EQ(keys[L""][L"409"], L"Controls that are safely scriptable");
  EXPECT_TRUE(exists(kInitializing));
}

TEST(Registration, WithoutTheCategoryManagerTheClassesAreRegisteredAndTheClassCodeReturned) {
  // A thread that has not initialised COM cannot create the category manager.
  HRESULT result = S_OK;
  std::thread([&] { result = activextest::registerControl(true); }).join();
  EXPECT_EQ(result, HRESULT(0x80040201));
  EXPECT_TRUE(exists(kClassKey + L"\\InprocServer32"));
  EXPECT_TRUE(exists(kLibraryKey + L"\\1.0"));
  EXPECT_FALSE(exists(kClassKey + L"\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
  CoInitialize(nullptr);
  EXPECT_EQ(activextest::registerControl(false), S_OK);
  CoUninitialize();
  EXPECT_FALSE(exists(kClassKey));
}

// A resource of the module, loaded as data.
struct Resource {
  const std::uint8_t* data = nullptr;
  DWORD size = 0;
};
Resource findResource(HMODULE module, LPCWSTR type, int id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return {};
  return {static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
}

std::wstring versionText(const std::vector<std::uint8_t>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040704B0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length)) return L"<missing>";
  return length ? std::wstring(static_cast<const wchar_t*>(value)) : L"";
}

TEST(Resources, VersionTypeLibraryBitmapDialogStringsAndFonts) {
  const std::wstring path = activextest::controlPath();
  std::vector<std::uint8_t> info(GetFileVersionInfoSizeW(path.c_str(), nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(info.size()), info.data()));
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(
      VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 0x04B0);
  EXPECT_EQ(versionText(info, L"OLESelfRegister"), L"");
  EXPECT_EQ(versionText(info, L"FileDescription"), L"CamViewControl ActiveX-Steuerelement-Modul");
  EXPECT_EQ(versionText(info, L"OriginalFilename"), L"CamViewControl.OCX");
  EXPECT_EQ(versionText(info, L"ProductName"), L"CamViewControl ActiveX Control Module");
  EXPECT_EQ(versionText(info, L"FileVersion"), L"1, 0, 0, 1");

  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->lcid, 0x0409u);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  library->ReleaseTLibAttr(attributes);
  BSTR name = nullptr, help = nullptr, file = nullptr;
  ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, &file), S_OK);
  EXPECT_STREQ(name, L"CAMVIEWCONTROLLib");
  EXPECT_STREQ(help, L"CamViewControl ActiveX-Steuerelement-Modul");
  EXPECT_STREQ(file, L"CamViewControl.hlp");
  SysFreeString(name), SysFreeString(help), SysFreeString(file);
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(library->GetTypeInfoOfGuid(DIID__DCamViewControl, &dispatch), S_OK);
  ASSERT_EQ(dispatch->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"_DCamViewControl");
  EXPECT_STREQ(help, L"Dispatch-Schnittstelle f\u00fcr CamViewControl Control");
  SysFreeString(name), SysFreeString(help);
  TYPEATTR* type = nullptr;
  ASSERT_EQ(dispatch->GetTypeAttr(&type), S_OK);
  EXPECT_EQ(type->typekind, TKIND_DISPATCH);
  EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FHIDDEN);
  EXPECT_EQ(type->cVars, 3);
  EXPECT_EQ(type->cFuncs, 0);
  dispatch->ReleaseTypeAttr(type);
  dispatch->Release();
  library->Release();

  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  Resource bitmap = findResource(module, MAKEINTRESOURCEW(2) /* RT_BITMAP */, 1);
  ASSERT_GE(bitmap.size, sizeof(BITMAPINFOHEADER));
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bitmap.data);
  EXPECT_EQ(header->biWidth, 16);
  EXPECT_EQ(header->biHeight, 15);
  EXPECT_EQ(header->biBitCount, 4);
  Resource dialog = findResource(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, 200);
  ASSERT_GE(dialog.size, sizeof(DLGTEMPLATE));
  DLGTEMPLATE layout;
  std::memcpy(&layout, dialog.data, sizeof layout);
  EXPECT_EQ(layout.style & (WS_CHILD | DS_SETFONT), DWORD(WS_CHILD | DS_SETFONT));
  EXPECT_EQ(layout.cdit, 0);
  EXPECT_EQ(layout.cx, 250);
  EXPECT_EQ(layout.cy, 62);
  wchar_t text[64] = {};
  LoadStringW(module, 1, text, 64);
  EXPECT_STREQ(text, L"CamViewControl");
  LoadStringW(module, 2, text, 64);
  EXPECT_STREQ(text, L"CamViewControl Property Page");
  LoadStringW(module, 200, text, 64);
  EXPECT_STREQ(text, L"General");
  for (int id = 201; id <= 208; ++id) {
    Resource font = findResource(module, L"FONTS", id);
    const std::uint8_t* expected = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(embeddedFontBlock(id, &expected, &size));
    ASSERT_EQ(font.size, size) << id;
    EXPECT_EQ(std::memcmp(font.data, expected, size), 0) << id;
  }
  FreeLibrary(module);
}

} // namespace
