#pragma once

#include <initializer_list>

namespace report {

// A set of the values of a small enumeration, bit n standing for the value with ordinal n.
template <typename Enum> class EnumSet
{
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> values)
    {
        for (Enum value : values)
            include(value);
    }

    constexpr bool contains(Enum value) const { return m_bits & bit(value); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr EnumSet &include(Enum value)
    {
        m_bits |= bit(value);
        return *this;
    }
    constexpr EnumSet &exclude(Enum value)
    {
        m_bits &= ~bit(value);
        return *this;
    }
    constexpr bool operator==(const EnumSet &) const = default;

private:
    static constexpr unsigned bit(Enum value) { return 1u << static_cast<unsigned>(value); }

    unsigned m_bits = 0;
};

} // namespace report
