// Two pieces of work run at once, each on a thread of its own and many times
// over: the way a test shows that work shares no state with other work.
#pragma once

#include <functional>
#include <thread>
#include <utility>

namespace test {

// Runs work(first) and work(second) on two threads at once, rounds times each
// (a thread stops at its first wrong result). Gives, for each side, whether
// every result equalled the one the side expects: firstAlone, secondAlone.
template <typename Input, typename Result, typename Work>
std::pair<bool, bool> SameOnTwoThreads(Work work, const Input& first, const Result& firstAlone, const Input& second,
                                       const Result& secondAlone, int rounds) {
    const auto repeat = [&work, rounds](const Input& input, const Result& alone, bool* same) {
        for (int i = 0; i < rounds && *same; ++i) *same = work(input) == alone;
    };
    bool firstSame = true;
    bool secondSame = true;
    std::thread one(repeat, std::cref(first), std::cref(firstAlone), &firstSame);
    std::thread two(repeat, std::cref(second), std::cref(secondAlone), &secondSame);
    one.join();
    two.join();
    return {firstSame, secondSame};
}

}  // namespace test
