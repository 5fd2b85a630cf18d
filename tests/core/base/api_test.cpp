// Library lifetime: PATH prefix, the clean-up list and process-wide singletons.
#include <tovi/api.hpp>
#include <tovi/exception.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/singleton.hpp"

namespace {

std::vector<std::string> events;

template <char Name>
struct Recorder {
    Recorder() { events.push_back(std::string("+") + Name); }
    ~Recorder() { events.push_back(std::string("-") + Name); }
};
using A = Recorder<'A'>;
using B = Recorder<'B'>;
using C = Recorder<'C'>;

struct Throwing {
    ~Throwing() noexcept(false) { throw tovi::unknown_error(); }
};

template <class T>
T& get() {
    return tovi::detail::process_singleton<T>::instance();
}

class Lifetime : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::fini();  // every case starts from a stopped library
        events.clear();
        if (const char* path = std::getenv("PATH")) saved_path = path;
    }
    void TearDown() override {
        try {
            tovi::api::fini();
        } catch (...) {
        }
        setenv("PATH", saved_path.c_str(), 1);
    }
    std::string saved_path;
};

}  // namespace

TEST_F(Lifetime, InitPrefixesPathWithTheCoreDirectoryOnce) {
    setenv("PATH", "/usr/bin:/bin", 1);
    tovi::api::init();
    EXPECT_TRUE(tovi::api::initialized_);
    EXPECT_EQ(std::string(std::getenv("PATH")), std::string(TOVI_TEST_CORE_DIR) + ":/usr/bin:/bin");
    tovi::api::init();  // already initialised: no second prefix
    tovi::api second;
    EXPECT_EQ(std::string(std::getenv("PATH")), std::string(TOVI_TEST_CORE_DIR) + ":/usr/bin:/bin");
}

TEST_F(Lifetime, InitWithPathUnset) {
    unsetenv("PATH");
    tovi::api::init();
    EXPECT_EQ(std::string(std::getenv("PATH")), std::string(TOVI_TEST_CORE_DIR) + ":");
}

TEST_F(Lifetime, InitAgainAfterFiniPrefixesAgain) {
    setenv("PATH", "/bin", 1);
    tovi::api::init();
    tovi::api::fini();
    EXPECT_FALSE(tovi::api::initialized_);
    tovi::api::init();
    const std::string dir = TOVI_TEST_CORE_DIR;
    EXPECT_EQ(std::string(std::getenv("PATH")), dir + ":" + dir + ":/bin");
}

TEST_F(Lifetime, FiniWithoutInitDoesNothing) {
    get<A>();
    tovi::api::fini();
    EXPECT_TRUE(tovi::detail::process_singleton<A>::exists());
    tovi::api::init();
    tovi::api::fini();
    EXPECT_FALSE(tovi::detail::process_singleton<A>::exists());
}

TEST_F(Lifetime, SingletonsAreDestroyedLastCreatedFirst) {
    tovi::api::init();
    get<B>();
    get<A>();
    get<B>();  // already there: not created again
    get<C>();
    tovi::api::fini();
    EXPECT_EQ(events, (std::vector<std::string>{"+B", "+A", "+C", "-C", "-A", "-B"}));
    EXPECT_TRUE(tovi::detail::process_singleton<A>::destroyed());
}

TEST_F(Lifetime, SingletonUsedAfterFiniComesBack) {
    tovi::api::init();
    get<A>();
    tovi::api::fini();
    get<A>();
    EXPECT_TRUE(tovi::detail::process_singleton<A>::exists());
    EXPECT_FALSE(tovi::detail::process_singleton<A>::destroyed());
    {
        tovi::api scope;  // ~api runs the clean-up list again
    }
    EXPECT_EQ(events, (std::vector<std::string>{"+A", "-A", "+A", "-A"}));
    EXPECT_FALSE(tovi::api::initialized_);
}

TEST_F(Lifetime, FiniLetsDestroyFailuresThroughButApiDestructorDropsThem) {
    tovi::api::init();
    get<A>();
    get<Throwing>();
    EXPECT_THROW(tovi::api::fini(), tovi::unknown_error);
    EXPECT_TRUE(tovi::detail::process_singleton<A>::exists());  // behind the failing one
    tovi::api::fini();
    EXPECT_FALSE(tovi::detail::process_singleton<A>::exists());

    get<A>();
    get<Throwing>();
    get<B>();
    { tovi::api scope; }
    EXPECT_FALSE(tovi::detail::process_singleton<A>::exists());
    EXPECT_FALSE(tovi::detail::process_singleton<Throwing>::exists());
    EXPECT_EQ(tovi::detail::pending_cleanups(), 0u);
}
