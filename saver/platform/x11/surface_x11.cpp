// Frame surfaces the X server can read directly: with MIT-SHM the pixels
// live in a shared segment and XShmPutImage shows them without a copy;
// without it, XPutImage sends them from ordinary memory. Where the window's
// visual does not take 0x00RRGGBB words, a copy is converted into an image
// of the server's own format first. Rows run top-down either way.
//
// A shared surface may take a second buffer, so the next frame is drawn
// while the server still reads the last one; a buffer is drawn into only
// once the server has reported it read (ShmCompletion).
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/x11/x11.h"

X11DisplayState X11 = {};

namespace {

const int ShmPutImageRequest = 3;  // the MIT-SHM protocol's minor code of XShmPutImage

struct PixelBuffer {
  XImage* image;  // null when the visual needs converted pixels
  XShmSegmentInfo segment;
  bool shared;
  uint8_t* memory;
  int pending;  // puts of this buffer the server has not reported done
};

struct X11Pixels {
  PixelBuffer buffers[2];
  int count;    // 1, or 2 once a second buffer was taken
  int current;  // the buffer the surface's bits point at
  int32_t width;
  int32_t rows;
};

// The surface last shown: completions are matched to its buffers.
X11Pixels* Presented = nullptr;

// The converted copy for visuals that need one, kept between frames.
XImage* ConvertedImage = nullptr;

int LowestBit(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int BitCount(unsigned long mask) {
  int bits = 0;
  for (; mask != 0; mask >>= 1) bits += static_cast<int>(mask & 1u);
  return bits;
}

bool PixelsAreDirect(Display* display, Visual* visual, int depth) {
  if (visual->c_class != TrueColor || (depth != 24 && depth != 32)) return false;
  if (visual->red_mask != 0xFF0000u || visual->green_mask != 0xFF00u || visual->blue_mask != 0xFFu) return false;
  if (ImageByteOrder(display) != LSBFirst) return false;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  bool direct = false;
  for (int i = 0; i < count; ++i)
    if (formats[i].depth == depth) direct = formats[i].bits_per_pixel == 32;
  XFree(formats);
  return direct;
}

bool MakeShared(int32_t width, int32_t rows, PixelBuffer* pixels) {
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(rows) * 4u;
  XImage* image = XShmCreateImage(X11.display, X11.visual, static_cast<unsigned>(X11.depth), ZPixmap, nullptr,
                                  &pixels->segment, static_cast<unsigned>(width), static_cast<unsigned>(rows));
  if (image == nullptr) return false;
  if (image->bytes_per_line != width * 4) {
    XDestroyImage(image);
    return false;
  }
  pixels->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (pixels->segment.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(pixels->segment.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(pixels->segment.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  pixels->segment.shmaddr = static_cast<char*>(address);
  pixels->segment.readOnly = True;
  image->data = pixels->segment.shmaddr;
  const bool attached = XShmAttach(X11.display, &pixels->segment) && !X11RequestsFailed();
  // Marked for removal at once: the segment goes away with the last user,
  // however the program ends.
  shmctl(pixels->segment.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    image->data = nullptr;
    XDestroyImage(image);
    return false;
  }
  pixels->image = image;
  pixels->memory = reinterpret_cast<uint8_t*>(address);
  pixels->shared = true;
  return true;
}

// Ordinary memory, with an image to send it from when it will be shown.
bool MakePlain(int32_t width, int32_t rows, bool shown, PixelBuffer* pixels) {
  pixels->memory = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(width) * static_cast<size_t>(rows), 4u));
  if (pixels->memory == nullptr) return false;
  if (shown && X11.directPixels)
    pixels->image = XCreateImage(X11.display, X11.visual, static_cast<unsigned>(X11.depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels->memory), static_cast<unsigned>(width),
                                 static_cast<unsigned>(rows), 32, width * 4);
  return true;
}

void DestroyImageOnly(XImage* image) {
  if (image == nullptr) return;
  image->data = nullptr;  // the pixels are freed by their owner
  XDestroyImage(image);
}

void FreeBuffer(PixelBuffer* pixels) {
  if (pixels->shared) {
    XShmDetach(X11.display, &pixels->segment);
    DestroyImageOnly(pixels->image);
    shmdt(pixels->segment.shmaddr);
  } else {
    DestroyImageOnly(pixels->image);
    std::free(pixels->memory);
  }
  *pixels = PixelBuffer{};
}

// Pixel conversion by the visual's masks, for any TrueColor visual.
struct ChannelShift {
  int shift;  // where the channel's top bit lands
  int bits;
};

unsigned long Channel(uint32_t value8, ChannelShift channel) {
  if (channel.bits <= 0) return 0;
  const unsigned long top = value8 >> (8 - (channel.bits > 8 ? 8 : channel.bits));
  return channel.bits > 8 ? (top << (channel.bits - 8)) << channel.shift : top << channel.shift;
}

bool FillConverted(const FrameSurface* surface, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height) {
  if (ConvertedImage == nullptr || ConvertedImage->width < width || ConvertedImage->height < height) {
    if (ConvertedImage != nullptr) XDestroyImage(ConvertedImage);
    ConvertedImage = XCreateImage(X11.display, X11.visual, static_cast<unsigned>(X11.depth), ZPixmap, 0, nullptr,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (ConvertedImage == nullptr) return false;
    ConvertedImage->data =
        static_cast<char*>(std::malloc(static_cast<size_t>(ConvertedImage->bytes_per_line) * static_cast<size_t>(height)));
    if (ConvertedImage->data == nullptr) {
      XDestroyImage(ConvertedImage);
      ConvertedImage = nullptr;
      return false;
    }
  }
  const ChannelShift red = {LowestBit(X11.visual->red_mask), BitCount(X11.visual->red_mask)};
  const ChannelShift green = {LowestBit(X11.visual->green_mask), BitCount(X11.visual->green_mask)};
  const ChannelShift blue = {LowestBit(X11.visual->blue_mask), BitCount(X11.visual->blue_mask)};
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* row =
        reinterpret_cast<const uint32_t*>(surface->bits + static_cast<intptr_t>(sourceY + y) * surface->stride) + sourceX;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = row[x];
      XPutPixel(ConvertedImage, x, y,
                Channel((c >> 16) & 0xFFu, red) | Channel((c >> 8) & 0xFFu, green) | Channel(c & 0xFFu, blue));
    }
  }
  return true;
}

}  // namespace

void X11UseWindow(Display* display, Window window) {
  X11.display = display;
  X11.window = window;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes)) {
    X11.visual = attributes.visual;
    X11.depth = attributes.depth;
    X11.windowWidth = attributes.width;
    X11.windowHeight = attributes.height;
  } else {
    X11.visual = DefaultVisual(display, DefaultScreen(display));
    X11.depth = DefaultDepth(display, DefaultScreen(display));
  }
  X11.directPixels = PixelsAreDirect(display, X11.visual, X11.depth);
  if (X11.gc == nullptr) X11.gc = XCreateGC(display, window, 0, nullptr);
  int major = 0, minor = 0;
  Bool pixmaps = False;
  // TUMBRA_NO_SHM in the environment takes the way of a remote display.
  X11.shm = X11.directPixels && std::getenv("TUMBRA_NO_SHM") == nullptr &&
            XShmQueryVersion(display, &major, &minor, &pixmaps);
  X11.shmCompletion = X11.shm ? XShmGetEventBase(display) + ShmCompletion : -1;
  int event = 0, error = 0;
  if (!X11.shm || !XQueryExtension(display, "MIT-SHM", &X11.shmOpcode, &event, &error)) X11.shmOpcode = -1;
}

