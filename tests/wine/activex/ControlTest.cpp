// The control object in this process, without registration: property exchange with a
// browser's bag and with streams (also damaged ones), properties by name, class
// information, events, pages, safety, and drawing into a container's device context. (The
// property page is opened through the Properties verb in the container tests.) The
// test program carries the control's resources, so this module plays the control module.
#include "hosts/activex/CamViewControlCtrl.h"
#include "hosts/activex/ControlIdentifiers.h"
#include "hosts/activex/olecontrol/Module.h"
#include "hosts/activex/olecontrol/PropertyStream.h"
#include "tests/support/GoldenImage.h"
#include "tests/presentation/ReferencePicture.h"
#include "tests/wine/activex/TestContainer.h"
#include "tests/wine/support/WindowReadBack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using activextest::TextPropertyBag;
using olecontrol::ComRef;

const bool moduleIsThisProgram = (olecontrol::setModuleInstance(GetModuleHandleW(nullptr)), true);

// A new control, as its class factory makes it (one reference, released at the end).
struct Control {
  CCamViewControlCtrl* object = new CCamViewControlCtrl();
  ~Control() { object->Release(); }
  CCamViewControlCtrl* operator->() const { return object; }
  template <class Interface>
  Interface* as() const {
    return static_cast<Interface*>(object);
  }
};

class OleTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};

TEST_F(OleTest, BrowserParametersAsTextsLoadMissingOnesAsZeroAndSaveBack) {
  Control control;
  TextPropertyBag bag;
  bag.set(L"IP", L"recorder.local");
  bag.set(L"port", L"7070");
  bag.set(L"ConnectionID", L"3");
  ASSERT_EQ(control.as<IPersistPropertyBag>()->Load(&bag, nullptr), S_OK);
  EXPECT_EQ(control->m_IP, L"recorder.local");
  EXPECT_EQ(control->m_Port, 7070);
  EXPECT_EQ(control->m_ConnectionID, 3);

  TextPropertyBag sparse; // no "Port", no "ConnectionID", a "Port" that is no number
  sparse.set(L"Port", L"seven");
  ASSERT_EQ(control.as<IPersistPropertyBag>()->Load(&sparse, nullptr), S_OK);
  EXPECT_EQ(control->m_Port, 0);
  EXPECT_EQ(control->m_ConnectionID, 0);
  EXPECT_EQ(control->m_IP, L"recorder.local"); // no default: keeps its value

  TextPropertyBag saved;
  ASSERT_EQ(control.as<IPersistPropertyBag>()->Save(&saved, TRUE, TRUE), S_OK);
  EXPECT_EQ(*saved.find(L"_Version"), L"65536");
  EXPECT_EQ(*saved.find(L"IP"), L"recorder.local");
  EXPECT_EQ(*saved.find(L"Port"), L"0");
  EXPECT_EQ(*saved.find(L"ConnectionID"), L"0");
  EXPECT_NE(saved.find(L"_ExtentX"), nullptr);
  EXPECT_NE(saved.find(L"_ExtentY"), nullptr);
}

