#pragma once
// The viewers of one desktop window: one per camera, each in its own cell of a grid, each
// with its own message queue (standing in for a window of its own) and canvas. The owner
// pumps the queues on its thread, which is the window thread of every viewer, and sleeps on
// the grid's waiter until any queue has something (or its own sources do).
#include "hosts/desktop/ViewerCommandLine.h"
#include "platform/SocketWaiter.h"
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"
#include "presentation/EmbeddedViewer.h"

#include <memory>
#include <vector>

namespace desktop {

struct CellRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Cells of `count` viewers in a window: columns = ceil(sqrt(count)), rows as needed.
std::vector<CellRect> gridLayout(int count, int windowWidth, int windowHeight);

// One viewer, driven through the hosts' facade as the browser hosts drive theirs.
class ViewerCell {
public:
  // Every message for the viewer (and every repaint request) wakes `waiter`.
  ViewerCell(const CameraAddress& camera, int language, presentation::DecodeMode decode,
             platform::SocketWaiter& waiter);
  ~ViewerCell();
  ViewerCell(const ViewerCell&) = delete;
  ViewerCell& operator=(const ViewerCell&) = delete;

  bool start();
  // Hands every queued message to the viewer's dispatcher; returns how many, one more when
  // the viewer asked for a repaint.
  int pump(int waitMs);
  // True (and cleared) when the cell must be painted again.
  bool takeDirty();
  // Paints the viewer into the cell's canvas at the cell's size.
  void paint();

  void setRect(const CellRect& rect);
  const CellRect& rect() const { return rect_; }
  const paint::SoftwareCanvas& canvas() const { return canvas_; }
  embed::ViewerState state() const { return embed::viewerState(viewer_); }
  // The viewer's current picture, copied into `into`; false when it cannot grow.
  bool copyPicture(PictureRecord& into) const { return embed::copyCurrentPicture(viewer_, into); }

private:
  platform::MessageWindow window_; // declared first: the viewer (and its threads) go first
  CViewer* viewer_ = nullptr;      // from embed::createViewer; never null (else the cell aborts)
  paint::SoftwareCanvas canvas_;
  CellRect rect_;
  bool dirty_ = true;
};

class ViewerGrid {
public:
  ViewerGrid(const Options& options);

  // Starts every viewer; false when one could not start (it shows its status screen).
  bool start();
  // Pumps every cell; when nothing was queued, waits up to waitMs (negative: without limit)
  // for a message to any of them and pumps again. True when any message was handled.
  bool pump(int waitMs);
  // Woken by every message to a viewer: a host that waits for other things too (its X
  // connection) waits with this and pumps afterwards.
  platform::SocketWaiter& waiter() { return waiter_; }
  void resize(int width, int height);
  // Paints the cells that asked for it (all of them when `all`) into their own canvases;
  // returns the cells painted. A host that shows the cells itself stops here.
  const std::vector<ViewerCell*>& paintCells(bool all);
  // paintCells, then composes the painted cells into the window canvas (canvas()).
  void paint(bool all);
  // The fewest decoded pictures any viewer has shown.
  int fewestPicturesShown() const;

  // The composed window picture, as of the last paint.
  const paint::SoftwareCanvas& canvas() const { return canvas_; }
  std::vector<std::unique_ptr<ViewerCell>>& cells() { return cells_; }

private:
  int pumpAll();

  platform::SocketWaiter waiter_; // declared before the cells: they go first
  std::vector<std::unique_ptr<ViewerCell>> cells_;
  paint::SoftwareCanvas canvas_;
  std::vector<ViewerCell*> painted_;
  int width_ = 0; // the window's size
  int height_ = 0;
};

} // namespace desktop
