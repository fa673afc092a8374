#pragma once
// Identifiers of the control module. The type library's (library, interfaces, control
// class) come from CamViewControl.idl through widl; the property page class is not in the
// library and is defined here.
#include <windows.h>

#include "CamViewControl_h.h"

extern "C" const CLSID CLSID_CamViewControlPropPage; // {B0F5F83D-5B2C-4D9A-BFED-446D79F4A1D4}

inline constexpr wchar_t kControlProgId[] = L"CAMVIEWCONTROL.CamViewControlCtrl.1";
inline constexpr WORD kTypeLibraryMajor = 1;
inline constexpr WORD kTypeLibraryMinor = 0;

// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE (131473).
inline constexpr DWORD kControlMiscStatus = 0x20191;

// DISPIDs of the properties (as in the type library).
enum : DISPID { kDispidIP = 1, kDispidConnectionID = 2, kDispidPort = 3 };
