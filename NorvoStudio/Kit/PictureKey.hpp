#pragma once
#include <QHashFunctions>
#include <QString>
#include <concepts>
#include <memory>
#include <typeinfo>
#include <utility>

namespace norvo {

// What a cached picture was drawn from, compared whole. A drawing gathers its inputs in a
// value (a struct with operator== and a qHash overload) and draws from that value alone, so
// no input can be left out of its key; two pictures are the same when their values are of
// one type and equal. A name stands for a drawing whose look never changes.
class PictureKey {
public:
    template <typename Value>
    requires std::equality_comparable<Value> &&
        (!std::same_as<std::remove_cvref_t<Value>, PictureKey>)explicit PictureKey(Value value)
        : type_(&typeid(Value)),
          hash_(qHashMulti(0, typeid(Value).hash_code(), qHash(value))),
          value_(std::make_shared<const Held<Value>>(std::move(value))) {}
    PictureKey(const QString& name) : PictureKey(Name{name}) {}

    bool operator==(const PictureKey& other) const {
        return hash_ == other.hash_ && *type_ == *other.type_ && value_->equals(*other.value_);
    }
    friend size_t qHash(const PictureKey& key, size_t seed = 0) noexcept { return key.hash_ ^ seed; }

private:
    struct Name {
        QString text;
        bool operator==(const Name&) const = default;
        friend size_t qHash(const Name& name, size_t seed = 0) noexcept { return qHash(name.text, seed); }
    };
    struct Erased {
        virtual ~Erased() = default;
        // Only called with a value of the same type.
        virtual bool equals(const Erased& other) const = 0;
    };
    template <typename T>
    struct Held final : Erased {
        explicit Held(T v) : value(std::move(v)) {}
        bool equals(const Erased& other) const override { return static_cast<const Held&>(other).value == value; }
        T value;
    };

    const std::type_info* type_;
    size_t hash_;
    std::shared_ptr<const Erased> value_;
};

}  // namespace norvo
