#pragma once
// The Netscape plug-in API as a Windows browser and a windowed plug-in use it: scalar types,
// structures, constants and the two function tables, declared here from the published API
// (natural alignment, no packing on Windows). NpapiLayout.cpp checks every size and offset
// for both architectures, and the calling convention of every table entry.
//
// Calling conventions on 32-bit Windows: the three exported entry points are __stdcall
// (WINAPI); every function in the two tables uses the default C convention (__cdecl). On
// x86_64 there is only one convention.
#include <cstdint>

// --- scalar types ---
using NPError = std::int16_t;
using NPReason = std::int16_t;
using NPBool = unsigned char;
using NPMIMEType = char*;

// --- error codes, reasons, modes ---
enum : NPError {
  NPERR_NO_ERROR = 0,
  NPERR_GENERIC_ERROR = 1,
  NPERR_INVALID_INSTANCE_ERROR = 2,
  NPERR_INVALID_FUNCTABLE_ERROR = 3,
  NPERR_MODULE_LOAD_FAILED_ERROR = 4,
  NPERR_OUT_OF_MEMORY_ERROR = 5,
  NPERR_INVALID_PLUGIN_ERROR = 6,
  NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
  NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
  NPERR_INVALID_PARAM = 9,
};

enum : NPReason { NPRES_DONE = 0, NPRES_NETWORK_ERR = 1, NPRES_USER_BREAK = 2 };

enum : std::uint16_t { NP_EMBED = 1, NP_FULL = 2 };                                    // NPP_New and NPPrint modes
enum : std::uint16_t { NP_NORMAL = 1, NP_SEEK = 2, NP_ASFILE = 3, NP_ASFILEONLY = 4 }; // stream types

// The table version word: major number in the high byte, minor number in the low byte.
constexpr int NP_VERSION_MAJOR = 0;
constexpr std::uint16_t npVersionMajor(std::uint16_t version) { return version >> 8; }

// --- structures ---

// One plug-in instance: pdata belongs to the plug-in, ndata to the browser.
struct NPP_t {
  void* pdata;
  void* ndata;
};
using NPP = NPP_t*;

// Note the field order: top, left, bottom, right.
struct NPRect {
  std::uint16_t top;
  std::uint16_t left;
  std::uint16_t bottom;
  std::uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

// For a windowed plug-in on Windows, `window` is the HWND of a child window. Records of the
// oldest browsers end after clipRect: nothing here reads `type`.
struct NPWindow {
  void* window;
  std::int32_t x;
  std::int32_t y;
  std::uint32_t width;
  std::uint32_t height;
  NPRect clipRect;
  NPWindowType type;
};

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  std::uint32_t end;
  std::uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPByteRange {
  std::int32_t offset;
  std::uint32_t length;
  NPByteRange* next;
};

struct NPSavedData {
  std::int32_t len;
  void* buf;
};

struct NPFullPrint {
  NPBool pluginPrinted;
  NPBool printOne;
  void* platformPrint;
};

// On Windows platformPrint is the device context to print into.
struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
};

struct NPPrint {
  std::uint16_t mode; // NP_FULL or NP_EMBED
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
};

struct NPEvent {
  std::uint16_t event;
  std::uintptr_t wParam;
  std::uintptr_t lParam;
};

