// The generation boundary: after a frame the field is stepped, or, stagnant,
// replaced by a new one, and in Animated Mode the next lifeface may come.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/counters.h"
#include "engine/engine.h"
#include "engine/kernels.h"
#include "engine/plane.h"
#include "lifeface/lifeface.h"
#include "loop/loop.h"
#include "pattern/pattern.h"
#include "render/render.h"
#include "settings/settings.h"

void UseLifeface() {
  if (LifefaceCatalogue.count == 0) return;
  if (Settings.face < 0 || Settings.face >= LifefaceCatalogue.count) Settings.face = 0;
  ForgetSurfacePaint();  // the tiles the surface shows are another picture's
  if (!LoadReadableLifeface(&Settings.face)) {
    Settings.face = 0;
    return;
  }
  PrepareTransition();
}

CellRule StoredRule(const SaverSettings& settings) {
  CellRule rule;
  if (ParseRule(settings.rule, strnlen(settings.rule, sizeof settings.rule), &rule) == RuleOk &&
      EngineRunsRule(rule))
    return rule;
  return CellRuleOf(RunnableLifeRule(settings.birth, settings.survive));
}

CellRule RuleOfNewField() {
  if (Settings.rules == RulesDrawn) {
    int32_t lively = 0;
    CellRule rule;
    const auto runs = [&rule](const NamedRule& named) {
      return named.lively && ParseRule(named.text, std::strlen(named.text), &rule) == RuleOk && EngineRunsRule(rule);
    };
    for (int32_t k = 0; k < NamedRuleCount; ++k) lively += runs(NamedRules[k]);
    int32_t pick = lively > 0 ? LcgNext() % lively : 0;
    for (int32_t k = 0; k < NamedRuleCount; ++k)
      if (runs(NamedRules[k]) && pick-- == 0) return rule;
  }
  return StoredRule(Settings);
}

uint32_t LongestShow() { return static_cast<uint32_t>(std::clamp(Settings.longest, 1, 86400)) * 1000u; }

bool NewFieldIsPattern() {
  if (Settings.start == StartPatterns) return true;
  // Alternately: a pattern first, then a random field, and so on.
  return Settings.start == StartAlternate && Field.ResetCount % 2 == 0;
}

// A pattern of the collection on an empty field, under the rule its file
// names or else the rule of a new field. False, with nothing changed, when
// no pattern fits.
static bool StartPatternField(int32_t columns, int32_t rows) {
  PatternCells pattern;
  PatternPlacement placement;
  PatternPlace place = PlaceTorus;
  PatternGrid grid = {columns, rows, 0};
  if (Settings.plane != 0 && Camera.allowed) {
    SetPlaneMemoryLimit(static_cast<uint32_t>(std::max(Settings.memory, 0)));
    if (!DrawPatternOnPlane(columns, rows, &pattern, &placement, &place, &grid)) return false;
  } else if (!DrawPattern(columns, rows, &pattern, &placement, &grid)) {
    return false;
  }
  // A file without a rule is Conway's Life, as in every Life program.
  const CellRule rule = pattern.hasRule ? pattern.rule : CellRuleOf(ConwayRule);
  if (place == PlacePlane)
    StartPlaneField(rule);
  else {
    // On a grid of its own, where the rule names one.
    if (grid.columns != columns || grid.rows != rows || grid.edge != 0) {
      Field.GridColumns = grid.columns;
      Field.GridRows = grid.rows;
      Field.GridEdge = grid.edge;
    }
    UseRule(rule);
    SetPatternCells(pattern, placement, grid.columns, grid.rows);
  }
  std::snprintf(Field.PatternName, sizeof Field.PatternName, "%s", pattern.name);
  return true;
}

