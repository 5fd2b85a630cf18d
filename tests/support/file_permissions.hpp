// File permissions that hold for root too, for tests of what a user without
// access meets.
#ifndef TOVI_TESTS_SUPPORT_FILE_PERMISSIONS_HPP
#define TOVI_TESTS_SUPPORT_FILE_PERMISSIONS_HPP

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tovi_test {

// File permissions hold for the calling thread while this lives, also when it
// runs as root: root's override of them (CAP_DAC_OVERRIDE) leaves the thread's
// effective set and comes back from its permitted set afterwards.
class file_permissions_hold {
public:
    file_permissions_hold() {
        if (geteuid() != 0) return;
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~file_permissions_hold() {
        if (lowered_) syscall(SYS_capset, &header_, saved_);
    }
    file_permissions_hold(const file_permissions_hold&) = delete;
    file_permissions_hold& operator=(const file_permissions_hold&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

}  // namespace tovi_test

#endif
