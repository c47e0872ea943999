// "VL Float Function GUI": a two-way link between A and B, one formula for each direction.
// Both formulas share one evaluator, so "a" keeps its last value while the formula for A runs
// and "b" keeps its last value while the formula for B runs.
#pragma once

#include "framework/mp_gui.h"
#include "modules/formula/Evaluator.h"
#include "modules/formula/FormulaText.h"

namespace zr {

class FloatFormulaGui final : public gmpi::MpGuiBase {
  public:
    explicit FloatFormulaGui(gmpi::IMpUnknown* host);

  private:
    void onA() { computeB(); }
    void onB() { computeA(); }
    void onFormulaA();
    void onFormulaB();
    void computeA();
    void computeB();
    // Runs `formula` with `name` set to `input`; NaN and errors give 0.
    float apply(const Formula& formula, const char* name, float input);

    gmpi::GuiFloatPin a{"A"};
    gmpi::GuiFloatPin b{"B", gmpi::DirectionOut};
    gmpi::GuiTextPin formulaA{"Formula: A="};
    gmpi::GuiTextPin formulaB{"Formula: B="};

    Evaluator evaluator;
    FormulaText text; // conversion buffer for either formula
    Formula formulaForA;
    Formula formulaForB;
};

} // namespace zr
