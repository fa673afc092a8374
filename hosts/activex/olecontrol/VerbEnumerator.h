#pragma once
// The verbs a control offers its container (IOleObject::EnumVerbs): the ones its DoVerb
// carries out, so that a container can list them, "Properties" on its menu.
#include <ole2.h>

namespace olecontrol {

// A new enumerator over the control's verbs, or E_OUTOFMEMORY.
HRESULT enumerateVerbs(IEnumOLEVERB** verbs);

} // namespace olecontrol
