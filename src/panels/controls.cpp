#include "panels/controls.h"

namespace pet {

namespace {
constexpr ControlId W = ControlId::Count;  // the window
using C = ControlId;
using K = ControlKind;
}  // namespace

// In the order of ControlId: kControls[id] is the control `id`.
const std::array<ControlSpec, kControlCount> kControls{{
    {C::Picture1, "Picture1", K::Panel, W, 6000, 840, 4575, 2895, "", false, 0, true},
    {C::Label1, "Label1", K::Label, C::Picture1, 120, 960, 1095, 255, "速度：", true, 98, false},
    {C::Label2, "Label2", K::Label, C::Picture1, 120, 120, 4215, 375, "スロット", true, 158, false},
    {C::Label3, "Label3", K::Label, C::Picture1, 120, 1680, 2895, 255, "拡大：", true, 98, false},
    {C::Label4, "Label4", K::Label, C::Picture1, 120, 600, 4215, 255, "設定成長期間", true, 98,
     false},
    {C::HScroll1, "HScroll1", K::HScroll, C::Picture1, 120, 1200, 4215, 255, "", true, 0, false},
    {C::HScroll2, "HScroll2", K::HScroll, C::Picture1, 120, 1920, 4215, 255, "", true, 0, false},
    {C::Command1, "Command1", K::Button, C::Picture1, 3120, 2280, 1215, 375, "OK", true, 98, false},
    {C::Command2, "Command2", K::Button, C::Picture1, 120, 2400, 975, 255, "削除", true, 98, false},
    {C::Command3, "Command3", K::Button, C::Picture1, 1200, 2400, 1815, 255, "マウス追跡", true, 98,
     false},
    {C::Command4, "Command4", K::Button, C::Picture1, 120, 600, 2295, 255, "設定成長期間", false,
     98, false},
    {C::Command8, "Command8", K::Button, C::Picture1, 2400, 600, 1935, 255, "Command8", true, 98,
     false},
    {C::Picture2, "Picture2", K::Panel, W, 6840, 4920, 6135, 5775, "", false, 0, true},
    {C::ZPjoho0, "ZPjoho(0)", K::Label, C::Picture2, 480, 360, 3135, 375, "もこぽんver.1.11", true,
     158, false},
    {C::ZPjoho1, "ZPjoho(1)", K::Label, C::Picture2, 120, 120, 4455, 375,
     "デスクトップアクセサリー型簡易育成ゲーム", true, 98, false},
    {C::ZPjoho3, "ZPjoho(3)", K::Label, C::Picture2, 360, 1320, 2775, 255, "もこぽん制作室", true,
     98, false},
    {C::ZPjoho4, "ZPjoho(4)", K::Label, C::Picture2, 360, 960, 1095, 375, "制作：", true, 98,
     false},
    {C::ZPjoho5, "ZPjoho(5)", K::Label, C::Picture2, 360, 1680, 4935, 255,
     "絵・プログラム：もこぽん制作室　2026", true, 98, false},
    {C::ZPjoho6, "ZPjoho(6)", K::Label, C::Picture2, 2400, 1920, 3255, 255,
     "https://mokopon.example/", true, 98, false},
    {C::ZPjoho2, "ZPjoho(2)", K::Label, C::Picture2, 360, 2400, 1215, 255, "プレイ履歴", true, 98,
     false},
    {C::ZPjoho7, "ZPjoho(7)", K::Label, C::Picture2, 2400, 2640, 3255, 255,
     "結果推測されるあなたのPC人生観", true, 98, false},
    {C::ZPjoho8, "ZPjoho(8)", K::Label, C::Picture2, 2400, 2880, 3255, 2175, "", true, 98, true},
    {C::ZPjoho9, "ZPjoho(9)", K::Label, C::Picture2, 600, 5040, 1815, 255, "今までの累計：", true,
     98, false},
    {C::List1, "List1", K::List, C::Picture2, 480, 2640, 1815, 2370, "", true, 0, false},
    {C::Command5, "Command5", K::Button, C::Picture2, 4560, 5280, 1095, 255, "OK", true, 98, false},
    {C::Picture3, "Picture3", K::Picture, W, 960, 2640, 5325, 2925, "", false, 0, true},
    {C::File1, "File1", K::FileList, W, 120, 2880, 855, 2730, "", false, 0, false},
    {C::Picture4, "Picture4", K::Panel, W, 2040, 360, 4695, 6015, "", false, 98, true},
    {C::Command6, "Command6", K::Button, C::Picture4, 240, 5520, 1095, 375, "設定", true, 98,
     false},
    {C::Command7, "Command7", K::Button, C::Picture4, 1320, 5520, 1095, 375, "新規作成", true, 98,
     false},
    {C::Command9, "Command9", K::Button, C::Picture4, 2520, 5520, 375, 375, "↑", true, 98, false},
    {C::Command10, "Command10", K::Button, C::Picture4, 2880, 5520, 375, 375, "↓", true, 98, false},
    {C::Command11, "Command11", K::Button, C::Picture4, 3360, 5520, 1095, 375, "OK", true, 98,
     false},
    {C::VScroll1, "VScroll1", K::VScroll, C::Picture4, 4200, 600, 255, 4695, "", false, 0, false},
}};

const std::array<ScrollSpec, 3> kScrollSpecs{{
    {C::HScroll1, 1, 30, 1, 5, 1},
    {C::HScroll2, 100, 500, 10, 50, 100},
    {C::VScroll1, 0, 0, 1, 5, 0},  // set when the slot list opens
}};

ControlId controlByName(std::string_view name) {
  for (const auto& c : kControls)
    if (c.name == name) return c.id;
  return ControlId::Count;
}

}  // namespace pet
