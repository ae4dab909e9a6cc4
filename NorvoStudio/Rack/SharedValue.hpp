#pragma once
#include <memory>
#include <utility>

namespace norvo {

// A value too large to copy on every tick, held once and shared; compared by value, the
// pointer first, so comparing two holders of the same value costs nothing.
template <typename T>
class SharedValue {
public:
    SharedValue() = default;
    explicit SharedValue(T value) : value_(std::make_shared<const T>(std::move(value))) {}

    explicit operator bool() const { return value_ != nullptr; }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return value_.get(); }

    bool operator==(const SharedValue& other) const {
        return value_ == other.value_ || (value_ && other.value_ && *value_ == *other.value_);
    }

private:
    std::shared_ptr<const T> value_;
};

}  // namespace norvo