void ResetField(int32_t columns, int32_t rows) {
  Field.PatternName[0] = 0;
  Field.OnPlane = false;
  Field.GridColumns = Field.GridRows = Field.GridEdge = 0;
  ForgetShapes(&Field.Shapes);
  if (!NewFieldIsPattern() || !StartPatternField(columns, rows)) {
    UseRule(RuleOfNewField());
    RandomFill(columns, rows);
  }
  RestartTrails();  // whatever made the field, its cells start young
  Field.ShownUntil = PlatformTickCount() + LongestShow();
  Field.Generation = 1;
  Counters.generation = static_cast<int32_t>(Field.Generation);
  Field.Population = 0;
  RestartTransition();
}

// A stagnant field's end: a new one, counted, with its history forgotten.
// A field on a grid of its own gives way to one of the view's.
static void ReplaceField(PopulationHistory* history, int32_t columns, int32_t rows) {
  if (Field.GridColumns > 0 && Camera.allowed) {
    Field.GridColumns = Field.GridRows = Field.GridEdge = 0;
    const FrameLayout layout = CurrentLayout();
    columns = layout.columns;
    rows = layout.rows;
  }
  ResetField(columns, rows);
  Field.ResetCount += 1;
  ForgetHistory(history);
}

// A field is still worth showing: a soup while its population keeps
// changing, a pattern while its shape does and for at most its longest time.
static bool FieldDeveloping(PopulationHistory* history, int32_t columns, int32_t rows, int32_t population) {
  if (Field.PatternName[0] == 0) return PopulationDeveloping(history, population);
  if (static_cast<int32_t>(PlatformTickCount() - Field.ShownUntil) >= 0) return false;
  return ShapeDeveloping(&Field.Shapes, FieldShapeHash(columns, rows));
}

void AdvanceOrReset(int32_t columns, int32_t rows, int32_t population) {
  if (FieldDeveloping(&Field.ClassicHistory, columns, rows, population)) {
    AdvanceField(&Field.ClassicHistory, columns, rows, population);
    return;
  }
  ReplaceField(&Field.ClassicHistory, columns, rows);
}

void AdvanceOrReset(WindowHandle, int32_t columns, int32_t rows, int32_t nextPopulation) {
  if (FieldDeveloping(&Field.AnimatedHistory, columns, rows, nextPopulation)) {
    AdvanceField(&Field.AnimatedHistory, columns, rows, nextPopulation);
    return;
  }
  if ((Settings.flags & FlagRandomLifeface) && LifefaceCatalogue.count > 0) {
    Settings.face = static_cast<int32_t>((static_cast<int64_t>(Settings.face) + 1) % LifefaceCatalogue.count);
    UseLifeface();
    // The new field is made for the cells the next frame will draw, also when
    // the new lifeface proved unusable and the frames turn classic.
    const FrameLayout layout = CurrentLayout();
    columns = layout.columns;
    rows = layout.rows;
  }
  ReplaceField(&Field.AnimatedHistory, columns, rows);
}

// A one-pixel frame reads every cell, and so does the step after it: where
// the kernels take the grid, the frame is painted in the step's own pass.
// The step is made ahead, before the stagnation rule has seen the population;
// a step that follows takes it, and a new field's fill drops it.
void ClassicTick(int32_t columns, int32_t rows, int32_t cellSize) {
  // With trails, a rule's dying cells fade as trails do, and no sooner than
  // their states pass.
  const bool trails = Settings.fade > 0 || Settings.age != 0;
  UseTrails(trails ? std::max(Settings.fade, Field.RuleActions.states - 2) : 0, Settings.age != 0);
  ClassicFramePlan plan;
  if (!PlanClassicFrame(columns, rows, cellSize, &plan)) return;
  int32_t population = 0;
  if (!plan.onePixel || !PaintFrameAndStepAhead(columns, rows, plan.paint, &population))
    population = PaintClassicFrame(&plan);
  FinishClassicFrame(&plan);
  AdvanceOrReset(columns, rows, population);
  DropStepAhead();  // taken by the step, or dropped by the reset's fill
}
