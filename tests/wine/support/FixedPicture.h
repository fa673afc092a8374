#pragma once
// The picture a "fixed:S" server of the tests' recorder sends: the presentation suites'
// encoded test picture for seed S, with their header (picture number 1). The recorder
// process and the tests build it with the same function, so a test knows the exact bytes a
// host got.
#include "engine/PictureRecord.h"

namespace winetest {

// False when the picture cannot be encoded.
bool fixedPicture(int seed, PictureRecord& record);

} // namespace winetest
