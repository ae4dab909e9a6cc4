#include "Radio/JoinMatch.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace norvo {

int64_t JoinMatch::earliestCompared(int64_t end, int64_t reach, std::optional<int64_t> predicted, double codecFrame) {
    const int64_t byReach = end - reach - lead(codecFrame);
    const int64_t byTiming = predicted ? *predicted - static_cast<int64_t>(nearTimingSearch * frameRate) : byReach;
    return std::max<int64_t>(0, std::min(byReach, byTiming));
}

std::size_t JoinMatch::heldCompared(std::size_t held, int64_t earliest, int64_t seam, double codecFrame) {
    const int64_t from = garbled(codecFrame);
    const auto near = static_cast<std::size_t>(std::max<int64_t>(from, seam - earliest)) + nearTimingWindow;
    return std::min(held, std::max(probeHeld(codecFrame), near));
}

JoinMatch::Result JoinMatch::compute(const Inputs& inputs) {
    Result result;
    result.found = burst(inputs, inputs.predicted);
    if (inputs.predicted) {
        result.anywhere = burst(inputs, std::nullopt);
        result.near = nearTiming(inputs, *inputs.predicted);
    }
    return result;
}

std::optional<BurstMatch::Found> JoinMatch::burst(const Inputs& inputs, std::optional<int64_t> predicted) {
    const int64_t lead = JoinMatch::lead(inputs.codecFrame);
    const int64_t skipped = std::max<int64_t>(0, -lead), nothing = std::max<int64_t>(0, lead);
    const int64_t held = std::min(static_cast<int64_t>(inputs.held.size()) - skipped,
                                  static_cast<int64_t>(BurstMatch::probeFrames) - nothing);
    if (held <= 0) return std::nullopt;
    std::vector<float> probe(static_cast<std::size_t>(nothing + held), 0.0f);
    for (int64_t i = 0; i < held; ++i) {
        const auto at = static_cast<std::size_t>(skipped + i);
        probe[static_cast<std::size_t>(nothing + i)] = 0.5f * (inputs.held.left(at) + inputs.held.right(at));
    }
    const BurstMatch::History history{inputs.ring->data(), static_cast<int64_t>(inputs.ring->size()), inputs.end};
    const auto tolerance = static_cast<int64_t>(timingTolerance * frameRate);
    auto found = BurstMatch::find(history, probe,
                                  {.reach = inputs.reach + lead,
                                   .predicted = predicted ? std::optional<int64_t>(*predicted - lead) : std::nullopt,
                                   .tolerance = tolerance});
    if (found) found->origin += lead;
    return found;
}

std::optional<BurstMatch::Found> JoinMatch::nearTiming(const Inputs& inputs, int64_t predicted) {
    const auto near = static_cast<int64_t>(nearTimingSearch * frameRate);
    const int64_t received = inputs.end;
    // Past what the decoder may garble, the held frames are compared with the history at
    // each origin, over as much as overlaps there (at most nearTimingWindow). The last
    // connection's audio is compared on its own where enough of it overlaps: a join placed
    // off by a fraction of a period leaves a step at its start, which would make the true
    // place match worse than a wrong one.
    const int64_t from = garbled(inputs.codecFrame);
    const auto shortest = static_cast<int64_t>(nearTimingShortest);
    const int64_t seam = received - inputs.seam >= shortest ? inputs.seam : 0;
    const auto size = static_cast<int64_t>(inputs.ring->size());
    const int64_t earliest = std::max<int64_t>({predicted - near, received - size, 0});
    // The held frames any origin compares.
    const int64_t held = std::min(static_cast<int64_t>(inputs.held.size()),
                                  std::max(from, seam - earliest) + static_cast<int64_t>(nearTimingWindow));
    if (held - from < shortest) return std::nullopt;
    std::vector<double> probe(static_cast<std::size_t>(held)), energy(probe.size() + 1, 0.0);
    for (std::size_t i = 0; i < probe.size(); ++i) {
        probe[i] = 0.5 * (double(inputs.held.left(i)) + inputs.held.right(i));
        energy[i + 1] = energy[i] + probe[i] * probe[i];
    }
    std::vector<std::pair<int64_t, double>> errors;  // (origin, squared difference relative to the energy)
    // Where too little overlaps at the timing to compare, what matches before it is audio
    // that repeats: the place the timing points at was never compared.
    if (received - std::max(predicted + from, seam) < shortest) return std::nullopt;
    for (int64_t origin = earliest; origin <= predicted + near; ++origin) {
        const int64_t start = std::max(origin + from, seam);  // the history compared begins here
        const int64_t first = start - origin;                 // and the held frames here
        if (received - start < shortest) break;
        const int64_t length = std::min({static_cast<int64_t>(nearTimingWindow), held - first, received - start});
        if (length < shortest) continue;
        const double power = energy[static_cast<std::size_t>(first + length)] - energy[static_cast<std::size_t>(first)];
        if (power <= 1e-9 * double(length)) continue;  // silence matches nothing
        double sum = 0;
        for (int64_t i = 0; i < length && sum < power; ++i) {
            const double d = probe[static_cast<std::size_t>(first + i)] -
                             (*inputs.ring)[static_cast<std::size_t>((start + i) % size)];
            sum += d * d;
        }
        errors.emplace_back(origin, sum / power);
    }
    if (errors.empty()) return std::nullopt;
    double least = errors.front().second;
    for (const auto& [origin, error] : errors) least = std::min(least, error);
    if (least > nearTimingError) return std::nullopt;
    // Of the places as good as the best (a tone's periods), the one nearest the timing; the
    // nearest other one is its look-alike. A place is a least error among its neighbours.
    // Resampled from another phase, equal places differ by several times the least error.
    const bool exact = least <= 1e-6;
    const auto equal = [&](double error) {
        return exact ? error <= 2 * least + 1e-6 : error <= nearTimingShare * least;
    };
    const auto place = [&](std::size_t k) {
        return (k == 0 || errors[k - 1].second >= errors[k].second) &&
               (k + 1 == errors.size() || errors[k + 1].second > errors[k].second);
    };
    std::optional<int64_t> chosen;
    for (std::size_t k = 0; k < errors.size(); ++k) {
        const int64_t origin = errors[k].first;
        if (place(k) && equal(errors[k].second) &&
            (!chosen || std::abs(origin - predicted) < std::abs(*chosen - predicted)))
            chosen = origin;
    }
    if (!chosen) return std::nullopt;
    BurstMatch::Found found{.origin = *chosen, .exact = exact};
    for (std::size_t k = 0; k < errors.size(); ++k)
        if (errors[k].first != *chosen && place(k) && equal(errors[k].second))
            found.lookAlike = std::min(found.lookAlike.value_or(INT64_MAX), std::abs(errors[k].first - *chosen));
    return found;
}

}  // namespace norvo
