#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace norvo {

// The bytes of a file (an image, a carried container entry): immutable and shared, so
// copying a document for every edit does not copy its artwork. Compared by content.
class FileData {
public:
    FileData() = default;
    explicit FileData(std::vector<uint8_t> bytes);
    explicit FileData(std::string_view bytes);

    const uint8_t* data() const { return bytes_ ? bytes_->data() : nullptr; }
    std::size_t size() const { return bytes_ ? bytes_->size() : 0; }
    bool empty() const { return size() == 0; }
    std::span<const uint8_t> span() const { return {data(), size()}; }
    std::string_view text() const { return {reinterpret_cast<const char*>(data()), size()}; }

    bool operator==(const FileData& other) const;

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

}  // namespace norvo
