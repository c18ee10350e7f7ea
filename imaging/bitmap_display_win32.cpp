#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "framework/support/files.h"
#include "framework/support/memory.h"
#include "imaging/bitmap_display.h"

namespace lumetra {

namespace {

struct FreeImage {
  void operator()(PixelImage* image) const { FreePixelImage(image); }
};
using ImagePtr = std::unique_ptr<PixelImage, FreeImage>;

// The window's screen context for the life of the object.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The usual path: the whole bitmap built in one buffer in the screen's layout.
// Null when the buffer cannot be had.
HBITMAP BuildScreenBitmap(const PixelImage& image, int screen_bits) {
  MemPtr<uint8_t> bits;
  size_t row_bytes = 0;
  if (ScreenBitmapBits(&image, screen_bits, &bits, &row_bytes) != kOk) return nullptr;
  return CreateBitmap(static_cast<int>(image.columns), static_cast<int>(image.rows), 1,
                      static_cast<UINT>(screen_bits), bits.get());
}

// The slow path for any other screen: a compatible bitmap set pixel by pixel.
HBITMAP BuildPixelByPixel(const PixelImage& image, const uint8_t* pixels, HDC screen) {
  HBITMAP bitmap = CreateCompatibleBitmap(screen, static_cast<int>(image.columns),
                                          static_cast<int>(image.rows));
  if (!bitmap) return nullptr;
  HDC memory = CreateCompatibleDC(screen);
  if (!memory) {
    DeleteObject(bitmap);
    return nullptr;
  }
  HGDIOBJ previous = SelectObject(memory, bitmap);
  size_t in_pixel = BytesPerPixel(image);
  const uint8_t* from = pixels;
  for (uint32_t r = 0; r < image.rows; ++r) {
    for (uint32_t c = 0; c < image.columns; ++c, from += in_pixel) {
      SetPixelV(memory, static_cast<int>(c), static_cast<int>(r), RGB(from[0], from[1], from[2]));
    }
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  return bitmap;
}

// Moves a span, keeping its length, to start inside [0, limit): a negative
// start goes to 0, then an end beyond the limit comes back to it.
void MoveInside(int32_t* start, int32_t* end, int32_t limit) {
  if (*start < 0) {
    *end -= *start;
    *start = 0;
  }
  if (*end > limit) {
    *start -= *end - limit;
    *end = limit;
  }
}

}  // namespace

BitmapHandle ImageToBitmap(const PixelImage* image, void* window) {
  // Only 8-bit RGB reaches the screen; LoadImageFile hands out nothing else.
  if (!image || image->color_space != kColorSpaceRgb || image->bits_per_sample != 8 ||
      !image->pixels || image->rows == 0 || image->columns == 0 ||
      image->rows > INT32_MAX || image->columns > INT32_MAX) {
    return nullptr;
  }
  WindowDc screen(static_cast<HWND>(window));
  if (!screen.get()) return nullptr;
  int bits = GetDeviceCaps(screen.get(), BITSPIXEL);
  HBITMAP bitmap = nullptr;
  if (bits == 24 || bits == 32) bitmap = BuildScreenBitmap(*image, bits);
  if (bitmap) return bitmap;
  const uint8_t* pixels = static_cast<const uint8_t*>(MemLock(image->pixels));
  if (!pixels) return nullptr;
  bitmap = BuildPixelByPixel(*image, pixels, screen.get());
  MemUnlock(image->pixels);
  return bitmap;
}

Status DrawBitmap(BitmapHandle bitmap, void* window, const ShortRect& destination,
                  const ShortRect& clip, const ShortRect& source, bool use_update_region) {
  HWND hwnd = static_cast<HWND>(window);
  WindowDc screen(hwnd);
  if (!screen.get()) return kOk;
  HDC memory = CreateCompatibleDC(screen.get());
  if (!memory) return kOk;

  int32_t width = 0;
  int32_t height = 0;
  GetBitmapSize(bitmap, &width, &height);
  int32_t left = source.left, right = source.right, top = source.top, bottom = source.bottom;
  MoveInside(&left, &right, width);
  MoveInside(&top, &bottom, height);

  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (use_update_region && region && GetUpdateRgn(hwnd, region, FALSE) > NULLREGION) {
    SelectClipRgn(screen.get(), region);
  }
  if (BeginPath(screen.get())) {
    MoveToEx(screen.get(), clip.left, clip.top, nullptr);
    LineTo(screen.get(), clip.right, clip.top);
    LineTo(screen.get(), clip.right, clip.bottom);
    LineTo(screen.get(), clip.left, clip.bottom);
    CloseFigure(screen.get());
    EndPath(screen.get());
    SelectClipPath(screen.get(), RGN_AND);
  }

  HGDIOBJ previous = SelectObject(memory, static_cast<HBITMAP>(bitmap));
  SetStretchBltMode(screen.get(), COLORONCOLOR);
  const bool stretched =
      StretchBlt(screen.get(), destination.left, destination.top, destination.right - destination.left,
                 destination.bottom - destination.top, memory, left, top,
                 std::min(right - left, width), std::min(bottom - top, height), SRCCOPY) != 0;
  // Read before the clean-up calls below can change the last error.
  const Status status = StatusFromSystem(stretched);
  SelectObject(memory, previous);
  DeleteDC(memory);
  if (region) DeleteObject(region);
  return status;
}

Status DrawWholeBitmap(BitmapHandle bitmap, void* window, const ShortRect& destination) {
  int32_t width = 0;
  int32_t height = 0;
  GetBitmapSize(bitmap, &width, &height);
  ShortRect source = MakeShortRect(0, 0, width, height);
  return DrawBitmap(bitmap, window, destination, destination, source, false);
}

void GetBitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height) {
  BITMAP info = {};
  bool known = bitmap && GetObjectA(static_cast<HBITMAP>(bitmap), sizeof info, &info) != 0;
  if (width) *width = known ? info.bmWidth : 0;
  if (height) *height = known ? info.bmHeight : 0;
}

Status LoadBackgroundBitmap(const char* number_or_name, void* window, BitmapHandle* bitmap,
                            void* module) {
  if (!bitmap) return kBadArgument;
  *bitmap = nullptr;
  char number_text[16];
  const char* name = number_or_name;
  if (IsResourceNumber(number_or_name)) {
    std::snprintf(number_text, sizeof number_text, "%u",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(number_or_name)));
    name = number_text;
  }
  char path[kPathBufferSize];
  if (FindNamedData(nullptr, kDataKindBinaryAlt, name, path, sizeof path) == kOk) {
    PixelImage* loaded = nullptr;
    if (LoadImageFile(path, &loaded, nullptr, nullptr) == kOk) {
      ImagePtr image(loaded);
      // An image that is not RGB still counts as found: no picture, no error.
      *bitmap = ImageToBitmap(image.get(), window);
      return kOk;
    }
  }
  HMODULE from = module ? static_cast<HMODULE>(module) : GetModuleHandleA(nullptr);
  *bitmap = LoadBitmapA(from, number_or_name);
  return *bitmap ? kOk : kRefused;
}

}  // namespace lumetra
