#include "Radio/DirectoryServerList.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace norvo {
namespace {

using Names = std::vector<std::string>;

const Names fallback{"f1.example.org", "f2.example.org", "f3.example.org"};

// Always the same value: Fisher-Yates then swaps each slot with the first.
std::function<uint64_t()> constant(uint64_t value) {
    return [value] { return value; };
}

TEST(ServerListReplyTest, ReadsNamesOnlyFromAnArrayOfRecords) {
    EXPECT_EQ(DirectoryServerList::namesFromReply(R"([{"name":"a.example","ip":"1.2.3.4"},{"name":"b.example"}])"),
              (Names{"a.example", "b.example"}));
    EXPECT_EQ(DirectoryServerList::namesFromReply("[]"), Names{});
    for (std::string body : {R"([{"name":"a.example"},{"ip":"1.2.3.4"}])", R"([{"name":5}])", R"({"name":"a.example"})",
                             R"(["a.example"])", "<html>", ""})
        EXPECT_EQ(DirectoryServerList::namesFromReply(body), std::nullopt) << body;
}

TEST(ServerListTest, RepeatedAndFallbackNamesAppearOnce) {
    auto list = DirectoryServerList::arranged({"f2.example.org", "a.example", "a.example", "f2.example.org"}, fallback,
                                              constant(0));
    ASSERT_EQ(list.servers.size(), 4u);
    EXPECT_EQ(std::set<std::string>(list.servers.begin(), list.servers.begin() + 2),
              (std::set<std::string>{"f2.example.org", "a.example"}));
    EXPECT_EQ((Names{list.servers[2], list.servers[3]}), (Names{"f1.example.org", "f3.example.org"}));
}

TEST(ServerListTest, NoNamesGiveTheFallbackHostsUnshuffled) {
    int calls = 0;
    auto list = DirectoryServerList::arranged({}, fallback, [&calls] {
        ++calls;
        return uint64_t{1};
    });
    EXPECT_EQ(list.servers, fallback);
    EXPECT_EQ(calls, 0);
}

TEST(ServerListTest, NamesThatCannotFormAUrlAreDropped) {
    auto list =
        DirectoryServerList::arranged({"bad host", "", "ok.example:8080", "x/y", "[::1]:99999"}, fallback, constant(0));
    EXPECT_EQ(list.servers, (Names{"ok.example:8080", "f1.example.org", "f2.example.org", "f3.example.org"}));
    EXPECT_EQ(DirectoryServerList::arranged({"bad host"}, fallback, constant(0)).servers, fallback);
}

TEST(ServerListTest, ShuffleIsAPermutationDrivenByTheRandomSource) {
    Names names{"a.example", "b.example", "c.example", "d.example"};
    // Index i swaps with random() % (i + 1): all zeros rotate the first name to the end.
    auto zeros = DirectoryServerList::arranged(names, {}, constant(0));
    EXPECT_EQ(zeros.servers, (Names{"b.example", "c.example", "d.example", "a.example"}));
    // Drawing the top index each time leaves the order alone.
    std::vector<uint64_t> draws{3, 2, 1};
    std::size_t next = 0;
    auto identity = DirectoryServerList::arranged(names, {}, [&] { return draws[next++]; });
    EXPECT_EQ(identity.servers, names);

    std::set<Names> seen;
    std::mt19937_64 generator(42);
    for (int i = 0; i < 200; ++i) {
        auto list = DirectoryServerList::arranged(names, {}, [&generator] { return generator(); });
        Names sorted = list.servers;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, names);
        seen.insert(list.servers);
    }
    EXPECT_EQ(seen.size(), 24u);  // every order of four turns up
}

TEST(ServerListTest, FailuresStepThroughTheListAndWrapAround) {
    DirectoryServerList list{{"a", "b", "c"}, 0};
    Names visited;
    for (int i = 0; i < 5; ++i) {
        visited.push_back(list.current());
        list.recordFailure();
    }
    EXPECT_EQ(visited, (Names{"a", "b", "c", "a", "b"}));
    EXPECT_EQ(list.serverIndex, 5);
}

}  // namespace
}  // namespace norvo
