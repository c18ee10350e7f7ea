#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "framework/dialogs/control.h"
#include "framework/dialogs/dialog.h"
#include "framework/dialogs/dialog_internal.h"
#include "framework/dialogs/dialog_rules.h"
#include "framework/support/files.h"
#include "imaging/bitmap_display.h"

namespace lumetra {

namespace {

HWND Hwnd(void* window) { return static_cast<HWND>(window); }
COLORREF ToColorRef(Color3 c) { return RGB(c.red, c.green, c.blue); }

// The drawing layer: one target window at a time.
struct DrawingLayer {
  HWND window = nullptr;
  HDC dc = nullptr;
  Color3 fore = {0, 0, 0};
  Color3 back = {255, 255, 255};
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
};
DrawingLayer layer;

void ReplaceBrushAndPen() {
  if (layer.brush) DeleteObject(layer.brush);
  if (layer.pen) DeleteObject(layer.pen);
  layer.brush = CreateSolidBrush(ToColorRef(layer.fore));
  layer.pen = CreatePen(PS_SOLID, 0, ToColorRef(layer.fore));
}

// The brush cache: filled in order, kept for the life of the process.
struct CachedBrush {
  Color3 color;
  HBRUSH brush;
};
CachedBrush brushes[kDialogItemLimit];
int32_t brush_count = 0;

}  // namespace

void SetDrawingTarget(void* window) {
  if (Hwnd(window) == layer.window) return;
  if (layer.brush) DeleteObject(layer.brush);
  if (layer.pen) DeleteObject(layer.pen);
  layer.brush = nullptr;
  layer.pen = nullptr;
  if (layer.dc) ReleaseDC(layer.window, layer.dc);
  layer.window = Hwnd(window);
  layer.dc = layer.window ? GetDC(layer.window) : nullptr;
  layer.fore = {0, 0, 0};
  layer.back = {255, 255, 255};
  if (layer.window) ReplaceBrushAndPen();
}

void ReleaseDrawingTarget(void* window) {
  if (window && Hwnd(window) == layer.window) SetDrawingTarget(nullptr);
}

void* DrawingContext() { return layer.dc; }

void SetDrawingForeColor(Color3 color) {
  layer.fore = color;
  ReplaceBrushAndPen();
}

void FillDrawingRect(const ShortRect& rect) {
  if (!layer.dc || !layer.brush) return;
  RECT r{rect.left, rect.top, rect.right, rect.bottom};
  HGDIOBJ previous = SelectObject(layer.dc, layer.brush);
  SetROP2(layer.dc, R2_COPYPEN);
  FillRect(layer.dc, &r, layer.brush);
  SelectObject(layer.dc, previous);
}

void* BrushForColor(Color3 color) {
  for (int32_t i = 0; i < brush_count; ++i) {
    if (brushes[i].color == color) return brushes[i].brush;
  }
  if (brush_count == kDialogItemLimit) return nullptr;
  HBRUSH brush = CreateSolidBrush(ToColorRef(color));
  if (!brush) return nullptr;
  brushes[brush_count++] = CachedBrush{color, brush};
  return brush;
}

struct TDialog::FontSlot {
  HFONT font;
  uint8_t description[kLogFontSize];  // the LOGFONTA it was made from, normalised
};

void TDialog::FreeDrawingResources() {
  if (picture_) {
    DeleteObject(static_cast<HGDIOBJ>(picture_));
    picture_ = nullptr;
  }
  for (FontSlot*& slot : font_cache_) {
    if (!slot) break;
    if (slot->font) DeleteObject(slot->font);
    delete slot;
    slot = nullptr;
  }
}

namespace {

// The cached font of a description, made on first use; null when all slots
// are taken or the font cannot be made.
template <size_t N>
HFONT CachedFont(TDialog::FontSlot* (&cache)[N], LOGFONTA* description);

}  // namespace

// ---------------------------------------------------------------------------
// Painting

Status TDialog::PaintWindow() {
  FocusDrawing();
  TPloEvent event;
  event.type = kEventUpdate;
  Status status = kOk;
  HWND window = Hwnd(window_);
  HDC dc = static_cast<HDC>(DrawingContext());
  if (!has_background_color_ || !window || !dc) {
    status = OnUpdate(event);
  } else {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    HRGN region = CreateRectRgn(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top);
    int kind = region ? GetUpdateRgn(window, region, FALSE) : ERROR;
    if (kind != ERROR && kind != NULLREGION) {
      int saved = SaveDC(dc);
      ExtSelectClipRgn(dc, region, RGN_AND);
      status = OnUpdate(event);
      if (!StillExists()) {
        DeleteObject(region);
        return status;
      }
      // What was painted needs no painting by the platform. The items keep
      // their own update regions (ValidateRgn would take them too, where the
      // dialog does not clip its children): they paint over the background.
      if (status == kOk) RedrawWindow(window, nullptr, region, RDW_VALIDATE | RDW_NOCHILDREN);
      if (DrawingContext() == dc) RestoreDC(dc, saved);
    } else {
      status = OnUpdate(event);
    }
    if (region) DeleteObject(region);
    if (!StillExists()) return status;
  }
  SetDrawingTarget(nullptr);
  return status;
}

Status TDialog::OnUpdate(TPloEvent& event) {
  if (!window_) return kOk;
  Status status = PaintBackground(&event);
  std::memset(controls_, 0, sizeof(controls_));
  ForEachControl(
      [](void* d, TControl* control) {
        TControl** table = static_cast<TControl**>(d);
        for (int32_t i = 0; i < kDialogItemLimit; ++i) {
          if (!table[i]) {
            table[i] = control;
            return;
          }
        }
      },
      controls_);
  HDC dc = static_cast<HDC>(DrawingContext());
  int saved = dc ? SaveDC(dc) : 0;
  // From the last to the first, each drawn control keeps the next off its place.
  for (int32_t i = kDialogItemLimit - 1; i >= 0; --i) {
    TControl* control = controls_[i];
    if (!control || AsButton(control)) continue;
    control->OnUpdate(event);
    ShortRect b;
    GetItemBounds(control->GetItemId(), &b);
    if (dc) ExcludeClipRect(dc, b.left, b.top, b.right, b.bottom);
  }
  if (dc && DrawingContext() == dc) RestoreDC(dc, saved);
  return status;
}

Status TDialog::PaintBackground(TPloEvent* event) {
  if (!window_) return kOk;
  HWND window = Hwnd(window_);
  RECT update{};
  if (!GetUpdateRect(window, &update, FALSE)) {
    GetWindowRect(window, &update);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&update), 2);
  }
  if (has_background_color_) {
    FocusDrawing();
    HDC dc = static_cast<HDC>(DrawingContext());
    if (dc) {
      int saved = SaveDC(dc);
      ForEachControl(
          [](void* d, TControl* control) {
            ShortRect b{0, 0, 0, 0};
            static_cast<TDialog*>(d)->GetItemBounds(control->GetItemId(), &b);
            ExcludeClipRect(static_cast<HDC>(DrawingContext()), b.left, b.top, b.right, b.bottom);
          },
          this);
      SetDrawingForeColor(background_color_);
      FillDrawingRect(MakeShortRect(update.left, update.top, update.right, update.bottom));
      RestoreDC(dc, saved);
    }
  }
  if (!picture_) return kOk;
  const ShortRect& p = picture_bounds_;
  bool inside = update.left >= p.left && update.top >= p.top && update.right <= p.right &&
                update.bottom <= p.bottom;
  ShortRect clip = inside ? MakeShortRect(update.left, update.top, update.right, update.bottom) : p;
  int32_t width = 0, height = 0;
  GetBitmapSize(picture_, &width, &height);
  return DrawBitmap(picture_, window_, p, clip, MakeShortRect(0, 0, width, height), inside);
}

