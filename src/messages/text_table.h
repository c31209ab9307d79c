#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pmv {

// A text of a table keyed by an enum whose last enumerator, Count, counts the others. Rows stand
// in the order of their keys, which the table's static_assert on InKeyOrder holds, so a key
// indexes its row and a key without a row does not build.
template <typename Key>
struct TextRow {
    Key key;
    const char* text;
};

// Every key before Count has its row, in order.
template <typename Row, size_t N>
constexpr bool InKeyOrder(const Row (&rows)[N])
{
    for (size_t i = 0; i < N; ++i)
        if (static_cast<size_t>(rows[i].key) != i)
            return false;
    return static_cast<size_t>(decltype(Row::key)::Count) == N;
}

template <typename Row, size_t N>
constexpr const Row& RowOf(const Row (&rows)[N], decltype(Row::key) key)
{
    return rows[static_cast<size_t>(key)];
}

// `pattern` with %1..%9 replaced by the values in order; the values themselves are not scanned.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

}  // namespace pmv
