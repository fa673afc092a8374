#pragma once
// What tests and benchmarks drive inside a viewer and no host may touch: the connection (its
// window slot is where the Receiver thread parks a picture) and the frame pipeline.
#include "presentation/Viewer.h"

class ViewerTestAccess {
public:
  static CConnection& connection(CViewer& viewer) { return viewer.connection; }
  static CFramePipeline& pipeline(CViewer& viewer) { return viewer.pipeline; }
};
