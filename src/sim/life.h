#pragma once
// Pet life: the frame step, the minute step, growth and evolution.
#include <string>

#include "model/state.h"
#include "platform/platform.h"

namespace pet {

class Overlay;

// Minutes per growth step by growth period 1..4.
int16_t minutesPerGrowthStep(int16_t growthPeriod);

// The per-pet work of a minute step (minute counters, growth), for the hour of day `hour`.
void minuteBookkeeping(State& s, int hour);
// One growth step of the pet in `slot`.
void growthStep(State& s, int slot, int hour);
// Folds the stage's mouse travel, chase minutes and the hour into the scores.
void foldUsage(State& s, int slot, int hour);

// Phase work of the evolution sequence (phases 10, 11, 12).
void evolutionPhaseWork(State& s, int slot);
void evolvePet(State& s, int slot);
void recordEvolution(State& s, int16_t species);
void assignSpeciesName(State& s, int slot);
// After a load: a pet saved fully grown but still a fluff-ball lost its
// evolution to a program end, so it starts again from the countdown; an
// evolved pet saved while still small finishes regrowing.
void resumeInterruptedEvolutions(State& s);

// Everything the frame step needs from outside the state.
struct FrameContext {
  Platform& platform;
  Overlay& overlay;
  std::string timeOfDay;  // time-of-day text of now
};

void frameStep(State& s, FrameContext& ctx);
// One movement step of the pet in `slot`.
void takeStep(State& s, int slot, Platform& p);
// Monitors of different sizes leave gaps in the play area that no screen
// shows. A pet whose middle lies in one goes to the nearest monitor, wholly
// inside it where it fits. Returns whether the pet was moved.
bool bringOntoAMonitor(int16_t& x, int16_t& y, double zoom, const std::vector<Rect>& monitors);
// The cursor reading at the end of a frame and the travel meter.
void sampleCursor(State& s, Platform& p);

}  // namespace pet
