#include "tools/fontgen/BlockLayout.h"

namespace fontgen {

namespace {

constexpr const char* kSans = "DejaVuSans.ttf";
constexpr const char* kMonoBold = "DejaVuSansMono-Bold.ttf";

constexpr BlockLayout kBlocks[] = {
    // id  file           face       spacing                header max  line space cell three  '0' w/adv/h/top   size
    {201, "font201.bin", kMonoBold, Spacing::Monospaced, 18, 18, 18, 16, 16, 18, {16, 16, 16, 0}, 16348},
    {202, "font202.bin", kSans, Spacing::Proportional, 16, 16, 19, 6, 0, 0, {10, 9, 13, 3}, 17580},
    {203, "font203.bin", kSans, Spacing::Proportional, 16, 7, 8, 3, 0, 0, {4, 4, 6, 1}, 7693},
    {204, "font204.bin", kSans, Spacing::Proportional, 16, 8, 10, 3, 0, 0, {6, 5, 7, 1}, 8765},
    {205, "font205.bin", kSans, Spacing::Proportional, 16, 11, 13, 4, 0, 0, {6, 6, 8, 2}, 10577},
    {206, "font206.bin", kMonoBold, Spacing::Monospaced, 16, 11, 11, 10, 10, 11, {10, 10, 10, 0}, 9590},
    {207, "font207.bin", kMonoBold, Spacing::Monospaced, 16, 14, 14, 12, 12, 14, {12, 12, 12, 0}, 11488},
    {208, "font208.bin", kSans, Spacing::Proportional, 16, 13, 16, 5, 0, 0, {8, 7, 11, 2}, 13750},
};

} // namespace

std::span<const BlockLayout> blockLayouts() { return kBlocks; }

} // namespace fontgen