// --- the plug-in's functions (the browser calls them through NPPluginFuncs) ---
using NPP_NewProcPtr = NPError(__cdecl*)(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc,
                                         char* argn[], char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError(__cdecl*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError(__cdecl*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError(__cdecl*)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                               std::uint16_t* stype);
using NPP_DestroyStreamProcPtr = NPError(__cdecl*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void(__cdecl*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = std::int32_t(__cdecl*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = std::int32_t(__cdecl*)(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len,
                                                void* buffer);
using NPP_PrintProcPtr = void(__cdecl*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = std::int16_t(__cdecl*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void(__cdecl*)(NPP instance, const char* url, NPReason reason, void* notifyData);
using NPP_GetValueProcPtr = NPError(__cdecl*)(NPP instance, int variable, void* value);
using NPP_SetValueProcPtr = NPError(__cdecl*)(NPP instance, int variable, void* value);
using NPP_GotFocusProcPtr = NPBool(__cdecl*)(NPP instance, int direction);
using NPP_LostFocusProcPtr = void(__cdecl*)(NPP instance);
using NPP_URLRedirectNotifyProcPtr = void(__cdecl*)(NPP instance, const char* url, std::int32_t status,
                                                    void* notifyData);
using NPP_ClearSiteDataProcPtr = NPError(__cdecl*)(const char* site, std::uint64_t flags, std::uint64_t maxAge);
using NPP_GetSitesWithDataProcPtr = char**(__cdecl*)();
using NPP_DidCompositeProcPtr = void(__cdecl*)(NPP instance);

struct NPPluginFuncs {
  std::uint16_t size;
  std::uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
  NPP_GotFocusProcPtr gotfocus;
  NPP_LostFocusProcPtr lostfocus;
  NPP_URLRedirectNotifyProcPtr urlredirectnotify;
  NPP_ClearSiteDataProcPtr clearsitedata;
  NPP_GetSitesWithDataProcPtr getsiteswithdata;
  NPP_DidCompositeProcPtr didComposite;
};

// --- the browser's functions (the plug-in calls them through NPNetscapeFuncs) ---
using NPN_GetURLProcPtr = NPError(__cdecl*)(NPP instance, const char* url, const char* target);
using NPN_PostURLProcPtr = NPError(__cdecl*)(NPP instance, const char* url, const char* target, std::uint32_t len,
                                             const char* buf, NPBool file);
using NPN_RequestReadProcPtr = NPError(__cdecl*)(NPStream* stream, NPByteRange* rangeList);
using NPN_NewStreamProcPtr = NPError(__cdecl*)(NPP instance, NPMIMEType type, const char* target, NPStream** stream);
using NPN_WriteProcPtr = std::int32_t(__cdecl*)(NPP instance, NPStream* stream, std::int32_t len, void* buffer);
using NPN_DestroyStreamProcPtr = NPError(__cdecl*)(NPP instance, NPStream* stream, NPReason reason);
using NPN_StatusProcPtr = void(__cdecl*)(NPP instance, const char* message);
using NPN_UserAgentProcPtr = const char*(__cdecl*)(NPP instance);
using NPN_MemAllocProcPtr = void*(__cdecl*)(std::uint32_t size);
using NPN_MemFreeProcPtr = void(__cdecl*)(void* pointer);
using NPN_MemFlushProcPtr = std::uint32_t(__cdecl*)(std::uint32_t size);
using NPN_ReloadPluginsProcPtr = void(__cdecl*)(NPBool reloadPages);
using NPN_GetJavaEnvProcPtr = void*(__cdecl*)();
using NPN_GetJavaPeerProcPtr = void*(__cdecl*)(NPP instance);
using NPN_GetURLNotifyProcPtr = NPError(__cdecl*)(NPP instance, const char* url, const char* target, void* notifyData);
using NPN_PostURLNotifyProcPtr = NPError(__cdecl*)(NPP instance, const char* url, const char* target, std::uint32_t len,
                                                   const char* buf, NPBool file, void* notifyData);
using NPN_GetValueProcPtr = NPError(__cdecl*)(NPP instance, int variable, void* value);
using NPN_SetValueProcPtr = NPError(__cdecl*)(NPP instance, int variable, void* value);
using NPN_InvalidateRectProcPtr = void(__cdecl*)(NPP instance, NPRect* rect);
using NPN_InvalidateRegionProcPtr = void(__cdecl*)(NPP instance, void* region);
using NPN_ForceRedrawProcPtr = void(__cdecl*)(NPP instance);
// The scripting and later entries: this plug-in never calls them, so one untyped pointer
// type stands for all of them.
using NPN_OtherProcPtr = void(__cdecl*)();

struct NPNetscapeFuncs {
  std::uint16_t size;
  std::uint16_t version;
  NPN_GetURLProcPtr geturl;
  NPN_PostURLProcPtr posturl;
  NPN_RequestReadProcPtr requestread;
  NPN_NewStreamProcPtr newstream;
  NPN_WriteProcPtr write;
  NPN_DestroyStreamProcPtr destroystream;
  NPN_StatusProcPtr status;
  NPN_UserAgentProcPtr uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_MemFlushProcPtr memflush;
  NPN_ReloadPluginsProcPtr reloadplugins;
  NPN_GetJavaEnvProcPtr getJavaEnv;
  NPN_GetJavaPeerProcPtr getJavaPeer;
  NPN_GetURLNotifyProcPtr geturlnotify;
  NPN_PostURLNotifyProcPtr posturlnotify;
  NPN_GetValueProcPtr getvalue;
  NPN_SetValueProcPtr setvalue;
  NPN_InvalidateRectProcPtr invalidaterect;
  NPN_InvalidateRegionProcPtr invalidateregion;
  NPN_ForceRedrawProcPtr forceredraw;
  // Scripting objects and identifiers.
  NPN_OtherProcPtr getstringidentifier;
  NPN_OtherProcPtr getstringidentifiers;
  NPN_OtherProcPtr getintidentifier;
  NPN_OtherProcPtr identifierisstring;
  NPN_OtherProcPtr utf8fromidentifier;
  NPN_OtherProcPtr intfromidentifier;
  NPN_OtherProcPtr createobject;
  NPN_OtherProcPtr retainobject;
  NPN_OtherProcPtr releaseobject;
  NPN_OtherProcPtr invoke;
  NPN_OtherProcPtr invokeDefault;
  NPN_OtherProcPtr evaluate;
  NPN_OtherProcPtr getproperty;
  NPN_OtherProcPtr setproperty;
  NPN_OtherProcPtr removeproperty;
  NPN_OtherProcPtr hasproperty;
  NPN_OtherProcPtr hasmethod;
  NPN_OtherProcPtr releasevariantvalue;
  NPN_OtherProcPtr setexception;
  NPN_OtherProcPtr pushpopupsenabledstate;
  NPN_OtherProcPtr poppopupsenabledstate;
  NPN_OtherProcPtr enumerate;
  NPN_OtherProcPtr pluginthreadasynccall;
  NPN_OtherProcPtr construct;
  // Later additions.
  NPN_OtherProcPtr getvalueforurl;
  NPN_OtherProcPtr setvalueforurl;
  NPN_OtherProcPtr getauthenticationinfo;
  NPN_OtherProcPtr scheduletimer;
  NPN_OtherProcPtr unscheduletimer;
  NPN_OtherProcPtr popupcontextmenu;
  NPN_OtherProcPtr convertpoint;
  NPN_OtherProcPtr handleevent;
  NPN_OtherProcPtr unfocusinstance;
  NPN_OtherProcPtr urlredirectresponse;
  NPN_OtherProcPtr initasyncsurface;
  NPN_OtherProcPtr finalizeasyncsurface;
  NPN_OtherProcPtr setcurrentasyncsurface;
};

// --- the three exports, looked up by name (GetProcAddress) ---
using NP_GetEntryPointsFunc = NPError(__stdcall*)(NPPluginFuncs* pluginFuncs);
using NP_InitializeFunc = NPError(__stdcall*)(NPNetscapeFuncs* browserFuncs);
using NP_ShutdownFunc = NPError(__stdcall*)();
