// The steeper decimation low-pass for four-times oversampling, computed in double precision:
// the same eighth-order direct-form-I structure as the two-times filter (dsp/decimator.h) with
// its cutoff a quarter lower and its poles so close to the unit circle that single precision
// would not hold them. Takes float samples; no output factor.
#pragma once

#include "dsp/decimator.h"

namespace zr::dsp {

// b = 1.81304578931014e-6 x (1, 8, 28, 56, 70, 56, 28, 8, 1).
inline constexpr DecimationCoefficients8<double> kDecimation4x{
    {1.81304578931014e-6, 1.450436631448116e-5, 5.076528210068406e-5, 1.0153056420136812e-4,
     1.2691320525171014e-4, 1.0153056420136812e-4, 5.076528210068406e-5, 1.450436631448116e-5,
     1.81304578931014e-6},
    {1.0, -6.592352076009656, 19.735586193511615, -34.94728712084968, 39.965871481921546,
     -30.194007737385764, 14.709339619004739, -4.224678720160039, 0.5479897407319985},
    1.0};

using Decimator4x = DecimationFilter8<double, kDecimation4x>;

} // namespace zr::dsp
