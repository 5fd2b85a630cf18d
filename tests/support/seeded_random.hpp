// Random inputs seeded from the running test's name, so a failure replays.
#ifndef TOVI_TESTS_SUPPORT_SEEDED_RANDOM_HPP
#define TOVI_TESTS_SUPPORT_SEEDED_RANDOM_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace tovi_test {

inline std::uint32_t test_seed() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "";
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
    return hash;
}

inline std::mt19937 seeded_engine() {
    return std::mt19937(test_seed());
}

}  // namespace tovi_test

#endif
