#include "HeardAudio.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>

namespace norvo::soak {

namespace {

// When a connection's decoder made frame j.
double madeAt(const Connection& c, int64_t j) {
    const auto it = std::upper_bound(c.decoded.begin(), c.decoded.end(), std::size_t(j),
                                     [](std::size_t x, const auto& d) { return x < d.second; });
    return it == c.decoded.end() ? 1e300 : it->first;
}

bool same(const Heard& h, int64_t o, const Connection& c, int64_t j) {
    return j >= 0 && j < int64_t(c.left.size()) && h.delivered[std::size_t(o)] &&
           std::memcmp(&h.left[std::size_t(o)], &c.left[std::size_t(j)], sizeof(float)) == 0 &&
           std::memcmp(&h.right[std::size_t(o)], &c.right[std::size_t(j)], sizeof(float)) == 0;
}

constexpr int keyFrames = 8;
uint64_t key(const float* left, const float* right) {
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < keyFrames; ++i) {
        uint32_t a, b;
        std::memcpy(&a, left + i, 4);
        std::memcpy(&b, right + i, 4);
        hash = (hash ^ a) * 1099511628211ull;
        hash = (hash ^ b) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::vector<Stretch> identify(const Heard& heard, const std::vector<std::unique_ptr<Connection>>& connections) {
    std::vector<std::pair<uint64_t, uint64_t>> index;  // (key, connection << 32 | frame)
    for (std::size_t c = 0; c < connections.size(); ++c) {
        const auto& l = connections[c]->left;
        const auto& r = connections[c]->right;
        for (std::size_t j = 0; j + keyFrames <= l.size(); j += keyFrames) {
            if (std::all_of(l.begin() + long(j), l.begin() + long(j + keyFrames), [](float x) { return x == 0; }))
                continue;
            index.emplace_back(key(&l[j], &r[j]), (uint64_t(c) << 32) | j);
        }
    }
    std::sort(index.begin(), index.end());

    std::vector<Stretch> stretches;
    const int64_t total = int64_t(heard.left.size());
    int current = -1;
    int64_t next = 0;  // the frame of `current` expected next
    for (int64_t o = 0; o < total; ++o) {
        if (current >= 0 && same(heard, o, *connections[std::size_t(current)], next)) {
            stretches.back().lastOutput = o;
            ++next;
            continue;
        }
        if (o + keyFrames > total || !heard.delivered[std::size_t(o)]) continue;
        const uint64_t k = key(&heard.left[std::size_t(o)], &heard.right[std::size_t(o)]);
        auto [from, to] = std::equal_range(index.begin(), index.end(), std::pair<uint64_t, uint64_t>(k, 0),
                                           [](auto& a, auto& b) { return a.first < b.first; });
        // Of copies that go on for the next 256 frames (or to the end) and had been made
        // when they were heard: the one that moves least from where the last one left off,
        // then the newest connection. Only where a stretch of decoded audio is the same to
        // the bit in several places can this choice hide a jump.
        std::optional<std::pair<int, int64_t>> chosen;
        std::optional<int64_t> expected;
        if (current >= 0 && connections[std::size_t(current)]->position) {
            // Silence the card played in between moved nothing on.
            int64_t moved = 0;
            for (int64_t b = stretches.back().lastOutput + 1; b < o; ++b) moved += heard.delivered[std::size_t(b)];
            expected = *connections[std::size_t(current)]->position + next + moved;
        }
        auto rank = [&](int c, int64_t j) {
            const auto& position = connections[std::size_t(c)]->position;
            const int64_t moved = !position ? INT64_MAX : expected ? std::llabs(*position + j - *expected) : 0;
            return std::make_tuple(moved, -c);
        };
        for (auto it = from; it != to; ++it) {
            const int c = int(it->second >> 32);
            const int64_t j = int64_t(it->second & 0xFFFFFFFFu);
            const Connection& x = *connections[std::size_t(c)];
            if (madeAt(x, j) > heard.at(o) + 0.001) continue;
            bool goes = true;
            for (int64_t i = 0; i < 256 && o + i < total && goes; ++i)
                goes = same(heard, o + i, x, j + i) || (j + i >= int64_t(x.left.size()));
            if (!goes) continue;
            if (!chosen || rank(c, j) < rank(chosen->first, chosen->second)) chosen = {c, j};
        }
        if (!chosen) continue;
        current = chosen->first;
        next = chosen->second + 1;
        stretches.push_back({current, o, o, chosen->second});
    }
    return stretches;
}

}  // namespace norvo::soak
