// The panels as a user drives them. Expected texts are written out here as
// the program must show them, independently of the code's own strings.
#include <gtest/gtest.h>

#include <functional>

#include "model/numbers.h"
#include "sim/life.h"
#include "sim/pet_kinds.h"
#include "support.h"

namespace pet {
namespace {

using C = ControlId;
using test::DataLines;

struct Desk : test::Program {
  // Starts with `pets` pets in a data file and runs to the running state.
  explicit Desk(int pets = 0) {
    DataLines d;
    d.petCount = pets;
    for (int i = 0; i < pets; ++i) d.slots[size_t(i)] = test::pet(2, 10 * i, 10 * i);
    dir.write("zpdata.mrdt", d.bytes());
    load();
    runUntilRunning();
    tick();
  }
  const HeadlessPlatform::ControlState& c(C id) { return platform.controlState(id); }
  void click(C id) { form.controlClicked(id); }
  void request(int16_t r) {
    form.requestPanel(r);
    tick();
  }
};

TEST(Panels, FirstRunLeadsFromTheWelcomeToAPetOnTheDesktop) {
  test::Program p;
  p.load();
  p.tick(3);
  p.form.controlClicked(C::Command5);  // OK of the welcome
  p.tick(2);
  const auto& settings = p.platform.controlState(C::Picture1);
  ASSERT_TRUE(settings.visible);
  EXPECT_EQ(p.s.panelSlot, 1);
  EXPECT_FALSE(p.platform.controlState(C::Command2).visible) << "no CANCEL on the first pet";
  EXPECT_EQ(p.platform.controlState(C::Command2).caption, "CANCEL");
  EXPECT_EQ(p.platform.controlState(C::Command4).caption, "設定成長期間：５分");
  EXPECT_EQ(p.platform.controlState(C::Command8).caption, "自由設定モード");
  EXPECT_EQ(p.platform.controlState(C::Command3).caption, "マウス追跡：OFF");
  EXPECT_EQ(p.platform.controlState(C::Label1).caption, "速度： 5");
  EXPECT_EQ(p.platform.controlState(C::Label3).caption, "拡大率： 300％");
  EXPECT_EQ(p.platform.controlState(C::Label2).caption, "スロット 1：");
  EXPECT_EQ(p.platform.controlState(C::HScroll1).value, 5);
  EXPECT_EQ(p.platform.controlState(C::HScroll2).value, 300);
  EXPECT_EQ(settings.left, 12112);  // 28800 / 2 - 4575 / 2 = 12112.5, to even
  EXPECT_EQ(p.s.forceFirstPet, 0);

  p.form.controlClicked(C::Command1);  // OK: the pet is created
  EXPECT_EQ(p.s.petCount, 1);
  EXPECT_EQ(p.s.growthPeriod[1], 1);
  EXPECT_EQ(p.s.posX[1], 960 - 36);
  EXPECT_EQ(p.s.posY[1], 540 - 48);
  EXPECT_EQ(p.s.evoPhase[1], 30);
  EXPECT_EQ(p.s.createdOn[1], "2026/12/10");
  EXPECT_EQ(p.s.speciesName[1], kSpecies[0].name);
  EXPECT_FALSE(settings.visible);
  p.tick();
  EXPECT_TRUE(p.platform.controlState(C::Picture4).visible);
  EXPECT_EQ(p.s.panelSlot, 200);
  EXPECT_EQ(p.platform.picture(C::Picture4), nullptr) << "rows are drawn from the next tick on";
  p.tick();
  EXPECT_NE(p.platform.picture(C::Picture4), nullptr);

  // Its settings now show the existing-pet view with "削除".
  p.form.panelMouseDown(1, 1000, 700);
  EXPECT_EQ(p.s.selectedRow, 1);
  p.form.controlClicked(C::Command6);
  p.tick();
  EXPECT_EQ(p.platform.controlState(C::Command2).caption, "削除");
  EXPECT_TRUE(p.platform.controlState(C::Command2).visible);
  EXPECT_FALSE(p.platform.controlState(C::Command4).visible);
  EXPECT_EQ(p.platform.controlState(C::Label4).caption, "設定成長期間：５分");
}

TEST(Panels, NewPetButtonsCycleAndCancelKeepsTheSeeds) {
  Desk d(2);
  d.request(200);
  d.click(C::Command7);
  d.tick();
  EXPECT_EQ(d.s.panelSlot, 3);
  EXPECT_TRUE(d.c(C::Command2).visible) << "CANCEL after the first pet";
  std::vector<std::string> periods;
  for (int i = 0; i < 5; ++i) {
    d.click(C::Command4);
    d.tick();
    periods.push_back(d.c(C::Command4).caption);
  }
  EXPECT_EQ(periods, (std::vector<std::string>{"設定成長期間：１５分", "設定成長期間：３０分",
                                               "設定成長期間：５時間", "設定成長期間：５分",
                                               "設定成長期間：１５分"}));
  d.click(C::Command8);
  d.click(C::Command3);
  d.tick();
  EXPECT_EQ(d.c(C::Command8).caption, "進化基準モード");
  EXPECT_FALSE(d.c(C::HScroll1).enabled);
  EXPECT_EQ(d.c(C::Command3).caption, "マウス追跡：ON");
  d.click(C::Command2);  // CANCEL
  EXPECT_EQ(d.s.petCount, 2);
  EXPECT_EQ(d.s.criterionMode[3], 1);
  EXPECT_EQ(d.s.zoom[3], 300);
  d.tick();
  EXPECT_EQ(d.s.panelSlot, 200);
  d.click(C::Command7);
  d.tick();
  EXPECT_EQ(d.c(C::Command8).caption, "進化基準モード") << "the slot keeps its mode";
  d.click(C::Command1);  // OK in criterion mode: placed at the chosen zoom, then 100 and 1
  EXPECT_EQ(d.s.petCount, 3);
  EXPECT_EQ(d.s.posX[3], 960 - 36);
  EXPECT_EQ(d.s.posY[3], 540 - 48);
  EXPECT_EQ(d.s.zoom[3], 100);
  EXPECT_EQ(d.s.speed[3], 1);
  EXPECT_EQ(d.s.growthPeriod[3], 1) << "each new-pet view starts at five minutes";
}

TEST(Panels, ExistingPetSettingsAndDeletion) {
  Desk d(3);
  d.s.criterionMode[2] = 1;
  d.s.zoom[2] = 40;  // shrinking in its evolution
  d.request(2);
  EXPECT_EQ(d.c(C::HScroll2).value, 100) << "the nearest value in the bar's range";
  EXPECT_EQ(d.s.zoom[2], 40) << "opening the panel stores nothing";
  d.tick();
  EXPECT_FALSE(d.c(C::HScroll1).enabled) << "criterion mode before evolving";
  d.s.species[2] = 9;
  d.tick();
  EXPECT_TRUE(d.c(C::HScroll1).enabled);
  d.platform.setScrollValue(C::HScroll1, 17);  // the user moves the bar
  EXPECT_EQ(d.s.speed[2], 17) << "at once";
  EXPECT_EQ(d.platform.focus(), C::Picture1);
  EXPECT_EQ(d.c(C::Label1).caption, "速度： 5") << "the label follows on the next tick";
  d.tick();
  EXPECT_EQ(d.c(C::Label1).caption, "速度： 17");
  assignSpeciesName(d.s, 2);  // as an evolution does
  d.tick();
  EXPECT_EQ(d.c(C::Label2).caption, std::string("スロット 2：") + kSpecies[9].name);

  d.form.requestPanel(200);  // waits behind the open settings panel
  d.tick(3);
  EXPECT_EQ(d.s.settei, 200);
  EXPECT_FALSE(d.c(C::Picture4).visible);
  d.click(C::Command2);  // 削除
  EXPECT_EQ(d.s.petCount, 2);
  EXPECT_EQ(d.s.posX[2], 20) << "the pet above moved down";
  d.tick();
  EXPECT_TRUE(d.c(C::Picture4).visible);
  EXPECT_EQ(d.s.settei, 0);
}

TEST(Panels, SlotListScrollBarSelectionAndReordering) {
  {
    Desk five(5);
    five.request(200);
    EXPECT_FALSE(five.c(C::VScroll1).visible);
  }
  Desk d(8);
  d.request(200);
  ASSERT_TRUE(d.c(C::VScroll1).visible);
  EXPECT_EQ(d.c(C::VScroll1).max, 3);
  // Selection bounds: 300..4050 twips across, rows of 960 from 570 down.
  struct Click {
    int32_t x, y;
    int16_t row;
  };
  for (auto k : std::vector<Click>{{300, 570, 1},
                                   {4050, 1529, 1},
                                   {1000, 1530, 2},
                                   {1000, 4410, 5},
                                   {1000, 5369, 5},
                                   {1000, 5370, 6}}) {
    d.form.panelMouseDown(1, k.x, k.y);
    EXPECT_EQ(d.s.selectedRow, k.row) << k.x << "," << k.y;
  }
  d.form.panelMouseDown(1, 1000, 700);
  for (auto k : std::vector<Click>{{299, 700, 1}, {4051, 700, 1}, {1000, 569, 1}}) {
    d.form.panelMouseDown(1, k.x, k.y);
    EXPECT_EQ(d.s.selectedRow, k.row) << "ignored: " << k.x << "," << k.y;
  }
  // ↑ on the top pet does nothing; ↓ on row 5 scrolls the list by one.
  d.click(C::Command9);
  EXPECT_EQ(d.s.posX[1], 0);
  d.form.panelMouseDown(1, 1000, 4500);  // row 5: slot 5
  d.click(C::Command10);
  EXPECT_EQ(d.s.posX[6], 40) << "the pet from slot 5 moved to slot 6";
  EXPECT_EQ(d.s.selectedRow, 5);
  EXPECT_EQ(d.s.listScroll, 1);
  EXPECT_EQ(d.c(C::VScroll1).value, 0) << "the bar keeps its place";
  d.click(C::Command9);
  EXPECT_EQ(d.s.posX[5], 40);
  EXPECT_EQ(d.s.selectedRow, 4);
  // Scrolling keeps the frame on its row; "設定" opens the slot now shown there.
  d.platform.setScrollValue(C::VScroll1, 3);
  EXPECT_EQ(d.s.listScroll, 3);
  EXPECT_EQ(d.platform.focus(), C::Picture4);
  d.form.panelMouseDown(1, 1000, 4500);  // row 5: slot 8, the last
  d.click(C::Command10);
  EXPECT_EQ(d.s.selectedRow, 5) << "↓ on the last pet does nothing";
  d.form.panelMouseDown(1, 1000, 5410);  // row 6: slot 9 is free
  EXPECT_EQ(d.s.selectedRow, 0);
  d.click(C::Command10);  // no selection: nothing
  d.form.panelMouseDown(1, 1000, 1600);
  d.form.panelDblClick();
  EXPECT_EQ(d.s.settei, 5);
  EXPECT_FALSE(d.c(C::Picture4).visible);
}

TEST(Panels, SlotListPictureFollowsEveryChangeOfWhatItShows) {
  // The picture is redrawn only when what it shows changes; after every kind
  // of change it must equal a picture drawn from scratch.
  Desk d(8);
  d.request(200);
  auto matchesFresh = [&d] {
    HeadlessPlatform other(d.dir.path());
    Panels fresh(d.s, other);
    fresh.drawSlotList();
    return fresh.picture4() == d.form.panels().picture4();
  };
  const std::vector<std::pair<const char*, std::function<void()>>> changes{
      {"nothing", [] {}},
      {"a row selected", [&] { d.form.panelMouseDown(1, 1000, 700); }},
      {"another row", [&] { d.form.panelMouseDown(1, 1000, 1600); }},
      {"scrolled", [&] { d.platform.setScrollValue(C::VScroll1, 2); }},
      {"facing", [&] { d.s.facing[4] = int16_t((d.s.facing[4] + 1) % 4); }},
      {"walk frame", [&] { d.s.walkFrame[5] = int16_t((d.s.walkFrame[5] + 1) % 3); }},
      {"species and name", [&] { d.s.species[3] = 12; }},
      {"day score", [&] { d.s.dayScore[6] = 2; }},
      {"speed", [&] { d.s.speed[7] = 30; }},
      {"zoom", [&] { d.s.zoom[3] = 480; }},
      {"creation date",
       [&] { d.s.createdOn[4] = "30/1/2"; }},  // the stand-in face: a box a character
      {"a pet fewer", [&] { d.s.petCount = 6; }},
  };
  // Drawn straight after the change: a tick's frame step would move the pets
  // after the panel step has drawn them.
  for (const auto& [what, change] : changes) {
    change();
    d.form.panels().drawSlotList();
    EXPECT_TRUE(matchesFresh()) << what;
  }
}

TEST(Panels, FiftyPetsAndAnEmptyList) {
  Desk full(50);
  full.request(200);
  full.click(C::Command7);
  EXPECT_EQ(full.s.panelSlot, 200) << "新規作成 does nothing with 50 pets";
  EXPECT_TRUE(full.c(C::Picture4).visible);
  EXPECT_EQ(full.c(C::VScroll1).max, 45);

  Desk none(0);
  none.request(200);
  none.tick();
  none.click(C::Command6);
  none.form.panelDblClick();
  EXPECT_EQ(none.s.settei, 0);
  const Image* list = none.platform.picture(C::Picture4);
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < list->width() * list->height(); ++i)
    ASSERT_EQ(list->data()[i], rgb(192, 255, 192)) << "no rows, no title";
  none.click(C::Command7);
  none.tick();
  EXPECT_EQ(none.s.panelSlot, 1);
}

TEST(Panels, HistoryListAndTotal) {
  Desk d;
  d.request(100);
  auto items = d.c(C::List1).items;
  EXPECT_EQ(items, std::vector<std::string>(53, "--------"));
  EXPECT_EQ(d.c(C::ZPjoho9).caption, "今までの累計： 0");
  EXPECT_EQ(d.c(C::ZPjoho8).caption, "情報が不足しています。５回進化させると表示されます。");
  d.s.speciesTally[18] = 2;
  d.s.speciesTally[48] = 1;
  d.s.speciesTally[7] = 12;
  d.s.evolutionCount = 15;
  d.request(100);
  items = d.c(C::List1).items;
  ASSERT_EQ(items.size(), 53u) << "cleared before filling";
  EXPECT_EQ(items[17], std::string(kSpecies[18].name) + "： 2回");
  EXPECT_EQ(items[47], std::string(kSpecies[48].name) + "： 1回");
  EXPECT_EQ(items[6], std::string(kSpecies[7].name) + "： 12回");
  EXPECT_EQ(items[0], "--------");
  EXPECT_EQ(d.c(C::ZPjoho9).caption, "今までの累計： 15");
}

TEST(Panels, UsageReading) {
  const std::string lateNight = "貴方は深夜によくパソコンを使います。";
  const std::string late = "貴方は比較的遅い時間によくパソコンを使います。";
  const std::string noon = "貴方は昼によくパソコンを使います。";
  const std::string aroundNoon = "貴方は比較的昼頃によくパソコンを使います。";
  const std::string anyTime = "貴方がパソコンを使う時間はあまり定まっていません。";
  const std::string keyboard = "貴方はマウスよりキーボードの方が好きです。";
  const std::string mouse = "貴方はマウスをよく利用しています。";
  const std::string noMouse = "貴方は基本的にマウスを使わない作業をよくしています。";
  const std::string video = "貴方はニコニコ動画などの動画サイトで動画をよく見ています。";
  const std::string review = "貴方の仕事は情報を審査または収集することです。";
  const std::string data = "貴方の仕事はデータを管理したり、計算をすることです。";
  const std::string light = "貴方はパソコンに関して比較的ライトな使い方をしています。";
  const std::string closing = "まぁ、結果的に言えば全て当てずっぽうです。";
  // Species s stands for mouse level (s - 1) / 7 and day score (s - 1) % 7 - 3.
  auto sp = [](int level, int day) { return 7 * level + day + 4; };
  struct Case {
    const char* what;
    std::vector<int> log;
    int count;
    std::string reading;
  };
  std::vector<Case> cases = {
      {"all species 1", std::vector<int>(5, 1), 5, lateNight + keyboard + video + closing},
      {"all species 42", std::vector<int>(5, 42), 5, noon + mouse + review + closing},
      {"specials count in the divisor", std::vector<int>(5, 45), 5, anyTime + keyboard + closing},
      {"day -2.5: relatively late",
       {sp(0, -3), sp(0, -2), sp(0, -3), sp(0, -2), sp(0, -3), sp(0, -2)},
       6,
       late + keyboard + video + closing},
      {"day 1.5: not fixed; level 1: without mouse",
       {sp(1, 2), sp(1, 1), sp(1, 2), sp(1, 1)},
       4 + 0,
       ""},
      {"day exactly 1.5, level exactly 1",
       {sp(1, 2), sp(1, 1), sp(1, 2), sp(1, 1), sp(1, 2), sp(1, 1)},
       6,
       anyTime + noMouse + data + closing},
      {"level exactly 3: mouse, no work sentence",
       {sp(3, 3), sp(3, 3), sp(3, 3), sp(3, 3), sp(3, 3)},
       5,
       noon + mouse + closing},
      {"late with heavy mouse",
       {sp(5, -3), sp(5, -3), sp(5, -3), sp(4, -2), sp(4, -2)},
       5,
       lateNight + mouse + light + closing},
      {"more than 500: the divisor is the count", std::vector<int>(500, sp(4, 3)), 1000,
       anyTime + noMouse + data + closing},  // averages 2 and 1.5
      {"around noon",
       {sp(2, 2), sp(2, 2), sp(2, 2), sp(2, 3), sp(2, 2)},
       5,
       aroundNoon + noMouse + data + closing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Desk d;
    for (size_t i = 0; i < c.log.size(); ++i) d.s.evolutionLog[i + 1] = int16_t(c.log[i]);
    d.s.evolutionCount = int16_t(c.count);
    d.request(100);
    if (c.count <= 4)
      EXPECT_EQ(d.c(C::ZPjoho8).caption, "情報が不足しています。５回進化させると表示されます。");
    else
      EXPECT_EQ(d.c(C::ZPjoho8).caption, c.reading);
  }
}

TEST(Panels, ControlTableTexts) {
  struct Case {
    C id;
    const char* caption;
  };
  for (auto c : std::vector<Case>{{C::Command6, "設定"},
                                  {C::Command7, "新規作成"},
                                  {C::Command9, "↑"},
                                  {C::Command10, "↓"},
                                  {C::Command11, "OK"},
                                  {C::Label2, "スロット"},
                                  {C::Label4, "設定成長期間"},
                                  {C::Command4, "設定成長期間"},
                                  {C::Command8, "Command8"},
                                  {C::Label1, "速度："},
                                  {C::Label3, "拡大："},
                                  {C::Command1, "OK"},
                                  {C::Command2, "削除"},
                                  {C::Command3, "マウス追跡"},
                                  {C::ZPjoho1, "デスクトップアクセサリー型簡易育成ゲーム"},
                                  {C::ZPjoho0, "もこぽんver.1.11"},
                                  {C::ZPjoho2, "プレイ履歴"},
                                  {C::ZPjoho7, "結果推測されるあなたのPC人生観"},
                                  {C::ZPjoho9, "今までの累計："},
                                  {C::Command5, "OK"}})
    EXPECT_EQ(control(c.id).caption, c.caption) << control(c.id).name;
  struct Place {
    C id;
    int32_t left, top, width, height;
  };
  for (auto p : std::vector<Place>{{C::Picture4, 2040, 360, 4695, 6015},
                                   {C::Picture1, 6000, 840, 4575, 2895},
                                   {C::Picture2, 6840, 4920, 6135, 5775},
                                   {C::Picture3, 960, 2640, 5325, 2925},
                                   {C::VScroll1, 4200, 600, 255, 4695},
                                   {C::HScroll2, 120, 1920, 4215, 255},
                                   {C::List1, 480, 2640, 1815, 2370},
                                   {C::ZPjoho8, 2400, 2880, 3255, 2175},
                                   {C::Command5, 4560, 5280, 1095, 255}}) {
    const auto& table = control(p.id);
    EXPECT_EQ(std::vector<int>({table.left, table.top, table.width, table.height}),
              std::vector<int>({p.left, p.top, p.width, p.height}))
        << table.name;
  }
  EXPECT_EQ(controlByName("ZPjoho(8)"), C::ZPjoho8);
  for (size_t i = 0; i < kControls.size(); ++i) EXPECT_EQ(size_t(kControls[i].id), i);
}

// Platforms create controls in table order, later ones above earlier ones:
// each container's children must come back to front, after the container.
TEST(Panels, TableOrderIsTheStackingOrder) {
  const std::vector<std::pair<C, std::vector<const char*>>> frontToBack = {
      {C::Picture4, {"VScroll1", "Command11", "Command10", "Command9", "Command7", "Command6"}},
      {C::Picture2,
       {"Command5", "List1", "ZPjoho(9)", "ZPjoho(8)", "ZPjoho(7)", "ZPjoho(2)", "ZPjoho(6)",
        "ZPjoho(5)", "ZPjoho(4)", "ZPjoho(3)", "ZPjoho(1)", "ZPjoho(0)"}},
      {C::Picture1,
       {"Command8", "Command4", "Command3", "Command2", "Command1", "HScroll2", "HScroll1",
        "Label4", "Label3", "Label2", "Label1"}},
      {C::Count, {"Picture4", "File1", "Picture3", "Picture2", "Picture1"}},
  };
  for (const auto& [parent, names] : frontToBack) {
    std::vector<std::string> inTable;
    for (const auto& c : kControls)
      if (c.parent == parent) inTable.insert(inTable.begin(), std::string(c.name));
    EXPECT_EQ(inTable, std::vector<std::string>(names.begin(), names.end()));
    for (const auto& c : kControls)
      if (c.parent == parent && parent != C::Count) EXPECT_LT(size_t(parent), size_t(c.id));
  }
}

}  // namespace
}  // namespace pet