void X11SurfaceError(const XErrorEvent& error) {
  // A refused put sends no completion.
  if (error.request_code == X11.shmOpcode && error.minor_code == ShmPutImageRequest) X11ForgetPending();
}

bool X11SurfaceEvent(const XEvent& event) {
  if (!X11.shm || event.type != X11.shmCompletion) return false;
  const XShmCompletionEvent& done = reinterpret_cast<const XShmCompletionEvent&>(event);
  if (Presented != nullptr)
    for (int i = 0; i < Presented->count; ++i) {
      PixelBuffer& buffer = Presented->buffers[i];
      if (buffer.shared && buffer.segment.shmseg == done.shmseg && buffer.pending > 0) --buffer.pending;
    }
  return true;
}

void X11ForgetPending() {
  if (Presented == nullptr) return;
  for (int i = 0; i < Presented->count; ++i) Presented->buffers[i].pending = 0;
}

bool X11SurfaceBusy(const FrameSurface* surface) {
  const X11Pixels* pixels = static_cast<const X11Pixels*>(surface->bitmap);
  return pixels != nullptr && pixels->buffers[pixels->current].pending > 0;
}

bool X11NextBuffer(FrameSurface* surface) {
  X11Pixels* pixels = static_cast<X11Pixels*>(surface->bitmap);
  if (pixels == nullptr || !pixels->buffers[0].shared) return false;
  if (pixels->count == 1) {
    if (!MakeShared(pixels->width, pixels->rows, &pixels->buffers[1])) return false;
    std::memcpy(pixels->buffers[1].memory, pixels->buffers[0].memory,
                static_cast<size_t>(pixels->width) * static_cast<size_t>(pixels->rows) * 4u);
    pixels->count = 2;
  }
  pixels->current = 1 - pixels->current;
  surface->bits = pixels->buffers[pixels->current].memory;
  return true;
}

