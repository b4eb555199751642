// The definition of the launcher window Form3 and its seven controls: the
// values they carry when created, before Load runs. Every platform builds its
// window from this data.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/toolkit.h"

namespace spc {

// A colour: six hex digits RRGGBB, or a system colour of the user's scheme.
struct Color {
  enum class Kind { kRgb, kSystem };
  Kind kind;
  std::uint32_t value;  // 0xRRGGBB, or the system colour index

  static constexpr Color Rgb(std::uint32_t rrggbb) { return {Kind::kRgb, rrggbb}; }
  static constexpr Color System(std::uint32_t index) { return {Kind::kSystem, index}; }
  friend constexpr bool operator==(Color, Color) = default;
};

inline constexpr std::uint32_t kSystemWindowBackground = 5;
inline constexpr std::uint32_t kSystemWindowText = 8;

enum class Image { kCorner, kCentre, kLauncherIcon };

struct WindowDefinition {
  std::u16string_view caption;
  Color backColor;
  int borderStyle;  // 0: none
  Image icon;
  bool maxButton;
  bool minButton;
  float clientLeft, clientTop, clientWidth, clientHeight;
  bool showInTaskbar;
  int startUpPosition;  // 3: system default
};

struct PictureBoxDefinition {
  ControlId id;
  Color backColor;
  Image picture;
  float left, top, width, height;
  int tabIndex;
  int borderStyle;  // 0: none
};

struct FontDefinition {
  std::u16string_view name;
  double points;
  int weight;
  int charset;
  bool italic, underline, strikethrough;
};

struct LabelDefinition {
  ControlId id;
  Color backColor;
  Color foreColor;
  float left, top, width, height;
  int tabIndex;
  bool autoSize;
  bool wordWrap;
  FontDefinition font;
};

struct CommonDialogDefinition {
  std::string_view progId;
  std::string_view classId;
  int extentWidth, extentHeight;  // hundredths of a millimetre, design-time only
};

enum class ControlKind { kPictureBox, kCommonDialog, kLabel };

struct Form3Definition {
  WindowDefinition window;
  // Picture5 to Picture1, in stacking order from front to back.
  std::array<PictureBoxDefinition, 5> pictures;
  CommonDialogDefinition commonDialog1;
  LabelDefinition label1;
  // The seven controls from front to back; CommonDialog1 has no window and
  // takes no place in the stacking.
  std::array<ControlKind, 7> definitionOrder;
};

inline constexpr Form3Definition kForm3Definition{
    .window =
        {
            .caption = u"plenavo",
            .backColor = Color::Rgb(0xFFFFFF),
            .borderStyle = 0,
            .icon = Image::kLauncherIcon,
            .maxButton = false,
            .minButton = false,
            .clientLeft = 0,
            .clientTop = -105,
            .clientWidth = 10755,
            .clientHeight = 8190,
            .showInTaskbar = false,
            .startUpPosition = 3,
        },
    .pictures = {{
        {ControlId::kPicture5, Color::Rgb(0xFFFFFF), Image::kCentre, 1080, 4080, 1575, 1575, 5, 0},
        {ControlId::kPicture4, Color::Rgb(0xFFFFFF), Image::kCorner, 5760, 2640, 1575, 1575, 4, 0},
        {ControlId::kPicture3, Color::Rgb(0xFFFFFF), Image::kCorner, 840, 120, 1575, 1575, 3, 0},
        {ControlId::kPicture2, Color::System(kSystemWindowBackground), Image::kCorner, 2760, 3240, 1575, 1575, 2, 0},
        {ControlId::kPicture1, Color::System(kSystemWindowBackground), Image::kCorner, 5880, 360, 1575, 1575, 1, 0},
    }},
    .commonDialog1 = {"MSComDlg.CommonDialog", "{F9043C85-F6F2-101A-A3C9-08002B2F49FB}", 847, 847},
    .label1 =
        {
            .id = ControlId::kLabel1,
            .backColor = Color::Rgb(0xC0FFFF),
            .foreColor = Color::Rgb(0xFF0000),
            .left = 360,
            .top = 3240,
            .width = 135,
            .height = 360,
            .tabIndex = 0,
            .autoSize = true,
            .wordWrap = true,
            .font = {u"MS Sans Serif", 13.5, 700, 0, false, false, false},
        },
    .definitionOrder = {ControlKind::kPictureBox, ControlKind::kPictureBox, ControlKind::kPictureBox,
                        ControlKind::kPictureBox, ControlKind::kPictureBox, ControlKind::kCommonDialog,
                        ControlKind::kLabel},
};

// Name of a control as the code and the window definition spell it.
std::u16string_view ControlName(ControlId id);

}  // namespace spc
