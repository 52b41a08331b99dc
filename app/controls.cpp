#include "app/controls.h"

#include "text/buffer.h"

const wchar_t kLabelClass[] = L"KeepFreshLabel";
const wchar_t kCanvasClass[] = L"KeepFreshCanvas";

namespace {

// Owns the objects selected into a DC for one paint and puts the old ones back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), before_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, before_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ before_;
};

void PaintLabel(HWND label, HDC dc) {
  RECT client;
  GetClientRect(label, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  int length = GetWindowTextLengthW(label);
  if (length <= 0) return;
  Bytes caption((length + 1) * sizeof(wchar_t));
  GetWindowTextW(label, reinterpret_cast<wchar_t*>(caption.data()), length + 1);
  HGDIOBJ chosen = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrW(label, GWLP_USERDATA));
  SelectedObject font(dc, chosen ? chosen : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, WideChars(caption), -1, &client, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
}

LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the paint fills the background itself, without flicker
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(label, &ps);
      PaintLabel(label, dc);
      EndPaint(label, &ps);
      return 0;
    }
    case WM_SETFONT:
      SetWindowLongPtrW(label, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(label, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(label, GWLP_USERDATA);
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcW(label, message, wParam, lParam);
      // A new caption shows at once, even in the middle of a handler.
      InvalidateRect(label, nullptr, FALSE);
      UpdateWindow(label);
      return result;
    }
  }
  return DefWindowProcW(label, message, wParam, lParam);
}

void FreeImage(CanvasState* state) {
  if (!state->image) return;
  SelectObject(state->image, state->imageBitmapBefore);
  DeleteObject(state->bitmap);
  DeleteDC(state->image);
  state->image = nullptr;
  state->bitmap = nullptr;
}

// Makes the persistent image anew at the client size, filled with the
// background, the top-left part of the old image copied in; the next line
// starts again at the top-left corner.
void ResizeImage(HWND canvas, CanvasState* state, int width, int height) {
  HDC screen = GetDC(canvas);
  HDC image = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width > 0 ? width : 1, height > 0 ? height : 1);
  ReleaseDC(canvas, screen);
  if (!image || !bitmap) {
    if (bitmap) DeleteObject(bitmap);
    if (image) DeleteDC(image);
    return;
  }
  HGDIOBJ before = SelectObject(image, bitmap);
  HGDIOBJ brush = SelectObject(image, GetSysColorBrush(COLOR_BTNFACE));
  PatBlt(image, 0, 0, width, height, PATCOPY);
  SelectObject(image, brush);
  if (state->image) BitBlt(image, 0, 0, state->width, state->height, state->image, 0, 0, SRCCOPY);
  FreeImage(state);
  state->image = image;
  state->bitmap = bitmap;
  state->imageBitmapBefore = before;
  state->width = width;
  state->height = height;
  state->x = 0;
  state->y = 0;
}

HFONT CreateCanvasFont() {
  LOGFONTW font;
  if (!GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font)) return nullptr;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = PROOF_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH;
  return CreateFontIndirectW(&font);
}

LRESULT CALLBACK CanvasProc(HWND canvas, UINT message, WPARAM wParam, LPARAM lParam) {
  CanvasState* state = CanvasOf(canvas);
  switch (message) {
    case WM_CREATE: {
      state = new CanvasState;
      SetWindowLongPtrW(canvas, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
      state->font = CreateCanvasFont();
      RECT client;
      GetClientRect(canvas, &client);
      ResizeImage(canvas, state, client.right, client.bottom);
      return state->font && state->image ? 0 : -1;
    }
    case WM_SIZE:
      if (state && (LOWORD(lParam) != state->width || HIWORD(lParam) != state->height))
        ResizeImage(canvas, state, LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(canvas, &ps);
      if (state && state->image) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, state->image, r.left, r.top, SRCCOPY);
      }
      EndPaint(canvas, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      if (state) {
        FreeImage(state);
        if (state->font) DeleteObject(state->font);
        delete state;
        SetWindowLongPtrW(canvas, GWLP_USERDATA, 0);
      }
      break;
  }
  return DefWindowProcW(canvas, message, wParam, lParam);
}

}  // namespace

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background,
                         HICON icon, HICON smallIcon) {
  WNDCLASSEXW existing;
  if (GetClassInfoExW(instance, name, &existing)) return true;
  WNDCLASSEXW c = {};
  c.cbSize = sizeof c;
  c.lpfnWndProc = procedure;
  c.hInstance = instance;
  c.hIcon = icon;
  c.hIconSm = smallIcon;
  c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  c.hbrBackground = background;
  c.lpszClassName = name;
  return RegisterClassExW(&c) != 0;
}

CanvasState* CanvasOf(HWND canvas) {
  wchar_t name[32];
  if (!GetClassNameW(canvas, name, 32) || lstrcmpW(name, kCanvasClass) != 0) return nullptr;
  return reinterpret_cast<CanvasState*>(GetWindowLongPtrW(canvas, GWLP_USERDATA));
}

bool RegisterControlClasses(HINSTANCE instance) {
  return RegisterWindowClass(instance, kLabelClass, LabelProc) && RegisterWindowClass(instance, kCanvasClass, CanvasProc);
}
