// Growth by the wall clock, the usage folds and the evolution sequence.
#include <algorithm>
#include <array>

#include "model/numbers.h"
#include "sim/life.h"
#include "sim/pet_kinds.h"

namespace pet {

namespace {

// Criterion-mode size by growth stage 1..5 and speed by mouse level 0..5.
constexpr std::array<int16_t, 6> kCriterionZoom{100, 140, 180, 220, 260, 300};
constexpr std::array<int16_t, 6> kCriterionSpeed{1, 2, 4, 6, 8, 10};

int16_t mouseLevelChange(int16_t travel) {
  if (travel <= 3) return -2;
  if (travel <= 6) return -1;
  if (travel <= 9) return 0;
  if (travel <= 12) return 1;
  return 2;
}

int16_t chaseChange(int16_t minutes) {
  if (minutes <= 1) return 0;
  if (minutes == 2) return 1;
  if (minutes <= 4) return 2;
  if (minutes <= 9) return 3;
  return 4;
}

int16_t hourChange(int hour) {
  if (hour <= 2) return -2;
  if (hour <= 5) return -1;
  if (hour <= 8) return 2;
  if (hour <= 10) return 1;
  if (hour <= 13) return 2;
  if (hour <= 16) return 1;
  if (hour <= 22) return -1;
  return -2;
}

struct Special {
  int16_t n, species;
};
// Special species by the last two digits of the evolution number.
constexpr std::array<Special, 11> kSpecials{{{9, 48},
                                             {15, 45},
                                             {30, 46},
                                             {40, 49},
                                             {50, 51},
                                             {60, 52},
                                             {70, 50},
                                             {80, 53},
                                             {85, 44},
                                             {90, 43},
                                             {95, 47}}};

}  // namespace

int16_t minutesPerGrowthStep(int16_t growthPeriod) {
  switch (growthPeriod) {
    case 1:
      return 1;
    case 2:
      return 3;
    case 3:
      return 6;
    case 4:
      return 60;
    default:
      return 0;
  }
}

void minuteBookkeeping(State& s, int hour) {
  const int n = s.petCount;
  for (int slot = 1; slot <= n; ++slot) {
    if (s.inUse(slot)) bump(s.stageMinutes[slot]);
    if (s.chaseMouse[slot] == 1 && s.inUse(slot)) bump(s.chaseMinutes[slot]);
    int16_t need = minutesPerGrowthStep(s.growthPeriod[slot]);
    s.growthDue = (need > 0 && s.stageMinutes[slot] >= need) ? 1 : 0;
    if (s.growthStage[slot] >= 5) s.growthDue = 0;
    if (s.growthDue == 1) growthStep(s, slot, hour);
  }
}

void growthStep(State& s, int slot, int hour) {
  s.stageMinutes[slot] = 0;
  bump(s.growthStage[slot]);
  foldUsage(s, slot, hour);
  if (s.growthStage[slot] == 5) {
    s.evoPhase[slot] = 1;
    s.evoZoom[slot] = s.zoom[slot];
  }
  if (s.criterionMode[slot] == 1) {
    s.zoom[slot] = kCriterionZoom[size_t(std::clamp<int16_t>(s.growthStage[slot], 0, 5))];
    s.speed[slot] = kCriterionSpeed[size_t(std::clamp<int16_t>(s.mouseLevel[slot], 0, 5))];
  }
}

void foldUsage(State& s, int slot, int hour) {
  s.mouseLevel[slot] = satAdd(s.mouseLevel[slot], mouseLevelChange(s.mouseTravel[slot]));
  s.mouseLevel[slot] = std::clamp<int16_t>(s.mouseLevel[slot], 0, 5);
  s.mouseTravel[slot] = 0;
  s.dayScore[slot] = satAdd(s.dayScore[slot], chaseChange(s.chaseMinutes[slot]));
  s.chaseMinutes[slot] = 0;
  s.scratch = static_cast<int16_t>(hour);
  s.dayScore[slot] = satAdd(s.dayScore[slot], hourChange(hour));
  // Clamped only after both additions.
  s.dayScore[slot] = std::clamp<int16_t>(s.dayScore[slot], -3, 3);
}

void evolutionPhaseWork(State& s, int slot) {
  switch (s.evoPhase[slot]) {
    case 10:  // shrinking, nudged to stay centred
      s.zoom[slot] = satAdd(s.zoom[slot], -10);
      s.posX[slot] = satAdd(s.posX[slot], 1);
      s.posY[slot] = satAdd(s.posY[slot], 2);
      if (s.zoom[slot] <= 10) s.evoPhase[slot] = 11;
      break;
    case 11:
      evolvePet(s, slot);
      assignSpeciesName(s, slot);
      s.evoPhase[slot] = 12;
      break;
    case 12:  // regrowing
      s.zoom[slot] = satAdd(s.zoom[slot], 10);
      s.posX[slot] = satAdd(s.posX[slot], -1);
      s.posY[slot] = satAdd(s.posY[slot], -2);
      s.stepX[slot] = 0;
      s.stepY[slot] = 0;
      if (s.zoom[slot] >= s.evoZoom[slot]) {
        s.zoom[slot] = s.evoZoom[slot];
        s.evoPhase[slot] = 0;
        s.evoZoom[slot] = 0;
      }
      break;
    default:
      break;
  }
}

void evolvePet(State& s, int slot) {
  s.species[slot] = clamp16(7 * s.mouseLevel[slot] + s.dayScore[slot] + 4);
  bump(s.evolutionCount);
  s.scratch = static_cast<int16_t>(s.evolutionCount % 100);
  for (auto sp : kSpecials)
    if (sp.n == s.scratch) s.species[slot] = sp.species;
  recordEvolution(s, s.species[slot]);
}

void recordEvolution(State& s, int16_t species) {
  if (s.evolutionCount <= 500) {
    s.evolutionLog[size_t(std::max<int16_t>(s.evolutionCount, 0))] = species;
  } else {
    std::copy(s.evolutionLog.begin() + 2, s.evolutionLog.end(), s.evolutionLog.begin() + 1);
    s.evolutionLog[500] = species;
  }
  if (species >= 0 && species < kTallySize) bump(s.speciesTally[size_t(species)]);
}

void assignSpeciesName(State& s, int slot) {
  if (s.inUse(slot) && s.species[slot] >= 0 && s.species[slot] < kSpeciesCount)
    s.speciesName[slot] = kSpecies[size_t(s.species[slot])].name;
}

void resumeInterruptedEvolutions(State& s) {
  for (int slot = 1; slot <= s.petCount; ++slot) {
    if (!s.inUse(slot) || s.growthStage[slot] != 5 || s.evoPhase[slot] != 0) continue;
    // The file may have been written half-way through the shrink or the
    // regrow. A criterion-mode pet's size is fixed by its stage and its bars
    // are locked until it has evolved, so it regrows to the stage-4 size, as
    // after the fifth step. Any other pet keeps a size the panel can give
    // (100 and above); below that the size it had is lost, and it takes the
    // panel's default.
    const int16_t size = s.criterionMode[slot] == 1 ? kCriterionZoom[4]
                         : s.zoom[slot] >= 100      ? s.zoom[slot]
                                                    : kNewPetZoom;
    if (s.species[slot] == 0) {
      s.evoPhase[slot] = 1;  // the evolution starts again from the countdown
      s.evoZoom[slot] = size;
    } else if (s.zoom[slot] < 100) {
      s.evoPhase[slot] = 12;  // evolved, cut off while it regrew
      s.evoZoom[slot] = size;
    }
  }
}

}  // namespace pet
