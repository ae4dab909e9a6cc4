#pragma once
#include <optional>

namespace norvo {

// A kit picture (KitPicture, LayerPicture) kept while the values it shows stay equal. The
// values are the key, compared by their own operator==: an input left out of a key built by
// hand would leave stale pixels, one left out of the values could not be drawn at all.
template <typename Picture, typename Key>
class KeyedPicture {
public:
    // The picture to paint `key` with, emptied first when it was drawn for other values.
    Picture& showing(const Key& key) {
        if (!key_ || !(*key_ == key)) {
            picture_.clear();
            key_ = key;
        }
        return picture_;
    }
    void clear() {
        picture_.clear();
        key_.reset();
    }

private:
    Picture picture_;
    std::optional<Key> key_;
};

}  // namespace norvo
