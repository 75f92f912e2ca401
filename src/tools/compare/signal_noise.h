// The signal-to-noise ratio of a spectrum by the DER_SNR estimate (Stoehr et
// al., ST-ECF Newsletter 42, 2007; also specutils' snr_derived): over the
// fluxes f(1) to f(n) taken in order,
//   signal = median of f(i)
//   noise  = 1.482602 / sqrt(6) * median of |2 f(i) - f(i-2) - f(i+2)|, i = 3 to n - 2
//   snr    = signal / noise
// The median of an even count is the mean of the two middle values. It needs
// at least five fluxes and a noise above 0; otherwise there is no estimate:
//   1, 2, 3, 4, 5                -> noise 0, no estimate (a straight line has no noise)
//   1, 1, 2, 1, 1                -> signal 1, noise 0.6052697... * 2, snr 0.826...
//   1, 2, 3, 4                   -> no estimate (four fluxes)
#pragma once

#include <optional>
#include <vector>

namespace linesynth::tools {

std::optional<double> der_snr(const std::vector<double>& flux);

}  // namespace linesynth::tools
