#include "hosts/desktop/ViewerGrid.h"

#include "platform/Time.h"

#include <cmath>
#include <cstring>
#include <new>

namespace desktop {

std::vector<CellRect> gridLayout(int count, int windowWidth, int windowHeight) {
  std::vector<CellRect> cells;
  if (count <= 0) return cells;
  int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  int rows = (count + columns - 1) / columns;
  for (int i = 0; i < count; ++i) {
    const int column = i % columns;
    const int row = i / columns;
    CellRect cell;
    cell.x = windowWidth * column / columns;
    cell.y = windowHeight * row / rows;
    cell.width = windowWidth * (column + 1) / columns - cell.x;
    cell.height = windowHeight * (row + 1) / rows - cell.y;
    cells.push_back(cell);
  }
  return cells;
}

ViewerCell::ViewerCell(const CameraAddress& camera, int language, presentation::DecodeMode decode,
                       platform::SocketWaiter& waiter) {
  window_.setWaker(&waiter);
  embed::ViewerSettings settings;
  settings.host = camera.host.c_str();
  settings.port = camera.port;
  settings.connectionId = camera.id;
  settings.language = language;
  settings.decode = decode;
  viewer_ = embed::createViewer(settings);
  if (!viewer_) throw std::bad_alloc(); // a program of its own: no memory ends it
  embed::attachWindow(viewer_, window_.handle());
}

ViewerCell::~ViewerCell() { embed::destroyViewer(viewer_); }

bool ViewerCell::start() {
  dirty_ = true;
  return embed::startViewer(viewer_);
}

int ViewerCell::pump(int waitMs) {
  ViewerHostWindow host;
  host.window = window_.handle();
  host.clientWidth = rect_.width;
  host.clientHeight = rect_.height;
  const int handled = window_.pump(
      [&](const platform::WindowMessage& message) { embed::dispatchMessage(viewer_, message, host); }, waitMs);
  // A pending repaint request ends the queue's wait at once: note it and clear it.
  if (!window_.takeInvalidated()) return handled;
  dirty_ = true;
  return handled + 1;
}

bool ViewerCell::takeDirty() {
  const bool dirty = dirty_;
  dirty_ = false;
  return dirty;
}

void ViewerCell::paint() { embed::paint(viewer_, canvas_, {0, 0, rect_.width, rect_.height}); }

void ViewerCell::setRect(const CellRect& rect) {
  rect_ = rect;
  canvas_.resize(rect.width, rect.height);
  dirty_ = true;
}

ViewerGrid::ViewerGrid(const Options& options) {
  for (const CameraAddress& camera : options.cameras)
    cells_.push_back(std::make_unique<ViewerCell>(camera, options.language, options.decode, waiter_));
  resize(options.width, options.height);
}

bool ViewerGrid::start() {
  bool all = true;
  for (auto& cell : cells_) all = cell->start() && all;
  return all;
}

int ViewerGrid::pumpAll() {
  int handled = 0;
  for (auto& cell : cells_) handled += cell->pump(0);
  return handled;
}

bool ViewerGrid::pump(int waitMs) {
  int handled = pumpAll();
  if (handled == 0 && waitMs != 0) {
    // A message posted after the queues were looked at has woken the waiter already, so the
    // wait ends at once.
    waiter_.wait(platform::kNoSocket, waitMs);
    handled = pumpAll();
  }
  return handled > 0;
}

void ViewerGrid::resize(int width, int height) {
  width_ = width;
  height_ = height;
  std::vector<CellRect> rects = gridLayout(static_cast<int>(cells_.size()), width, height);
  for (std::size_t i = 0; i < cells_.size(); ++i) cells_[i]->setRect(rects[i]);
}

const std::vector<ViewerCell*>& ViewerGrid::paintCells(bool all) {
  painted_.clear();
  for (auto& cell : cells_) {
    if (!cell->takeDirty() && !all) continue;
    cell->paint();
    painted_.push_back(cell.get());
  }
  return painted_;
}

void ViewerGrid::paint(bool all) {
  // Made when first composed into: a host that shows the cells itself never needs it.
  if (canvas_.width() != width_ || canvas_.height() != height_) {
    canvas_.resize(width_, height_);
    all = true;
  }
  for (ViewerCell* cell : paintCells(all)) {
    const CellRect& r = cell->rect();
    const paint::SoftwareCanvas& source = cell->canvas();
    for (int y = 0; y < r.height; ++y)
      std::memcpy(canvas_.pixels() + (static_cast<std::size_t>(r.y + y) * canvas_.width() + r.x) * 3,
                  source.pixels() + static_cast<std::size_t>(y) * source.stride(), std::size_t(r.width) * 3);
  }
}

int ViewerGrid::fewestPicturesShown() const {
  int fewest = -1;
  for (const auto& cell : cells_) {
    const int shown = cell->state().picturesShown;
    if (fewest < 0 || shown < fewest) fewest = shown;
  }
  return fewest < 0 ? 0 : fewest;
}

} // namespace desktop
