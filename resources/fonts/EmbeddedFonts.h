#pragma once

#include <cstddef>
#include <cstdint>

// The eight font blocks linked into the binary, for hosts without Windows resources.
// Ids are those of the FONTS resources in the ActiveX control: 201 to 208.

// Sets *data and *size to the block with this id and returns true; returns false and
// leaves both untouched for any other id. The bytes are static and never change; the
// first byte is 16-byte aligned.
bool embeddedFontBlock(int id, const std::uint8_t** data, std::size_t* size);
