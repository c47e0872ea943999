// "VL Float Function DSP": registration and pinsChanged. Variables a formula assigns live in
// this instance's evaluator and persist from one evaluation to the next.
#include "modules/formula/FloatFormula.h"

#include "framework/mp_factory.h"

#include <cmath>

namespace zr {

FloatFormula::FloatFormula(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, a);
    initializePin(1, b);
    initializePin(2, formulaB);
    formula.compile(text.view());
}

void FloatFormula::pinsChanged() {
    if (formulaB.isUpdated()) formula.compile(text.assign(formulaB.getValue()));
    evaluator.setVariable("a", static_cast<double>(a.getValue()));
    double result = 0.0;
    evaluator.run(formula, result); // an error leaves 0.0, which is what is sent
    if (std::isnan(result)) result = 0.0;
    b.setValue(static_cast<float>(result));
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"VL Float Function DSP", &gmpi::createAudio<zr::FloatFormula>);
} // namespace
