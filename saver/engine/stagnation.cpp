// The stagnation rule: a field whose population keeps repeating one of its
// last three values for `reset` ms is to be replaced by a new random one.
#include "engine/counters.h"
#include "engine/engine.h"
#include "settings/settings.h"

static FieldState NewFieldState() {
  return FieldState{1, 0, 0, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}, CellRuleOf(ConwayRule),
                    KernelRuleOf(ConwayRule.birth, ConwayRule.survive), {}};
}

FieldState Field = NewFieldState();
SaverCounters Counters = {0, 1};

void ResetFieldState() {
  Field = NewFieldState();
  Counters.generation = Field.Generation;
}

bool PopulationDeveloping(PopulationHistory* history, int32_t population) {
  if (population != 0 && population != history->p1 && population != history->p2 &&
      population != history->p3) {
    history->ResetDeadline = PlatformTickCount() + static_cast<uint32_t>(Settings.reset);
    return true;
  }
  // The zero deadline of the start is always past: the first boundary makes
  // the first field. Any other deadline is still ahead while it lies within
  // `reset` ms of now, so one set just before the tick count wraps is not
  // taken to lie 49 days ahead once it has wrapped.
  if (history->ResetDeadline == 0) return false;
  const uint32_t window = Settings.reset > 0 ? static_cast<uint32_t>(Settings.reset) : 0u;
  return history->ResetDeadline - PlatformTickCount() <= window;
}

void AdvanceField(PopulationHistory* history, int32_t columns, int32_t rows, int32_t population) {
  history->p3 = history->p2;
  history->p2 = history->p1;
  history->p1 = population;
  StepGeneration(columns, rows);
  Field.Population = population;
  Field.Generation += 1;
  Counters.generation = Field.Generation;
}

void ForgetHistory(PopulationHistory* history) {
  history->p1 = history->p2 = history->p3 = 0;
}

void UseRule(const CellRule& rule) {
  Field.Rule = rule;
  Field.RuleActions = KernelRuleFor(rule);
}

void UseRule(LifeRule rule) { UseRule(CellRuleOf(rule)); }
