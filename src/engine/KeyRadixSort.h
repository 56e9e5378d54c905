#pragma once

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <bit>
#include <span>
#include <utility>

namespace quorvane {

// Sorts `keys` by the bits above their low `orderBits` bits, keeping the order of keys equal there: a radix sort
// from the lowest digit, over as many passes of at most 8 bits as the spread of those high bits needs (one or
// two for the scores of real words). Keys whose low bits ascend already, as a split's place in search order
// does, come out wholly sorted. Its loops do not branch on the keys, where a comparison sort guesses wrong about
// every other comparison of keys in no order. `spare` is room of at least as many keys, which the passes take
// turns with `keys` in; returns where the sorted keys ended up, the first keys of one or the other.
inline std::span<qint64> radixSortKeys(std::span<qint64> keys, std::span<qint64> spare, int orderBits)
{
    Q_ASSERT(spare.size() >= keys.size());
    if (keys.empty())
        return keys;
    spare = spare.first(keys.size());
    qint64 lowest = keys.front() >> orderBits;
    qint64 highest = lowest;
    for (const qint64 key : keys) {
        lowest = std::min(lowest, key >> orderBits);
        highest = std::max(highest, key >> orderBits);
    }
    const auto spread = static_cast<quint64>(highest) - static_cast<quint64>(lowest);
    // As few passes as the spread needs, of digits as narrow as those passes allow: fewer counts to clear and
    // add up in each.
    const int spreadBits = static_cast<int>(std::bit_width(spread));
    const int passes = std::max(1, (spreadBits + 7) / 8);
    const int digitBits = std::max(1, (spreadBits + passes - 1) / passes);
    const std::size_t digits = std::size_t(1) << digitBits;
    for (int pass = 0; pass < passes; ++pass) {
        const int shift = pass * digitBits;
        const auto digit = [&](qint64 key) {
            return static_cast<std::size_t>(
                ((static_cast<quint64>(key >> orderBits) - static_cast<quint64>(lowest)) >> shift) & (digits - 1));
        };
        std::array<qint64, 256> next;
        std::fill_n(next.begin(), digits, 0);
        for (const qint64 key : keys)
            ++next[digit(key)];
        qint64 place = 0;
        for (std::size_t d = 0; d < digits; ++d)
            place += std::exchange(next[d], place);
        for (const qint64 key : keys)
            spare[static_cast<std::size_t>(next[digit(key)]++)] = key;
        std::swap(keys, spare);
    }
    return keys;
}

} // namespace quorvane
