#pragma once
// The controls of the window as data: every platform builds its controls from
// this table and nothing else.
#include <array>
#include <cstdint>
#include <string_view>

namespace pet {

// In stacking order: containers before their children, and within each
// container from the back to the front, so a platform that creates the
// controls in this order stacks them as laid out.
enum class ControlId : uint8_t {
  Picture1,
  Label1,
  Label2,
  Label3,
  Label4,
  HScroll1,
  HScroll2,
  Command1,
  Command2,
  Command3,
  Command4,
  Command8,
  Picture2,
  ZPjoho0,
  ZPjoho1,
  ZPjoho3,
  ZPjoho4,
  ZPjoho5,
  ZPjoho6,
  ZPjoho2,
  ZPjoho7,
  ZPjoho8,
  ZPjoho9,
  List1,
  Command5,
  Picture3,
  File1,
  Picture4,
  Command6,
  Command7,
  Command9,
  Command10,
  Command11,
  VScroll1,
  Count
};
inline constexpr int kControlCount = static_cast<int>(ControlId::Count);

enum class ControlKind : uint8_t {
  Panel,
  Picture,
  Button,
  Label,
  HScroll,
  VScroll,
  List,
  FileList
};

struct ControlSpec {
  ControlId id;
  std::string_view name;  // as the program's event handlers spell it, e.g. "ZPjoho(8)"
  ControlKind kind;
  ControlId parent;                  // ControlId::Count: the window itself
  int32_t left, top, width, height;  // twips, relative to the parent's inner area
  std::string_view caption;          // UTF-8, at creation
  bool visibleAtStart;
  int16_t fontTenths;  // font size in tenths of a point (0: the container's)
  bool bordered;       // thin flat border (panels, the splash, ZPjoho(8))
};

extern const std::array<ControlSpec, kControlCount> kControls;

// Scroll bars' values at creation.
struct ScrollSpec {
  ControlId id;
  int16_t min, max, smallChange, largeChange, value;
};
extern const std::array<ScrollSpec, 3> kScrollSpecs;

// Panel colours, 0x00RRGGBB.
inline constexpr uint32_t kPanelColour = 0xC0FFC0;  // RGB(192, 255, 192)
inline constexpr uint32_t kWindowTextColour = 0x000000;

inline const ControlSpec& control(ControlId id) {
  return kControls[static_cast<size_t>(id)];
}
// The control named `name`, or ControlId::Count.
ControlId controlByName(std::string_view name);

}  // namespace pet
