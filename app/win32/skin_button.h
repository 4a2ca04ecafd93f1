#pragma once
// An owner-drawn push button showing a picture face over the background
// that lies under it; the face's key-colour pixels let that background show
// through. The hover face shows while the pointer is over the button.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace jasokit::win32 {

// Paints the background picture into dc, its (0, 0) at origin, filling
// what the picture does not cover with its top-left colour.
void PaintBackground(HDC dc, const RECT& area, POINT origin);

class SkinButton {
 public:
  SkinButton() = default;
  ~SkinButton();
  SkinButton(const SkinButton&) = delete;
  SkinButton& operator=(const SkinButton&) = delete;

  // Takes over the button's mouse, focus and erase messages.
  void attach(HWND button);
  void setFaces(int normal, int pressed, int hover, COLORREF keyColour);
  // WM_DRAWITEM from the parent.
  void draw(const DRAWITEMSTRUCT& item);
  bool hover() const { return m_hover != 0; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  void onMouseMove(LPARAM lParam);
  void leaveHover();
  void captureBackdrop(HDC dc);

  HWND m_hwnd = nullptr;
  HBITMAP m_faceNormal = nullptr;
  HBITMAP m_facePressed = nullptr;
  HBITMAP m_faceHover = nullptr;
  HBITMAP m_backdrop = nullptr;
  COLORREF m_keyColour = RGB(255, 255, 255);
  int m_hover = 0;
};

}  // namespace jasokit::win32
