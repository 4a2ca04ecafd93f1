// Drives a running Jaso_Kit.exe the way a user would, through window
// messages, and says what it sees: one command per run, so the test script
// can check each step and take screenshots in between.
//
//   window-driver caption              the main window's caption
//   window-driver convert TEXT         types TEXT into the input box, Enter; prints the output box
//   window-driver search TEXT          the same in the search box; prints the list, one line each
//   window-driver choose N             chooses list line N; prints the input and the output box
//   window-driver copy ID              clicks the Copy button ID; prints the clipboard's text
//   window-driver close                Esc
// Texts are UTF-8 (arguments as UTF-16 from the command line); the exit
// status is 0 on success, 1 when the window or a control is missing.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr const wchar_t* kCaption = L"주소변환기 + 우편번호찾기";
constexpr int kZipList = 1003;
constexpr int kInput = 1005;
constexpr int kOutput = 1006;
constexpr int kZipQuery = 1007;

void Print(const std::wstring& text) {
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
}

HWND FindMain() {
  for (int i = 0; i < 300; ++i) {  // a first start in a fresh prefix is slow
    if (HWND w = FindWindowW(nullptr, kCaption)) return w;
    Sleep(100);
  }
  return nullptr;
}

std::wstring Text(HWND w) {
  wchar_t buffer[4096] = L"";
  SendMessageW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

// Posted, not sent: the key must pass the window's own message loop, as a
// typed key does. A message sent from here is answered only when that loop
// next asks for a message, so one sent per message posted waits until the
// window has handled them all.
void PressEnter(HWND dialog, HWND box) {
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
  PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(box, WM_KEYUP, VK_RETURN, 0xC01C0001);
  for (int i = 0; i < 4; ++i) SendMessageW(dialog, WM_NULL, 0, 0);
}

int Enter(HWND dialog, int id, const wchar_t* text) {
  HWND box = GetDlgItem(dialog, id);
  if (!box) return 1;
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  PressEnter(dialog, box);
  return 0;
}

void PrintList(HWND dialog) {
  HWND list = GetDlgItem(dialog, kZipList);
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t line[1024] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 1024)
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
    Print(line);
  }
}

std::wstring ClipboardText() {
  std::wstring text = L"(no text)";
  for (int i = 0; i < 20 && !OpenClipboard(nullptr); ++i) Sleep(50);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

int Run(HWND dialog, const std::wstring& command, const wchar_t* argument) {
  if (command == L"caption") {
    Print(Text(dialog));
  } else if (command == L"convert" && argument) {
    if (Enter(dialog, kInput, argument)) return 1;
    Print(Text(GetDlgItem(dialog, kOutput)));
  } else if (command == L"search" && argument) {
    if (Enter(dialog, kZipQuery, argument)) return 1;
    PrintList(dialog);
  } else if (command == L"choose" && argument) {
    HWND list = GetDlgItem(dialog, kZipList);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(_wtoi(argument)), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kZipList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Print(Text(GetDlgItem(dialog, kInput)));
    Print(Text(GetDlgItem(dialog, kOutput)));
  } else if (command == L"copy" && argument) {
    HWND button = GetDlgItem(dialog, _wtoi(argument));
    if (!button) return 1;
    SendMessageW(button, BM_CLICK, 0, 0);
    Print(ClipboardText());
  } else if (command == L"close") {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  } else {
    std::fputs("usage: window-driver caption|convert TEXT|search TEXT|choose N|copy ID|close\n", stderr);
    return 2;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Run(nullptr, L"", nullptr);
  HWND dialog = FindMain();
  if (!dialog) {
    std::fputs("window-driver: no window captioned as the main window\n", stderr);
    return 1;
  }
  return Run(dialog, argv[1], argc > 2 ? argv[2] : nullptr);
}
