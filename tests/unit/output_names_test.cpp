#include "convert/output_names.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Worker threads that plan and settle output paths, then end, as a parallel
// run's workers do. What a thread keeps for the file it converts must not
// outlive the thread's storage: on Windows a fault there corrupts the heap
// and brings the process down some time after the threads end.
TEST(OutputNames, ThreadsThatEndAfterConvertingLeaveTheBookkeepingWhole) {
    constexpr std::size_t kRounds = 200;
    constexpr std::size_t kThreads = 2;
    OutputClaims claims;
    for (std::size_t round = 0; round < kRounds; ++round) {
        std::vector<std::thread> workers;
        for (std::size_t t = 0; t < kThreads; ++t) {
            const std::size_t file = round * kThreads + t;
            workers.emplace_back([file, &claims] {
                const FileClaims converting(claims, file);
                const std::string own = OutputPathKey(("PCXFiles/file" + std::to_string(file) + ".pcx").c_str());
                claims.Plan(file, {own, OutputPathKey("PCXFiles/shared.pcx")});
                claims.Settle(file, own, true);
            });
        }
        for (std::thread& worker : workers) worker.join();
    }
    // Every file gave up the shared path unwritten, so a later one may have it;
    // one another file wrote may not be written again.
    const std::size_t later = kRounds * kThreads;
    EXPECT_TRUE(claims.Claim(later, OutputPathKey("PCXFiles/shared.pcx")));
    EXPECT_FALSE(claims.Claim(later, OutputPathKey("PCXFiles/file7.pcx")));
}

}  // namespace
