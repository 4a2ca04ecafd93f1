#include "app/win32/skin_button.h"

#include <commctrl.h>

#include <initializer_list>

#include "app/win32/resource.h"

namespace jasokit::win32 {

namespace {

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  return {info.bmWidth, info.bmHeight};
}

HBITMAP LoadFace(int id) {
  return static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

}  // namespace

void PaintBackground(HDC dc, const RECT& area, POINT origin) {
  // Loaded anew for every paint: nothing of it is kept between erases.
  HBITMAP picture = LoadFace(IDB_BACKGROUND);
  const SIZE size = picture ? BitmapSize(picture) : SIZE{0, 0};
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, picture);
  const COLORREF ground = picture ? GetPixel(memory, 0, 0) : GetSysColor(COLOR_BTNFACE);
  HBRUSH brush = CreateSolidBrush(ground);
  FillRect(dc, &area, brush);
  DeleteObject(brush);
  if (picture) BitBlt(dc, origin.x, origin.y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  if (picture) DeleteObject(picture);
}

SkinButton::~SkinButton() {
  if (m_hwnd) RemoveWindowSubclass(m_hwnd, &SkinButton::Proc, 1);
  for (HBITMAP bitmap : {m_backdrop, m_faceHover, m_facePressed, m_faceNormal}) {
    if (bitmap) DeleteObject(bitmap);
  }
}

void SkinButton::attach(HWND button) {
  m_hwnd = button;
  SetWindowLongPtrW(button, GWL_STYLE, GetWindowLongPtrW(button, GWL_STYLE) | BS_OWNERDRAW);
  SetWindowSubclass(button, &SkinButton::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void SkinButton::setFaces(int normal, int pressed, int hover, COLORREF keyColour) {
  for (HBITMAP bitmap : {m_faceHover, m_facePressed, m_faceNormal}) {
    if (bitmap) DeleteObject(bitmap);
  }
  m_faceNormal = LoadFace(normal);
  m_facePressed = LoadFace(pressed);
  m_faceHover = LoadFace(hover);
  m_keyColour = keyColour;
}

void SkinButton::captureBackdrop(HDC dc) {
  // The part of the background picture under the button, taken from the
  // picture itself rather than the screen, so a window that is covered or
  // off screen at its first drawing still gets the right pixels.
  RECT window{};
  GetWindowRect(m_hwnd, &window);
  MapWindowPoints(HWND_DESKTOP, GetParent(m_hwnd), reinterpret_cast<POINT*>(&window), 2);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  HDC memory = CreateCompatibleDC(dc);
  m_backdrop = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = SelectObject(memory, m_backdrop);
  const RECT area{0, 0, width, height};
  PaintBackground(memory, area, POINT{-window.left, -window.top});
  SelectObject(memory, old);
  DeleteDC(memory);
}

void SkinButton::draw(const DRAWITEMSTRUCT& item) {
  if (!m_backdrop) captureBackdrop(item.hDC);
  HDC memory = CreateCompatibleDC(item.hDC);
  const SIZE backdrop = BitmapSize(m_backdrop);
  HGDIOBJ old = SelectObject(memory, m_backdrop);
  BitBlt(item.hDC, 0, 0, backdrop.cx, backdrop.cy, memory, 0, 0, SRCCOPY);

  HBITMAP face = m_faceNormal;
  if (m_hover != 0) face = (item.itemState & ODS_SELECTED) ? m_facePressed : m_faceHover;
  if (face) {
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const SIZE size = BitmapSize(face);
    SelectObject(memory, face);
    TransparentBlt(item.hDC, (client.right - size.cx) / 2, (client.bottom - size.cy) / 2, size.cx, size.cy, memory, 0,
                   0, size.cx, size.cy, m_keyColour);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
}

void SkinButton::onMouseMove(LPARAM lParam) {
  if (GetCapture() != m_hwnd) {
    // Captured, the button keeps hearing the pointer after it leaves.
    m_hover = 1;
    SetCapture(m_hwnd);
    InvalidateRect(m_hwnd, nullptr, TRUE);
    return;
  }
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ClientToScreen(m_hwnd, &point);
  HWND under = WindowFromPoint(point);
  if (under != nullptr && under != m_hwnd && m_hover == 1) {
    ReleaseCapture();
    m_hover = 0;
    InvalidateRect(m_hwnd, nullptr, TRUE);
  }
}

void SkinButton::leaveHover() {
  if (m_hover == 0) return;
  ReleaseCapture();
  m_hover = 0;
  RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CALLBACK SkinButton::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto* button = reinterpret_cast<SkinButton*>(self);
  switch (message) {
    case WM_MOUSEMOVE: button->onMouseMove(lParam); break;
    case WM_KILLFOCUS: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      button->leaveHover();
      return result;
    }
    case WM_ERASEBKGND: return 1;  // draw() paints everything
    default: break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace jasokit::win32
