#pragma once
// Every variable of the program window: the per-slot parallel arrays, the
// statistics arrays and the scalars, under their own names.
#include <array>
#include <cstdint>
#include <string>

#include "model/point.h"

namespace pet {

inline constexpr int kSlots = 52;  // slots 0..51; pets live in 1..50
inline constexpr int kMaxPets = 50;
inline constexpr int kLogSize = 501;    // evolutionLog 0..500
inline constexpr int kTallySize = 101;  // speciesTally 0..100

// What the settings panel offers a new pet, and the largest zoom it allows.
inline constexpr int16_t kNewPetSpeed = 5;
inline constexpr int16_t kNewPetZoom = 300;
inline constexpr int16_t kNewPetGrowthPeriod = 1;  // five minutes
inline constexpr int16_t kMaxZoom = 500;

using SlotInts = std::array<int16_t, kSlots>;
using SlotTexts = std::array<std::string, kSlots>;

struct State {
  // Per-slot arrays.
  SlotInts growthPeriod{};
  SlotInts posX{};
  SlotInts posY{};
  SlotInts facing{};
  SlotInts walkFrame{};
  SlotInts dayScore{};
  SlotInts mouseLevel{};
  SlotInts stageMinutes{};
  SlotInts mouseTravel{};
  SlotInts species{};
  SlotInts zoom{};
  SlotInts moveTicks{};
  SlotInts stepX{};
  SlotInts stepY{};
  SlotInts speed{};
  SlotInts grabbed{};
  SlotInts grabDX{};
  SlotInts grabDY{};
  SlotInts chaseMouse{};
  SlotInts chaseMinutes{};
  SlotInts growthStage{};
  SlotTexts speciesName{};
  SlotTexts createdOn{};
  SlotInts criterionMode{};
  SlotInts evoPhase{};
  SlotInts evoZoom{};
  SlotTexts evoClock{};

  // Statistics.
  std::array<int16_t, kLogSize> evolutionLog{};
  std::array<int16_t, kTallySize> speciesTally{};

  // Scalars.
  int16_t settei = 0;
  int16_t owaru = 0;
  int16_t runState = 0;
  int16_t petCount = 0;
  int16_t evolutionCount = 0;
  std::string fileVersion;
  std::string lastMinute;
  int16_t growthDue = 0;
  int16_t scratch = 0;
  int16_t scratch2 = 0;
  int16_t loopIndex = 0;
  int16_t innerIndex = 0;
  int16_t chaseAll = 0;
  int16_t selectedRow = 0;
  int16_t listScroll = 0;
  int16_t forceFirstPet = 0;
  int16_t growthChoice = 0;
  int16_t panelSlot = 0;
  double avgMouseLevel = 0.0;
  double avgDayScore = 0.0;
  int16_t fpsCount = 0;
  int16_t frameRate = 0;
  std::string fpsSecond;
  int16_t mouseX = 0;
  int16_t mouseY = 0;
  Point32 cursorPos;
  double travelAccum = 0.0;

  bool inUse(int slot) const { return growthPeriod[slot] != 0; }
};

// Field tables: one list of the per-slot arrays, so that compaction, the
// exchange, the data file and the state dump never repeat the field list.
struct IntField {
  const char* name;
  SlotInts State::*array;
  bool moved;  // carried along by compaction and exchange, cleared by deletion
};
struct TextField {
  const char* name;
  SlotTexts State::*array;
  bool moved;
};

inline constexpr std::array<IntField, 24> kIntFields{{
    {"growthPeriod", &State::growthPeriod, true},
    {"posX", &State::posX, true},
    {"posY", &State::posY, true},
    {"facing", &State::facing, true},
    {"walkFrame", &State::walkFrame, true},
    {"dayScore", &State::dayScore, true},
    {"mouseLevel", &State::mouseLevel, true},
    {"stageMinutes", &State::stageMinutes, true},
    {"mouseTravel", &State::mouseTravel, true},
    {"species", &State::species, true},
    {"zoom", &State::zoom, true},
    {"moveTicks", &State::moveTicks, true},
    {"stepX", &State::stepX, true},
    {"stepY", &State::stepY, true},
    {"speed", &State::speed, true},
    {"grabbed", &State::grabbed, false},
    {"grabDX", &State::grabDX, false},
    {"grabDY", &State::grabDY, false},
    {"chaseMouse", &State::chaseMouse, true},
    {"chaseMinutes", &State::chaseMinutes, true},
    {"growthStage", &State::growthStage, true},
    {"criterionMode", &State::criterionMode, true},
    {"evoPhase", &State::evoPhase, false},
    {"evoZoom", &State::evoZoom, false},
}};
inline constexpr std::array<TextField, 3> kTextFields{{
    {"speciesName", &State::speciesName, true},
    {"createdOn", &State::createdOn, true},
    {"evoClock", &State::evoClock, false},
}};

}  // namespace pet