Status TDialog::SetBackgroundPicture(int16_t item, int16_t image_number, const char* image_name,
                                     void* module, bool fit_height) {
  ShortRect rect{0, 0, 0, 0};
  if (item >= 1) {
    GetItemBounds(item, &rect);
  } else {
    ShortRect window{0, 0, 0, 0};
    GetBounds(&window);
    rect.bottom = static_cast<int16_t>(window.bottom - window.top);
    rect.right = static_cast<int16_t>(window.right - window.left);
  }
  BitmapHandle bitmap = nullptr;
  const char* name = image_name ? image_name : ResourceNumber(static_cast<uint16_t>(image_number));
  Status status = LoadBackgroundBitmap(name, window_, &bitmap, module);
  if (status != kOk) return status;
  // A loaded image without a bitmap (one that is not RGB) is a picture too:
  // it replaces the previous one and shows nothing.
  if (picture_) DeleteObject(static_cast<HGDIOBJ>(picture_));
  picture_ = bitmap;
  if (fit_height && item >= 1 && bitmap) {
    int32_t width = 0, height = 0;
    GetBitmapSize(bitmap, &width, &height);
    if (width > 0) {
      // The item keeps its width and takes the picture's proportions.
      int32_t item_width = rect.right - rect.left;
      rect.bottom = static_cast<int16_t>(rect.top + item_width * height / width);
      SetItemBounds(item, rect);
    }
  }
  picture_bounds_ = rect;
  InvalidateBounds(rect);
  return kOk;
}

// ---------------------------------------------------------------------------
// Item texts and combo box entries