std::vector<std::uint8_t> streamBytes(IStream* stream) {
  HGLOBAL memory = nullptr;
  GetHGlobalFromStream(stream, &memory);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  std::vector<std::uint8_t> copy(bytes, bytes + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return copy;
}

HRESULT loadBytes(IPersistStreamInit* persist, const std::vector<std::uint8_t>& bytes) {
  ComRef<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  stream->Write(bytes.data(), ULONG(bytes.size()), nullptr);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return persist->Load(stream.get());
}

TEST_F(OleTest, StreamsRoundTripAndDamagedOnesFailWithDefaults) {
  Control original;
  original->m_IP = std::wstring(300, L'\u00e9') + L"1";
  original->m_Port = 65535;
  original->m_ConnectionID = -7;
  ComRef<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ASSERT_EQ(original.as<IPersistStreamInit>()->Save(stream.get(), TRUE), S_OK);
  const std::vector<std::uint8_t> bytes = streamBytes(stream.get());
  ULARGE_INTEGER size{};
  ASSERT_EQ(original.as<IPersistStreamInit>()->GetSizeMax(&size), S_OK);
  EXPECT_EQ(size.QuadPart, bytes.size());

  Control copy;
  ASSERT_EQ(loadBytes(copy.as<IPersistStreamInit>(), bytes), S_OK);
  EXPECT_EQ(copy->m_IP, original->m_IP);
  EXPECT_EQ(copy->m_Port, 65535);
  EXPECT_EQ(copy->m_ConnectionID, -7);

  for (std::size_t length = 0; length < bytes.size(); length += 37) {
    Control damaged;
    damaged->m_Port = 99;
    const std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
    EXPECT_EQ(loadBytes(damaged.as<IPersistStreamInit>(), part), STG_E_READFAULT) << length;
    EXPECT_EQ(damaged->m_Port, 0) << length;
  }
  // A text count far beyond any text: refused before anything is allocated for it.
  std::vector<std::uint8_t> huge(bytes.begin(), bytes.begin() + 20);
  huge.insert(huge.end(), {0xFF, 0xFF, 0xFF, 0x7F});
  Control refused;
  EXPECT_EQ(loadBytes(refused.as<IPersistStreamInit>(), huge), STG_E_READFAULT);
}

TEST(ViewerHost, AddressIsCutTo255BytesBetweenCharacters) {
  EXPECT_EQ(CCamViewControlCtrl::viewerHost(L"10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(CCamViewControlCtrl::viewerHost(std::wstring(300, L'x')), std::string(255, 'x'));
  EXPECT_EQ(CCamViewControlCtrl::viewerHost(L""), "");
  // In a double-byte code page a character that would end past byte 255 is left out whole.
  constexpr unsigned kShiftJis = 932;
  EXPECT_EQ(CCamViewControlCtrl::viewerHost(std::wstring(254, L'x') + L"\u3042", kShiftJis), std::string(254, 'x'));
  EXPECT_EQ(CCamViewControlCtrl::viewerHost(std::wstring(253, L'x') + L"\u3042y", kShiftJis),
            std::string(253, 'x') + "\x82\xA0");
}

TEST_F(OleTest, PropertiesByNameThroughTheTypeLibrary) {
  Control control;
  IDispatch* dispatch = control.as<IDispatch>();
  const wchar_t* names[] = {L"ip", L"ConnectionID", L"PORT"};
  for (DISPID expected = 1; expected <= 3; ++expected) {
    LPOLESTR name = const_cast<LPOLESTR>(names[expected - 1]);
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << expected;
    EXPECT_EQ(id, expected);
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Camera");
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(L"8080");
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&value, &named, 1, 1};
  ASSERT_EQ(dispatch->Invoke(kDispidPort, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(control->m_Port, 8080);
  EXPECT_EQ(control.as<IPersistStreamInit>()->IsDirty(), S_OK);
  VariantClear(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(L"eighty");
  UINT badArgument = 99;
  EXPECT_EQ(dispatch->Invoke(kDispidPort, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, &badArgument),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(badArgument, 0u);
  EXPECT_EQ(control->m_Port, 8080);

  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{};
  DISPPARAMS oneArgument{&value, nullptr, 1, 0};
  EXPECT_EQ(dispatch->Invoke(kDispidPort, IID_NULL, 0, DISPATCH_PROPERTYGET, &oneArgument, &result, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(dispatch->Invoke(42, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  control->m_IP = L"10.0.0.9";
  ASSERT_EQ(dispatch->Invoke(kDispidIP, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"10.0.0.9");
  VariantClear(&result);
  VariantClear(&value);
}

TEST_F(OleTest, InvokeFillsAnUninitialisedResultAndRefusesArraysTheirCountsDoNotMatch) {
  Control control;
  IDispatch* dispatch = control.as<IDispatch>();
  control->m_IP = L"10.0.0.9";
  control->m_Port = 8080;
  VARIANT result;
  const auto garbage = [&] {
    std::memset(&result, 0xAB, sizeof result); // freeing this would free a wild pointer
    result.vt = VT_BSTR;
  };
  garbage();
  DISPPARAMS none{};
  ASSERT_EQ(dispatch->Invoke(kDispidIP, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_STREQ(result.bstrVal, L"10.0.0.9");
  VariantClear(&result);

  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 80;
  DISPID named = DISPID_PROPERTYPUT;
  DISPID otherName = 7;
  const struct {
    WORD flags;
    DISPPARAMS parameters;
    HRESULT expected;
  } cases[] = {
      {DISPATCH_PROPERTYPUT, {nullptr, nullptr, 1, 0}, E_INVALIDARG},
      {DISPATCH_PROPERTYPUT, {&value, nullptr, 1, 1}, E_INVALIDARG},
      {DISPATCH_PROPERTYPUT, {&value, &named, 1, 2}, E_INVALIDARG},
      {DISPATCH_PROPERTYPUT, {&value, &otherName, 1, 1}, DISP_E_PARAMNOTFOUND},
      {DISPATCH_PROPERTYGET, {nullptr, nullptr, 3, 0}, E_INVALIDARG},
      {DISPATCH_PROPERTYGET, {&value, &named, 1, 1}, DISP_E_NONAMEDARGS},
      {DISPATCH_METHOD, {&value, nullptr, 1, 0}, DISP_E_BADPARAMCOUNT},
  };
  for (const auto& one : cases) {
    garbage();
    DISPPARAMS parameters = one.parameters;
    EXPECT_EQ(dispatch->Invoke(kDispidPort, IID_NULL, 0, one.flags, &parameters, &result, nullptr, nullptr),
              one.expected)
        << one.flags << " " << one.parameters.cArgs << " " << one.parameters.cNamedArgs;
    EXPECT_EQ(result.vt, VT_EMPTY);
  }
  EXPECT_EQ(control->m_Port, 8080);
}

TEST_F(OleTest, VerbsListedAreTheOnesDoVerbCarriesOut) {
  Control control;
  ComRef<IEnumOLEVERB> verbs;
  ASSERT_EQ(control.as<IOleObject>()->EnumVerbs(verbs.put()), S_OK);
  std::vector<LONG> ids;
  std::wstring menu;
  OLEVERB verb{};
  ULONG fetched = 0;
  while (verbs->Next(1, &verb, &fetched) == S_OK) {
    ASSERT_EQ(fetched, 1u);
    ids.push_back(verb.lVerb);
    if (verb.grfAttribs & OLEVERBATTRIB_ONCONTAINERMENU) menu += verb.lpszVerbName;
    CoTaskMemFree(verb.lpszVerbName);
  }
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(ids, (std::vector<LONG>{OLEIVERB_PRIMARY, OLEIVERB_SHOW, OLEIVERB_INPLACEACTIVATE, OLEIVERB_UIACTIVATE,
                                    OLEIVERB_PROPERTIES}));
  EXPECT_EQ(menu, L"&Properties\u2026");

  // A clone goes on from where the original is, in a batch that runs past the end.
  ASSERT_EQ(verbs->Reset(), S_OK);
  ASSERT_EQ(verbs->Skip(3), S_OK);
  ComRef<IEnumOLEVERB> copy;
  ASSERT_EQ(verbs->Clone(copy.put()), S_OK);
  OLEVERB rest[4]{};
  EXPECT_EQ(copy->Next(4, rest, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(rest[0].lVerb, OLEIVERB_UIACTIVATE);
  EXPECT_EQ(rest[1].lVerb, OLEIVERB_PROPERTIES);
  for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(rest[i].lpszVerbName);
  EXPECT_EQ(verbs->Skip(5), S_FALSE);
}

class Sink final : public IDispatch, public activextest::StackObject {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? this : nullptr;
    if (*object) AddRef();
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
  ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return S_OK;
  }
};

TEST_F(OleTest, ClassInformationEventSourcePagesSafetyAndStatus) {
  Control control;
  GUID events{};
  ASSERT_EQ(control.as<IProvideClassInfo2>()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_TRUE(IsEqualGUID(events, DIID__DCamViewControlEvents));
  ComRef<ITypeInfo> coclass;
  ASSERT_EQ(control.as<IProvideClassInfo2>()->GetClassInfo(coclass.put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_CamViewControl));
  EXPECT_EQ(attributes->wTypeFlags & (TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL),
            TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
  coclass->ReleaseTypeAttr(attributes);

  ComRef<IConnectionPoint> point;
  ASSERT_EQ(control.as<IConnectionPointContainer>()->FindConnectionPoint(DIID__DCamViewControlEvents, point.put()),
            S_OK);
  Sink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(sink.references(), 1);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(sink.references(), 0);
  ComRef<IEnumConnectionPoints> points;
  ASSERT_EQ(control.as<IConnectionPointContainer>()->EnumConnectionPoints(points.put()), S_OK);
  IConnectionPoint* listed[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(listed[0], point.get());
  listed[0]->Release();

  CAUUID pages{};
  ASSERT_EQ(control.as<ISpecifyPropertyPages>()->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualGUID(pages.pElems[0], CLSID_CamViewControlPropPage));
  CoTaskMemFree(pages.pElems);

  IObjectSafety* safety = control.as<IObjectSafety>();
  const DWORD both = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, both, INTERFACESAFE_FOR_UNTRUSTED_CALLER), S_OK);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, both, INTERFACESAFE_FOR_UNTRUSTED_DATA), S_OK);
  DWORD supported = 0, enabled = 0;
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, both);
  EXPECT_EQ(enabled, DWORD(INTERFACESAFE_FOR_UNTRUSTED_CALLER));
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, DWORD(INTERFACESAFE_FOR_UNTRUSTED_DATA));
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0x100, 0x100), E_FAIL);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IStream, &supported, &enabled), E_NOINTERFACE);

  DWORD status = 0;
  ASSERT_EQ(control.as<IOleObject>()->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 0x20191u);
}

// Draws `control` into a white 200 x 150 bitmap at bounds (40, 30, 160, 120).
paint::SoftwareCanvas drawAtBounds(IViewObject* view) {
  return winetest::captureDrawing(
      200, 150,
      [&](HDC dc) {
        RECTL bounds{40, 30, 160, 120};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
      },
      0xFFFFFF);
}

TEST_F(OleTest, DrawPaintsIntoTheContainersBoundsOnly) {
  activextest::EmbeddedControl active(320, 240);
  Control control;
  ASSERT_EQ(control.as<IOleObject>()->SetClientSite(&active.site), S_OK);
  ASSERT_EQ(control.as<IPersistStreamInit>()->InitNew(), S_OK);
  RECT position{0, 0, 320, 240};
  ASSERT_EQ(control.as<IOleObject>()->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &active.site, 0, active.hostWindow(),
                                             &position),
            S_OK);
  // The status screen as the viewer paints it for a 120 x 90 area, placed at the bounds.
  CLanguageTable language;
  paint::SoftwareCanvas status = testsupport::referenceStatusScreen(language.lookup("waitconnect"), 120, 90);
  paint::SoftwareCanvas expected(200, 150);
  expected.fillSolid({0, 0, 200, 150}, 0xFFFFFF);
  for (int y = 0; y < 90; ++y)
    std::copy_n(status.pixels() + y * status.stride(), status.stride(),
                expected.pixels() + (30 + y) * expected.stride() + 40 * 3);
  EXPECT_TRUE(testsupport::sameImage("activex-draw-bounds", drawAtBounds(control.as<IViewObject>()), expected));
  control.as<IOleObject>()->Close(OLECLOSE_NOSAVE);
  control.as<IOleObject>()->SetClientSite(nullptr);
  EXPECT_EQ(active.site.references(), 0);
}

} // namespace
