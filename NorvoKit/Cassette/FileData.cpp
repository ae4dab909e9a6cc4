#include "Cassette/FileData.hpp"

#include <cstring>

namespace norvo {

FileData::FileData(std::vector<uint8_t> bytes)
    : bytes_(std::make_shared<const std::vector<uint8_t>>(std::move(bytes))) {}

FileData::FileData(std::string_view bytes)
    : bytes_(std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end())) {}

bool FileData::operator==(const FileData& other) const {
    if (size() != other.size()) return false;
    if (bytes_ == other.bytes_ || size() == 0) return true;
    return std::memcmp(data(), other.data(), size()) == 0;
}

}  // namespace norvo