namespace {

template <size_t N>
HFONT CachedFont(TDialog::FontSlot* (&cache)[N], LOGFONTA* description) {
  static_assert(sizeof(LOGFONTA) == kLogFontSize, "LOGFONTA layout");
  uint8_t* bytes = reinterpret_cast<uint8_t*>(description);
  NormaliseFontDescription(bytes);
  for (TDialog::FontSlot*& slot : cache) {
    if (slot) {
      if (std::memcmp(slot->description, bytes, kLogFontSize) == 0) return slot->font;
      continue;
    }
    std::unique_ptr<TDialog::FontSlot> fresh(new (std::nothrow) TDialog::FontSlot());
    if (!fresh) return nullptr;
    fresh->font = CreateFontIndirectA(description);
    if (!fresh->font) return nullptr;
    std::memcpy(fresh->description, bytes, kLogFontSize);
    slot = fresh.release();
    return slot->font;
  }
  return nullptr;
}

}  // namespace

Status TDialog::DrawItemText(int16_t item, bool ellipsis) {
  if (item < 0 || item >= kDialogItemLimit || !window_) return kOk;
  if (!item_background_set_[item] && !item_text_color_set_[item] && !item_bold_[item] &&
      !item_size_set_[item]) {
    return kOk;
  }
  HWND control = GetDlgItem(Hwnd(window_), item);
  if (!control) return kOk;
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(Hwnd(window_), WM_GETFONT, 0, 0));
  LOGFONTA description;
  if (font && (item_bold_[item] || item_size_set_[item]) &&
      GetObjectA(font, sizeof(description), &description) == sizeof(description)) {
    if (item_bold_[item]) {
      description.lfWeight = FW_BOLD;
    } else {
      HDC screen = GetDC(nullptr);
      description.lfHeight = ItemFontHeight(item_point_size_[item], GetDeviceCaps(screen, LOGPIXELSY));
      ReleaseDC(nullptr, screen);
    }
    // With the cache full the dialog's own font serves.
    if (HFONT cached = CachedFont(font_cache_, &description)) font = cached;
  }

  HDC dc = GetDC(control);
  if (!dc) return kOk;
  RECT r;
  GetClientRect(control, &r);
  HGDIOBJ previous_font = font ? SelectObject(dc, font) : nullptr;
  if (item_background_set_[item]) {
    if (HBRUSH brush = static_cast<HBRUSH>(BrushForColor(item_background_[item]))) {
      FillRect(dc, &r, brush);
    }
    SetBkColor(dc, ToColorRef(item_background_[item]));
  }
  if (item_text_color_set_[item]) SetTextColor(dc, ToColorRef(item_text_color_[item]));
  char text[kDialogTextSize];
  GetWindowTextA(control, text, sizeof(text));
  UINT format = DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL | (ellipsis ? DT_END_ELLIPSIS : 0);
  DrawTextA(dc, text, -1, &r, format);
  if (previous_font) SelectObject(dc, previous_font);
  SetTextColor(dc, RGB(0, 0, 0));
  ReleaseDC(control, dc);
  ValidateItem(item);
  return kOk;
}

void TDialog::DrawComboEntry(intptr_t draw_item) {
  const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(draw_item);
  if (!draw || draw->CtlType != ODT_COMBOBOX || draw->itemID == static_cast<UINT>(-1)) return;
  HWND combo = draw->hwndItem;
  LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, draw->itemID, 0);
  if (length < 0) return;
  // CB_GETLBTEXT takes no buffer size: the buffer is sized from the entry.
  char small[kDialogTextSize];
  std::unique_ptr<char[]> large;
  char* text = small;
  if (static_cast<size_t>(length) >= sizeof(small)) {
    large.reset(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (!large) return;
    text = large.get();
  }
  text[0] = '\0';
  SendMessageA(combo, CB_GETLBTEXT, draw->itemID, reinterpret_cast<LPARAM>(text));

  bool is_edit = (draw->itemState & ODS_COMBOBOXEDIT) != 0;
  bool disabled_entry = (draw->itemData & 1) != 0 && draw->itemData != static_cast<ULONG_PTR>(CB_ERR);
  COLORREF fore, back;
  if (((draw->itemState & ODS_DISABLED) && is_edit) || disabled_entry) {
    fore = GetSysColor(COLOR_GRAYTEXT);
    back = GetSysColor(COLOR_WINDOW);
  } else if ((draw->itemState & ODS_SELECTED) && !is_edit) {
    fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
    back = GetSysColor(COLOR_HIGHLIGHT);
  } else {
    fore = GetSysColor(COLOR_WINDOWTEXT);
    back = GetSysColor(COLOR_WINDOW);
  }
  HDC dc = draw->hDC;
  RECT r = draw->rcItem;
  HBRUSH brush = CreateSolidBrush(back);
  if (brush) {
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  COLORREF old_fore = SetTextColor(dc, fore);
  COLORREF old_back = SetBkColor(dc, back);
  // DT_VCENTER centres only single lines.
  DrawTextA(dc, text, -1, &r, DT_VCENTER | DT_SINGLELINE);
  SetTextColor(dc, old_fore);
  SetBkColor(dc, old_back);
}

}  // namespace lumetra
