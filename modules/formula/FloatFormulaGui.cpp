// "VL Float Function GUI": registration and the pin callbacks. Each callback recomputes the
// other side; setValue transmits only a changed value, so a value sent back by the host that
// reproduces the same result ends the exchange.
#include "modules/formula/FloatFormulaGui.h"

#include "framework/mp_factory.h"

#include <cmath>

namespace zr {

FloatFormulaGui::FloatFormulaGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = FloatFormulaGui;
    initializePin(0, a, &G::onA);
    initializePin(1, b, &G::onB);
    initializePin(2, formulaA, &G::onFormulaA);
    initializePin(3, formulaB, &G::onFormulaB);
    formulaForA.compile("0");
    formulaForB.compile("0");
}

void FloatFormulaGui::onFormulaA() {
    formulaForA.compile(text.assign(formulaA.getValue()));
    computeA();
}

void FloatFormulaGui::onFormulaB() {
    formulaForB.compile(text.assign(formulaB.getValue()));
    computeB();
}

void FloatFormulaGui::computeA() {
    a.setValue(apply(formulaForA, "b", b.getValue()));
}

void FloatFormulaGui::computeB() {
    b.setValue(apply(formulaForB, "a", a.getValue()));
}

float FloatFormulaGui::apply(const Formula& formula, const char* name, float input) {
    evaluator.setVariable(name, static_cast<double>(input));
    double result = 0.0;
    evaluator.run(formula, result);
    if (std::isnan(result)) result = 0.0;
    return static_cast<float>(result);
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerGuiModule(u"VL Float Function GUI", &gmpi::createGui<zr::FloatFormulaGui>);
} // namespace
