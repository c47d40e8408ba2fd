// An encoder of the cell channel description's frequency-list formats, written from
// TS 44.018 10.5.2.13 and its annex J, so that the decoder is checked against the standard's
// own construction rather than against itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>

namespace freq_enc {

using Description = std::array<uint8_t, 16>;

enum class Format { bitMap0, range1024, range512, range256, range128, variableBitMap };

// The 16 octets for the given ARFCNs, or nothing when the set does not fit the format.
// `spare` fills the bits the format leaves unused in octet 1 (bits 7..5).
std::optional<Description> encode(Format format, const std::set<int>& arfcns, int spare = 0);

// The map the description must produce: ARFCN n at bit (n - 1) mod 1024.
std::array<uint8_t, 128> expectedMap(const std::set<int>& arfcns);

} // namespace freq_enc
