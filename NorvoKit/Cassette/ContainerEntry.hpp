#pragma once
#include <string>

#include "Cassette/FileData.hpp"

namespace norvo {

// An entry of an opened container that this version does not know; kept and written
// back under the same name.
struct ContainerEntry {
    std::string name;
    FileData data;

    bool operator==(const ContainerEntry&) const = default;
};

}  // namespace norvo
