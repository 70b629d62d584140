// The Qt program's widgets against the control table they are built from:
// every control under its name, in its container, at its place and size, with
// its caption, start visibility, scroll values and stacking. Runs without a
// display (the offscreen platform).
#include "panels/controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/numbers.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/widgets.h"
#include "sim/pet_kinds.h"

namespace pet::qt {
namespace {

int px(int32_t twips) {
  return int(std::lround(double(twips) / 15.0));
}

QString qname(std::string_view s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The program's platform; its files are not used here.
class ControlsPlatform final : public QtPlatform {
 public:
  bool writeCopy(const std::string&, const std::string&, std::string_view) override {
    return false;
  }
};

class QtControls : public ::testing::Test {
 protected:
  ControlsPlatform platform;

  QWidget* find(const ControlSpec& c) {
    return platform.window()->findChild<QWidget*>(qname(c.name));
  }
  // The control whose inner area holds `w` (the window itself: nullptr).
  QWidget* holder(QWidget* w) {
    QWidget* inner = w->parentWidget();
    return inner == platform.window() ? nullptr : inner->parentWidget();
  }
};

TEST_F(QtControls, EveryControlIsBuiltAsTheTableSays) {
  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(std::string(c.name));
    QWidget* w = find(c);
    if (c.kind == ControlKind::FileList) {
      EXPECT_EQ(w, nullptr);  // never shown: the files come from the working directory
      continue;
    }
    ASSERT_NE(w, nullptr);
    QWidget* parent = holder(w);
    const QString parentName = parent ? parent->objectName() : QString();
    EXPECT_EQ(parentName, c.parent == ControlId::Count ? QString() : qname(control(c.parent).name));
    EXPECT_EQ(w->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height)));
    EXPECT_EQ(w->isVisibleTo(w->parentWidget()), c.visibleAtStart);
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      EXPECT_EQ(b->text(), qname(c.caption));
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(l->text(), qname(c.caption));
    }
    EXPECT_EQ(qobject_cast<QScrollBar*>(w) != nullptr,
              c.kind == ControlKind::HScroll || c.kind == ControlKind::VScroll);
  }
}

TEST_F(QtControls, ScrollBarsStartWithTheTablesRangeStepsAndValue) {
  for (const ScrollSpec& s : kScrollSpecs) {
    SCOPED_TRACE(std::string(control(s.id).name));
    auto* bar = qobject_cast<QScrollBar*>(find(control(s.id)));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), s.min);
    EXPECT_EQ(bar->maximum(), s.max);
    EXPECT_EQ(bar->singleStep(), s.smallChange);
    EXPECT_EQ(bar->pageStep(), s.largeChange);
    EXPECT_EQ(bar->value(), s.value);
    EXPECT_EQ(bar->orientation(),
              control(s.id).kind == ControlKind::HScroll ? Qt::Horizontal : Qt::Vertical);
  }
  // A value beyond the range shows the nearest end (a pet shrinking in its
  // evolution is below the zoom bar's 100).
  platform.setScrollValue(ControlId::HScroll2, 60);
  EXPECT_EQ(platform.scrollValue(ControlId::HScroll2), 100);
  platform.setScrollSteps(ControlId::VScroll1, 1, 5);
  EXPECT_EQ(qobject_cast<QScrollBar*>(find(control(ControlId::VScroll1)))->pageStep(), 5);
}

TEST_F(QtControls, SiblingsStackInTableOrder) {
  // Later siblings above earlier ones; labels are painted on their container
  // beneath every control with a window of its own, so they are left out.
  for (const ControlSpec& parent : kControls) {
    if (parent.kind != ControlKind::Panel && parent.kind != ControlKind::Picture) continue;
    SCOPED_TRACE(std::string(parent.name));
    QWidget* inner =
        find(parent)->findChild<PictureSurface*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(inner, nullptr);
    QStringList want, got;
    for (const ControlSpec& c : kControls)
      if (c.parent == parent.id && c.kind != ControlKind::Label && c.kind != ControlKind::FileList)
        want << qname(c.name);
    for (QObject* o : inner->children())
      if (auto* w = qobject_cast<QWidget*>(o); w && !qobject_cast<QLabel*>(w))
        got << w->objectName();
    EXPECT_EQ(got, want);
  }
}

// The history list's widest line (the longest species name with the largest
// count) can be read in full: scrolled to if it is wider than the list.
TEST_F(QtControls, EveryHistoryLineCanBeReadInFull) {
  auto* list = platform.window()->findChild<QListWidget*>(QStringLiteral("List1"));
  ASSERT_NE(list, nullptr);
  platform.window()->show();
  platform.showControl(ControlId::Picture2, true);
  platform.listClear(ControlId::List1);
  int widest = 0;
  QString widestLine;
  for (int k = 1; k < kSpeciesCount; ++k) {
    const std::string line =
        std::string(kSpecies[size_t(k)].name) + "：" + numberText(32767) + "回";
    platform.listAdd(ControlId::List1, line);
    const int w = list->fontMetrics().horizontalAdvance(qname(line));
    if (w > widest) widest = w, widestLine = qname(line);
  }
  QApplication::processEvents();
  const int inner = list->viewport()->width();
  std::printf("widest line %s: %d px; list inside %d px\n", widestLine.toUtf8().constData(), widest,
              inner);
  QScrollBar* bar = list->horizontalScrollBar();
  if (widest > inner) {
    EXPECT_TRUE(bar->isVisible()) << "no way to the end of the line";
  }
  EXPECT_GE(bar->maximum() + inner, widest) << "the scroll range stops short of the line's end";
}

}  // namespace
}  // namespace pet::qt

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
