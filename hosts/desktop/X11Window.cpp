#include "hosts/desktop/X11Window.h"

#include "hosts/desktop/ViewerGrid.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace desktop {
namespace {

// Ctrl-C and SIGTERM end the loop like the close button: the viewers stop cleanly. The
// handler wakes the loop's wait (SocketWaiter::wake may be called from a signal handler).
volatile std::sig_atomic_t stopRequested = 0;
platform::SocketWaiter* volatile loopWaiter = nullptr;
void requestStop(int) {
  stopRequested = 1;
  if (platform::SocketWaiter* waiter = loopWaiter) waiter->wake();
}

// An XImage over a buffer of our own in the server's pixel format.
class WindowImage {
public:
  WindowImage(Display* display, Visual* visual, int depth) : display_(display), visual_(visual), depth_(depth) {}
  ~WindowImage() { release(); }

  bool resize(int width, int height) {
    release();
    if (width <= 0 || height <= 0) return true;
    image_ = XCreateImage(display_, visual_, depth_, ZPixmap, 0, nullptr, width, height, 32, 0);
    if (!image_) return false;
    image_->data = static_cast<char*>(std::calloc(std::size_t(image_->bytes_per_line) * height, 1));
    if (!image_->data) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
    fast_ = image_->bits_per_pixel == 32 && image_->red_mask == 0xFF0000 && image_->green_mask == 0x00FF00 &&
            image_->blue_mask == 0x0000FF && image_->byte_order == LSBFirst;
    return true;
  }

  // Copies a cell's canvas (blue, green, red bytes) into the image at the cell's place.
  void copy(const paint::SoftwareCanvas& canvas, const CellRect& r) {
    if (!image_) return;
    for (int y = r.y; y < r.y + r.height && y < image_->height && y - r.y < canvas.height(); ++y) {
      const std::uint8_t* p = canvas.pixels() + std::size_t(y - r.y) * canvas.stride();
      if (fast_) {
        auto* out = reinterpret_cast<std::uint8_t*>(image_->data + std::size_t(y) * image_->bytes_per_line) + r.x * 4;
        for (int x = r.x; x < r.x + r.width && x < image_->width; ++x, p += 3, out += 4) {
          out[0] = p[0];
          out[1] = p[1];
          out[2] = p[2];
          out[3] = 0;
        }
      } else {
        for (int x = r.x; x < r.x + r.width && x < image_->width; ++x, p += 3)
          XPutPixel(image_, x, y,
                    scaled(p[2], image_->red_mask) | scaled(p[1], image_->green_mask) |
                        scaled(p[0], image_->blue_mask));
      }
    }
  }

  void put(Window window, GC gc, const CellRect& r) {
    if (image_) XPutImage(display_, window, gc, image_, r.x, r.y, r.x, r.y, r.width, r.height);
  }

private:
  static unsigned long scaled(std::uint8_t value, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    unsigned long max = mask >> shift;
    return ((value * max + 127) / 255) << shift;
  }

  void release() {
    if (image_) XDestroyImage(image_); // frees the data too
    image_ = nullptr;
  }

  Display* display_;
  Visual* visual_;
  int depth_;
  XImage* image_ = nullptr;
  bool fast_ = false;
};

} // namespace

bool runWindow(const Options& options, std::string& message) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    message = "cannot open the X display (is DISPLAY set?)";
    return false;
  }
  const int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, options.width, options.height, 0,
                                      BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, window, "camview");
  XSelectInput(display, window, ExposureMask | StructureNotifyMask | KeyPressMask);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);
  XMapWindow(display, window);
  GC gc = XCreateGC(display, window, 0, nullptr);

  {
    ViewerGrid grid(options);
    WindowImage image(display, DefaultVisual(display, screen), DefaultDepth(display, screen));
    image.resize(options.width, options.height);
    int width = options.width;
    int height = options.height;
    grid.start();

    loopWaiter = &grid.waiter();
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    bool running = true;
    bool exposed = false;
    while (running) {
      while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
          exposed = true;
          break;
        case ConfigureNotify:
          if (event.xconfigure.width != width || event.xconfigure.height != height) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
            grid.resize(width, height);
            image.resize(width, height);
            exposed = true;
          }
          break;
        case KeyPress: {
          KeySym key = XLookupKeysym(&event.xkey, 0);
          if (key == XK_Escape || key == XK_q) running = false;
          break;
        }
        case ClientMessage:
          if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) running = false;
          break;
        default:
          break;
        }
      }
      if (stopRequested) running = false;
      if (!running) break;

      grid.pump(0);
      // Each painted cell goes straight from its canvas into the window's image.
      for (ViewerCell* cell : grid.paintCells(exposed)) {
        image.copy(cell->canvas(), cell->rect());
        if (!exposed) image.put(window, gc, cell->rect());
      }
      if (exposed) image.put(window, gc, CellRect{0, 0, width, height});
      exposed = false;
      XFlush(display);

      // Sleep until the X server says something or a viewer posts a message (or asks for a
      // repaint). Events Xlib has read already are not seen by the wait: XPending first.
      if (!XPending(display)) grid.waiter().wait(ConnectionNumber(display), -1);
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    loopWaiter = nullptr;
  } // the viewers stop here, before the window goes

  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return true;
}

} // namespace desktop
