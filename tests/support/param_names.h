// Readable names for parameterised tests, for the name generator argument of
// INSTANTIATE_TEST_SUITE_P: a case's `name` field, or its value(s) spelled as an identifier
// ("15", "2_5", "minus3", "0x07_true"), so that a failing case names itself instead of printing
// as an index or a byte dump.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include <gtest/gtest.h>

namespace ordavel::test {

namespace param_names {

// Letters, digits and underscores only, as test names must be; nothing else survives.
inline std::string Identifier(std::string_view text) {
    std::string out;
    for (char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (plain) {
            out += c;
        } else if (c == '-' && out.empty()) {
            out += "minus";
        } else if (!out.empty() && out.back() != '_') {
            out += '_';
        }
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    return out.empty() ? "empty" : out;
}

template <typename T>
concept Named = requires(const T& t) { std::string_view(t.name); };

template <typename T>
struct IsPair : std::false_type {};
template <typename A, typename B>
struct IsPair<std::pair<A, B>> : std::true_type {};

template <typename T>
std::string Of(const T& value) {
    if constexpr (Named<T>) {
        return Identifier(value.name);
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_same_v<T, uint8_t>) {
        return Identifier(std::to_string(value));
    } else if constexpr (std::is_arithmetic_v<T>) {
        std::string text = testing::PrintToString(value);
        return Identifier(text);
    } else if constexpr (std::is_convertible_v<T, std::string_view>) {
        return Identifier(std::string_view(value));
    } else if constexpr (IsPair<T>::value) {
        return Of(value.first) + "_" + Of(value.second);
    } else {
        static_assert(Named<T>, "give the case a `name` field or a name generator of its own");
        return {};
    }
}

}  // namespace param_names

// The name generator: INSTANTIATE_TEST_SUITE_P(Prefix, Suite, values, test::ReadableName{}).
// A bare number says little: ReadableName{"Steps"} names the value 145 "Steps145".
struct ReadableName {
    const char* what = "";

    template <typename T>
    std::string operator()(const testing::TestParamInfo<T>& info) const {
        return std::string(what) + param_names::Of(info.param);
    }
};

}  // namespace ordavel::test
