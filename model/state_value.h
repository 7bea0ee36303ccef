#pragma once

#include <optional>
#include <stdexcept>

namespace tavelo {

// A slot of the stand state: never assigned (empty), cleared so that the model
// derives it (null), or a number. The three conditions are tested separately.
class StateValue {
public:
    enum class Kind { Empty, Null, Number };

    StateValue() = default;
    StateValue(double v) : kind_(Kind::Number), value_(v) {} // NOLINT: a number is a value

    static StateValue null() { StateValue s; s.kind_ = Kind::Null; return s; }

    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isEmptyOrNull() const { return kind_ != Kind::Number; }
    // "Given": neither empty nor null.
    bool isGiven() const { return kind_ == Kind::Number; }
    Kind kind() const { return kind_; }
    // The number when given, nothing otherwise.
    std::optional<double> given() const { return isGiven() ? std::optional<double>(value_) : std::nullopt; }

    // The number held; an empty or null slot read as a number is 0, as the
    // model reads a dimension that was never stored.
    double value() const { return kind_ == Kind::Number ? value_ : 0.0; }

    void setNull() { kind_ = Kind::Null; value_ = 0.0; }
    void clear() { kind_ = Kind::Empty; value_ = 0.0; }
    StateValue &operator=(double v) { kind_ = Kind::Number; value_ = v; return *this; }

    bool operator==(const StateValue &o) const
    {
        return kind_ == o.kind_ && (kind_ != Kind::Number || value_ == o.value_);
    }

private:
    Kind kind_ = Kind::Empty;
    double value_ = 0.0;
};

} // namespace tavelo
