#pragma once
// Resource ids and template geometry of the main window and the About box,
// shared by the program and by the art generator so that the frames painted
// into the background picture line up with the controls.
namespace jasokit::layout {

// The dialog font's average character cell is 7 x 12 pixels: one horizontal
// dialog unit is 7/4 pixel, one vertical unit 12/8 pixel. Every value is
// converted on its own and rounded to the nearest pixel, halves away from
// zero, which is how the platform's MulDiv rounds template units.
constexpr int UnitsToPixelsX(int units) { return (units * 14 + 4) / 8; }
constexpr int UnitsToPixelsY(int units) { return (units * 6 + 2) / 4; }

struct UnitRect {
  int x, y, width, height;
};

struct PixelRect {
  int x, y, width, height;
};

constexpr PixelRect ToPixels(UnitRect r) {
  return {UnitsToPixelsX(r.x), UnitsToPixelsY(r.y), UnitsToPixelsX(r.width), UnitsToPixelsY(r.height)};
}

// Resource ids and the system-menu commands of the About and style items
// (multiples of 16: Windows uses the low four bits of a system command itself).
inline constexpr int kIdIcon = 128;
inline constexpr int kIdBackground = 132;
inline constexpr int kIdCopyFace = 136;
inline constexpr int kIdCopyHoverFace = 137;
inline constexpr int kIdResetHoverFace = 142;
inline constexpr int kIdResetFace = 143;
inline constexpr int kAboutCommand = 0x0010;
inline constexpr int kOfficialStyleCommand = 0x0020;
inline constexpr int kNameModeCommand = 0x0030;
inline constexpr int kCurrentPostcodeCommand = 0x0040;
inline constexpr int kChooseAddressDbCommand = 0x0050;

// Main window: 343 x 331 units, so a 600 x 497 pixel client area.
inline constexpr UnitRect kMainDialogUnits{0, 0, 343, 331};
inline constexpr UnitRect kInputUnits{28, 120, 230, 12};
inline constexpr UnitRect kOutputUnits{28, 152, 230, 12};
inline constexpr UnitRect kZipQueryUnits{28, 214, 230, 12};
inline constexpr UnitRect kZipListUnits{28, 231, 230, 54};
// Under the list: the note that the table is the sample (its codes made up).
inline constexpr UnitRect kZipNoteUnits{28, 287, 230, 9};
inline constexpr UnitRect kBannerUnits{134, 7, 191, 45};
inline constexpr UnitRect kCopyInputUnits{266, 117, 21, 14};
inline constexpr UnitRect kCopyOutputUnits{266, 148, 21, 14};
inline constexpr UnitRect kCopyQueryUnits{266, 211, 21, 14};
inline constexpr UnitRect kResetUnits{292, 117, 21, 14};

// About box: 235 x 55 units.
inline constexpr UnitRect kAboutDialogUnits{0, 0, 235, 55};
inline constexpr UnitRect kAboutIconUnits{11, 17, 0, 0};  // the icon keeps its own 32 x 32 size
inline constexpr UnitRect kAboutVersionUnits{40, 10, 119, 8};
inline constexpr UnitRect kAboutYearUnits{40, 25, 119, 8};
inline constexpr UnitRect kAboutOkUnits{178, 7, 50, 14};

// The background picture and the button faces.
inline constexpr int kBackgroundWidth = 600;
inline constexpr int kBackgroundHeight = 500;
inline constexpr int kFaceWidth = 35;
inline constexpr int kFaceHeight = 20;

static_assert(ToPixels(kMainDialogUnits).width == 600 && ToPixels(kMainDialogUnits).height == 497);
static_assert(ToPixels(kInputUnits).x == 49 && ToPixels(kInputUnits).width == 403);
static_assert(ToPixels(kZipListUnits).y == 347);

}  // namespace jasokit::layout