bool X11RequestsFailed() {
  X11.lastError = 0;
  XSync(X11.display, False);
  return X11.lastError != 0;
}

// A surface without a window (a lifeface picture) is never shown: it stays in
// plain memory and asks nothing of the server, so it can neither cost a
// round trip nor turn shared memory off for the frames.
bool PlatformCreateSurface(WindowHandle window, int32_t width, int32_t height, int32_t bitsPerPixel,
                           FrameSurface* surface) {
  const bool shown = window != nullptr;
  if (width <= 0 || height == 0 || bitsPerPixel != 32 || (shown && X11.display == nullptr)) return false;
  const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(rows) * 4u > (uint64_t{1} << 32) || rows > 0x7FFF ||
      width > 0x7FFF)
    return false;
  X11Pixels* pixels = static_cast<X11Pixels*>(std::calloc(1, sizeof(X11Pixels)));
  if (pixels == nullptr) return false;
  pixels->width = width;
  pixels->rows = static_cast<int32_t>(rows);
  pixels->count = 1;
  bool made = false;
  if (shown && X11.shm) {
    made = MakeShared(width, pixels->rows, &pixels->buffers[0]);
    if (!made) X11.shm = false;  // the server will not share: plain images from now on
  }
  if (!made) made = MakePlain(width, pixels->rows, shown, &pixels->buffers[0]);
  if (!made) {
    std::free(pixels);
    return false;
  }
  surface->bits = pixels->buffers[0].memory;
  surface->stride = width * 4;
  surface->bitmap = pixels;
  surface->dc = surface;  // the text calls draw into the surface itself
  return true;
}

void PlatformReleaseSurface(FrameSurface* surface) {
  X11Pixels* pixels = static_cast<X11Pixels*>(surface->bitmap);
  if (pixels == nullptr) return;
  for (int i = 0; i < pixels->count; ++i) FreeBuffer(&pixels->buffers[i]);
  if (Presented == pixels) Presented = nullptr;
  std::free(pixels);
  surface->bitmap = nullptr;
  surface->bits = nullptr;
}

static void PutRect(Window target, X11Pixels* pixels, const FrameSurface* surface, const PixelRect& r) {
  // The window clips the rest: only what it can show is sent.
  const int32_t width = std::min(r.width, X11.windowWidth - r.x);
  const int32_t height = std::min(r.height, X11.windowHeight - r.y);
  if (r.x < 0 || r.y < 0 || width <= 0 || height <= 0 || r.x + width > surface->width ||
      r.y + height > surface->height)
    return;
  PixelBuffer& buffer = pixels->buffers[pixels->current];
  if (buffer.image != nullptr) {
    if (buffer.shared) {
      XShmPutImage(X11.display, target, X11.gc, buffer.image, r.x, r.y, r.x, r.y, static_cast<unsigned>(width),
                   static_cast<unsigned>(height), True);
      ++buffer.pending;
      Presented = pixels;
    } else {
      XPutImage(X11.display, target, X11.gc, buffer.image, r.x, r.y, r.x, r.y, static_cast<unsigned>(width),
                static_cast<unsigned>(height));
    }
    return;
  }
  if (!FillConverted(surface, r.x, r.y, width, height)) return;
  XPutImage(X11.display, target, X11.gc, ConvertedImage, 0, 0, r.x, r.y, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
}

bool PlatformPresent(WindowHandle window, const FrameSurface* surface, const PixelRect* rects, int32_t count) {
  X11Pixels* pixels = static_cast<X11Pixels*>(surface->bitmap);
  if (pixels == nullptr || X11.display == nullptr) return false;
  const Window target = WindowOf(window);
  for (int32_t i = 0; i < count; ++i) PutRect(target, pixels, surface, rects[i]);
  return true;
}
