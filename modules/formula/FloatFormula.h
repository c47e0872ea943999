// "VL Float Function DSP": output B = formula(A), with the formula given as text on pin 2.
// The formula is parsed when its text changes and run once per group of pin events.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/formula/Evaluator.h"
#include "modules/formula/FormulaText.h"

namespace zr {

class FloatFormula final : public gmpi::MpBase {
  public:
    explicit FloatFormula(gmpi::IMpUnknown* host);

    void pinsChanged() override;

  private:
    gmpi::FloatInPin a{"A"};
    gmpi::FloatOutPin b{"B"};
    gmpi::StringInPin formulaB{"Formula: B="};

    Evaluator evaluator;
    FormulaText text;
    Formula formula;
};

} // namespace zr
