#pragma once
#include <string>

namespace norvo {

// The flag of a country code: the code upper-cased, each scalar moved up to its regional
// indicator symbol ("DE" → 🇩🇪); scalars that would leave Unicode's range are left out.
std::string flagEmoji(const std::string& countryCode);

}  // namespace norvo
