#include "Platform/Observable.hpp"

#include <gtest/gtest.h>
#include <optional>

namespace norvo {
namespace {

class Counter : public Observable {
public:
    void change() { notifyObservers(); }
};

TEST(Observable, TokensKeepObservationsAlive) {
    Counter counter;
    int first = 0, second = 0;
    auto a = counter.observe([&] { ++first; });
    std::optional<ObservationToken> b = counter.observe([&] { ++second; });
    counter.change();
    b.reset();
    counter.change();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(counter.changeCount(), 2u);

    ObservationToken moved = std::move(a);
    counter.change();
    EXPECT_EQ(first, 3) << "moving a token keeps the observation";
}

TEST(Observable, AnObserverMayStopAnotherWhileBeingTold) {
    Counter counter;
    int later = 0;
    ObservationToken second;
    auto first = counter.observe([&] { second.reset(); });
    second = counter.observe([&] { ++later; });
    counter.change();
    EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace norvo
