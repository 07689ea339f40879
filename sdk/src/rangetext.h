#pragma once

#include <sstream>
#include <string>

namespace BGAPI2 {

// The text of a refused feature write: the value and the range it missed,
// so that the caller can say what the feature takes.
inline std::string outsideRangeText(double value, double minimum, double maximum,
                                    const std::string& feature) {
    std::ostringstream text;
    text << "value " << value << " is outside the range " << minimum << " to " << maximum
         << " of '" << feature << "'";
    return text.str();
}

}  // namespace BGAPI2
