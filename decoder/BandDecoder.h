// Decodes the coded samples of one band into its place in the coefficient plane.
//
// Class A (code table 1) suits bands with many large values, class B (tables 2 and 3) sparse
// bands with long runs of zeros. Samples are filled in raster order; a run of zeros advances
// the position without writing (the plane was cleared beforehand), runs cross line ends, and
// the band is finished as soon as the position leaves its last line: nothing more is read.
// The band's samples must be zero beforehand (DecodeField clears the planes): a run may write
// zeros where it skips. The functions return 0 or the ErrorStage of the first stream error;
// samples written before an error stay in the plane, and a few after it may be written too
// (inside the band).
#pragma once

#include "decoder/BitReader.h"
#include "decoder/CodeTables.h"
#include "decoder/SubbandGeometry.h"

namespace wavelet {

// Scales each value as it is written, (q * x + 4) >> 3 with x the 16-bit coded value (the
// portable engine's dequantisation), or writes values as coded.
struct BandScaling {
  bool enabled = false;
  int32_t quantiser = 0;
};

int DecodeBandA(BitReader& reader, const SubbandDescriptor& band, BandScaling scaling = {});
int DecodeBandB(BitReader& reader, const SubbandDescriptor& band, CodeTableId table, BandScaling scaling = {});

} // namespace wavelet
