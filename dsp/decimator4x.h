// The decimation low-pass for four-times oversampling, computed in double precision: the same
// eighth-order direct-form-I structure as the two-times filter (dsp/decimator.h) with its
// cutoff a quarter lower and its poles so close to the unit circle that single precision would
// not hold them. Takes float samples; no output factor.
#pragma once

#include "dsp/decimator.h"

namespace zr::dsp {

using Decimator4x = DecimationFilter8<double, kDecimation4xDouble>;

} // namespace zr::dsp
