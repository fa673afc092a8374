#pragma once
// The picture the tests' fixed recorder sends: the presentation suites' encoded test
// picture for a seed, with their header (picture number 1). The recorder process and the
// tests build it with the same function, so a test knows the exact bytes the control got.
#include "engine/PictureRecord.h"

namespace activextest {

// False when the picture cannot be encoded.
bool fixedPicture(int seed, PictureRecord& record);

} // namespace activextest
