#pragma once
// Lets qHashMulti take std::optional members: an absent value hashes differently from any present one.
#include <QHashFunctions>
#include <optional>

namespace RecordHashing {

template <typename T>
struct Optional
{
    const std::optional<T> &value;
};

template <typename T>
size_t qHash(const Optional<T> &key, size_t seed = 0)
{
    using ::qHash;
    return key.value ? qHash(*key.value, seed) : ::qHash(0x5a17u, seed ^ 0x9e3779b9u);
}

template <typename T>
Optional<T> optional(const std::optional<T> &value)
{
    return {value};
}

} // namespace RecordHashing
