// The two control kinds the window draws itself: labels, which paint their
// own captions, and the canvas, which keeps a persistent image of all that
// is drawn on it and repaints from that image.
#pragma once

#include <windows.h>

extern const wchar_t kLabelClass[];
extern const wchar_t kCanvasClass[];

bool RegisterControlClasses(HINSTANCE instance);

// Registers a window class of this program once; later calls find it there.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr,
                         HICON icon = nullptr, HICON smallIcon = nullptr);

// The canvas's drawing state: the persistent image, the font of its lines and
// the position at which the next line is written.
struct CanvasState {
  HDC image = nullptr;         // memory DC holding the persistent image
  HBITMAP bitmap = nullptr;    // selected into image
  HGDIOBJ imageBitmapBefore = nullptr;
  HFONT font = nullptr;
  int width = 0;               // client size the image was made for
  int height = 0;
  int x = 0;                   // write position
  int y = 0;
};

// The state of a canvas window, or null for any other window.
CanvasState* CanvasOf(HWND canvas);
