/// @file
/// Describing a recordset: tovi::describe wraps the description a recordset can
/// make of itself (impl::describe, from a driver); its columns are bound with >>
/// and read with next() like any recordset. A recordset that cannot be described
/// (tovi::statement among them) gives a describe whose use throws
/// tovi::not_implemented. A describe must not outlive its source.
#ifndef TOVI_DESCRIBE_HPP
#define TOVI_DESCRIBE_HPP

#include <tovi/config.hpp>
#include <tovi/recordset.hpp>

namespace tovi {

namespace impl {
/// A driver's description of a recordset.
class TOVI_API describe : public recordset_t {
public:
    /// Describes `source_`, which must outlive it.
    explicit describe(const recordset_t& source_) : source(&source_) {}
    ~describe() override;
    /// The described recordset.
    const recordset_t* source;
};
}  // namespace impl

/// The description of a recordset, read like a recordset: one row per column.
class TOVI_API describe : public recordset_t {
public:
    /// Asks `source` for its description; `source` must outlive this object.
    explicit describe(recordset_t& source);
    /// Hands the description back to its source; never throws.
    ~describe() override;
    describe(const describe&) = delete;
    describe& operator=(const describe&) = delete;

    bool next() override;
    /// False when the source could not describe itself.
    bool is_described() const { return impl != nullptr; }

protected:
    impl::value_factory& get_bind() override;
    impl::value_factory& get_define() override;

private:
    impl::describe& described() const;

    recordset_t* source;
    impl::describe* impl;
};

}  // namespace tovi

#endif
