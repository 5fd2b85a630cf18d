/// @file
/// utils::SmartPtr: the policy-based, reference-counted handle tovi shares
/// connections through (see tovi::connection_handle).
///
/// The count is atomic: copies of one handle may be made and dropped on several
/// threads (a pool hands a connection from one data source's thread to another's).
/// The pointee itself is not made thread-safe by this. When the last handle goes, the storage
/// policy disposes of the pointee; a destructor reports a failure of that disposal through
/// utils::reportError and swallows it, while reset() lets it through.
#ifndef TOVI_SMART_PTR_HPP
#define TOVI_SMART_PTR_HPP

#include <atomic>
#include <cassert>
#include <exception>
#include <utility>

#include <tovi/config.hpp>
#include <tovi/exception.hpp>

namespace utils {

/// Ownership policy: one heap-allocated count shared by every copy.
class RefCounted {
public:
    RefCounted() : count_(new std::atomic<int>(1)) {}
    /// Copies share the count (clone() then counts the new reference).
    RefCounted(const RefCounted&) = default;
    RefCounted& operator=(const RefCounted&) = default;  ///< see the copy constructor
    /// Counts one more reference.
    void clone() { count_->fetch_add(1, std::memory_order_relaxed); }
    /// True when this was the last reference (the count is then freed).
    bool release() {
        if (count_->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete count_;
            count_ = nullptr;
            return true;
        }
        return false;
    }
    /// Stops sharing the count without changing it (after a release that was not
    /// the last).
    void forget() { count_ = nullptr; }
    /// Exchanges the counts of two handles.
    void swap(RefCounted& other) noexcept { std::swap(count_, other.count_); }
    /// The number of references, 0 once forgotten.
    int use_count() const {
        return count_ != nullptr ? count_->load(std::memory_order_relaxed) : 0;
    }

private:
    std::atomic<int>* count_;
};

/// Conversion policy: no implicit conversion to the raw pointer.
struct DisallowConversion {
    enum { allow = false };
};

/// Checking policy: the pointer is checked only in debugging builds.
struct AssertCheck {
    template <class P>
    /// Asserts that `p` is not null.
    static void on_dereference(P p) {
        assert(p != nullptr);
        (void)p;
    }
};

template <class T, class OwnershipPolicy, class StoragePolicy, class ConversionPolicy,
          class CheckingPolicy>
/// A reference-counted handle with policies for ownership, storage, conversion and checks.
/// Copies share the pointee; the last one disposes of it through the storage policy,
/// reporting (never throwing) a failure from its destructor.
class SmartPtr : public StoragePolicy, private OwnershipPolicy {
public:
    /// Empty.
    SmartPtr() : pointee_(nullptr) { StoragePolicy::init(pointee_); }
    /// Creates the pointee through the storage policy (two or more arguments, so
    /// that this never competes with the copy constructor).
    template <class A, class B, class... Rest>
    SmartPtr(A&& a, B&& b, Rest&&... rest) : pointee_(nullptr) {
        try {
            StoragePolicy::init(pointee_, std::forward<A>(a), std::forward<B>(b),
                                std::forward<Rest>(rest)...);
        } catch (...) {
            OwnershipPolicy::release();  // no destructor runs for us: free the count
            throw;
        }
    }
    /// Shares `other`'s pointee.
    SmartPtr(const SmartPtr& other)
        : StoragePolicy(other), OwnershipPolicy(other), pointee_(other.pointee_) {
        OwnershipPolicy::clone();
    }
    /// Shares `other`'s pointee, letting go of this handle's own first.
    SmartPtr& operator=(const SmartPtr& other) {
        if (this == &other) return *this;
        SmartPtr copy(other);
        swap(copy);
        return *this;  // the old pointee goes with `copy`
    }
    ~SmartPtr() {
        try {
            drop();
        } catch (const tovi::exception& e) {
            utils::reportError(0, e.get_error_text().c_str());
        } catch (...) {
            utils::reportError(0, "Disposing of a shared object failed.");
        }
    }

    /// Lets go of the pointee now; a failure of its disposal propagates.
    void reset() {
        SmartPtr empty;
        swap(empty);
        empty.drop();
    }
    /// Exchanges the pointees of two handles.
    void swap(SmartPtr& other) noexcept {
        std::swap(pointee_, other.pointee_);
        StoragePolicy::swap(other);
        OwnershipPolicy::swap(other);
    }

    /// The pointee, checked by the checking policy.
    T* operator->() const {
        CheckingPolicy::on_dereference(pointee_);
        return pointee_;
    }
    /// The pointee, checked by the checking policy.
    T& operator*() const {
        CheckingPolicy::on_dereference(pointee_);
        return *pointee_;
    }
    /// The pointee, unchecked; null when empty.
    T* get() const { return pointee_; }
    /// True when there is no pointee.
    bool empty() const { return pointee_ == nullptr; }
    /// True when there is a pointee.
    explicit operator bool() const { return pointee_ != nullptr; }
    /// The number of handles sharing the pointee.
    int use_count() const { return OwnershipPolicy::use_count(); }

private:
    /// Gives up this handle's share, once: afterwards the handle is empty and
    /// shares nothing, so a later drop (the destructor's) does nothing.
    void drop() {
        if (OwnershipPolicy::use_count() == 0) return;
        T* p = pointee_;
        pointee_ = nullptr;
        if (OwnershipPolicy::release()) {
            if (p != nullptr) StoragePolicy::destroy(p);
        } else {
            OwnershipPolicy::forget();
        }
    }

    T* pointee_;
};

}  // namespace utils

#endif
