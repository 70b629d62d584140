#include "model/slots.h"

#include <gtest/gtest.h>

#include "model/numbers.h"

namespace pet {
namespace {

// Gives slot `slot` a recognisable pet: every moved field derives from `tag`.
void fill(State& s, int slot, int16_t tag) {
  for (const auto& f : kIntFields) (s.*f.array)[slot] = f.moved ? tag : int16_t(tag + 1000);
  for (const auto& f : kTextFields) (s.*f.array)[slot] = std::string(f.name) + std::to_string(tag);
}

int16_t tagOf(const State& s, int slot) {
  return s.growthPeriod[slot];
}

TEST(SlotTable, CompactionRemovesEveryGapAndKeepsOrder) {
  State s;
  for (int i = 1; i <= 7; ++i) fill(s, i, int16_t(i));
  s.petCount = 7;
  for (int gap : {2, 3, 6}) s.growthPeriod[gap] = 0;
  compactSlots(s);
  ASSERT_EQ(s.petCount, 4);
  EXPECT_EQ(tagOf(s, 1), 1);
  EXPECT_EQ(tagOf(s, 2), 4);
  EXPECT_EQ(tagOf(s, 3), 5);
  EXPECT_EQ(tagOf(s, 4), 7);
  // Moved fields travel with the pet, strings included.
  EXPECT_EQ(s.posX[2], 4);
  EXPECT_EQ(s.createdOn[4], "createdOn7");
  for (int slot = 5; slot <= 7; ++slot) {
    for (const auto& f : kIntFields) {
      EXPECT_TRUE(!f.moved || (s.*f.array)[slot] == 0) << f.name << slot;
    }
    EXPECT_EQ(s.speciesName[slot], "");
  }
  // Fields that stay with the slot number do not move.
  EXPECT_EQ(s.evoPhase[2], 1002);
  EXPECT_EQ(s.evoClock[4], "evoClock4");
}

TEST(SlotTable, DeletingTheOnlyPetEmptiesSlotOne) {
  State s;
  fill(s, 1, 3);
  s.petCount = 1;
  EXPECT_TRUE(deletePet(s, 1));
  EXPECT_EQ(s.petCount, 0);
  for (const auto& f : kIntFields) {
    EXPECT_TRUE(!f.moved || (s.*f.array)[1] == 0) << f.name;
  }
  EXPECT_EQ(s.createdOn[1], "");
  EXPECT_FALSE(deletePet(s, 1)) << "an empty slot acts as cancel";
}

TEST(SlotTable, DeletingSlotTwoOfFiveMovesTheRestDownButNotTheirSequences) {
  State s;
  for (int i = 1; i <= 5; ++i) fill(s, i, int16_t(i));
  s.petCount = 5;
  s.evoPhase[3] = 31;
  deletePet(s, 2);
  EXPECT_EQ(s.petCount, 4);
  EXPECT_EQ((std::vector<int>{tagOf(s, 1), tagOf(s, 2), tagOf(s, 3), tagOf(s, 4), tagOf(s, 5)}),
            (std::vector<int>{1, 3, 4, 5, 0}));
  EXPECT_EQ(s.evoPhase[3], 31) << "the pet now in slot 3 takes over the running pause";
}

TEST(SlotTable, DeletingFromAFullTableTakesSlot51sEmptyValues) {
  State s;
  for (int i = 1; i <= 50; ++i) fill(s, i, int16_t(i));
  s.petCount = 50;
  deletePet(s, 10);
  EXPECT_EQ(s.petCount, 49);
  EXPECT_EQ(tagOf(s, 49), 50);
  EXPECT_EQ(tagOf(s, 50), 0);
  EXPECT_EQ(s.createdOn[50], "");
  EXPECT_EQ(tagOf(s, 51), 0);
}

TEST(SlotTable, ExchangeSwapsAllMovedArraysThroughSlotZero) {
  State s;
  for (int i = 1; i <= 5; ++i) fill(s, i, int16_t(i));
  s.petCount = 5;
  exchangeSlots(s, 3);
  EXPECT_EQ(tagOf(s, 3), 4);
  EXPECT_EQ(tagOf(s, 4), 3);
  EXPECT_EQ(s.createdOn[3], "createdOn4");
  EXPECT_EQ(s.speciesName[4], "speciesName3");
  EXPECT_EQ(tagOf(s, 0), 3) << "slot 0 keeps a copy of the pet now in slot 4";
  EXPECT_EQ(s.innerIndex, 3);
  EXPECT_EQ(s.evoPhase[3], 1003) << "sequence fields stay with the slot number";

  State before = s;
  exchangeSlots(s, 0);  // leaves slots 1..50 unchanged
  for (int slot = 1; slot <= 50; ++slot) EXPECT_EQ(tagOf(s, slot), tagOf(before, slot));
}

TEST(Numbers, RoundHalfEvenAndSaturation) {
  struct Case {
    double in;
    int64_t out;
  };
  for (auto c : std::vector<Case>{{0.5, 0},
                                  {1.5, 2},
                                  {2.5, 2},
                                  {-0.5, 0},
                                  {-1.5, -2},
                                  {104.5, 104},
                                  {105.5, 106},
                                  {1893.6, 1894},
                                  {1.49, 1},
                                  {-2.51, -3}})
    EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
  int16_t counter = 32766;
  bump(counter);
  bump(counter);
  EXPECT_EQ(counter, 32767);
  EXPECT_EQ(toInteger(40000.0), 32767);
  EXPECT_EQ(numberText(7), " 7");
  EXPECT_EQ(printedNumber(-3), "-3 ");
}

}  // namespace
}  // namespace pet
