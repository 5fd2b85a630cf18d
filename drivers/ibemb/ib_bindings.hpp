// One binding class per value kind. Each fills its variable of the input area
// (parameters) or the output area (columns) in setup(), and copies values in
// get_value() (before execution) and set_value() (after each fetch).
#ifndef TOVI_DRIVERS_IBEMB_IB_BINDINGS_HPP
#define TOVI_DRIVERS_IBEMB_IB_BINDINGS_HPP

#include <string>

#include "ib_statement.hpp"

namespace tovi::ib {

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    // The statement's variable must not point at this binding's buffers again.
    ~binding() override;
    void setup() override;
    void get_value() override;
    void set_value() override;

private:
    bool input() const { return this->factory->get_direction() != out; }
    XSQLVAR& var() { return this->statement_->variable(input(), this->position); }
    // The buffer of native type `type` (SQL_INT64, SQL_DOUBLE, SQL_TIMESTAMP,
    // SQL_BOOLEAN, SQL_VARYING of `length` bytes); sets type_ and `length`.
    char* use(short type, short& length);
    // The fetched value in its kind, for the framework's rules.
    tovi::driver::cell fetched() const;
    // A column fetched in its own kind, read into the variable by those rules
    // (out of line: the usual case needs no frame).
    __attribute__((noinline)) void read_other();

    short indicator_ = 0;
    short type_ = 0;      // the variable's type as this binding set it (nullable bit cleared)
    bool other_ = false;  // a column fetched in its own kind, not the variable's
    ISC_INT64 integer_ = 0;
    FB_BOOLEAN flag_ = 0;  // a BOOLEAN column's or parameter's
    double real_ = 0;
    ISC_TIMESTAMP stamp_{};
    ISC_QUAD blob_{};
    std::string text_;  // varying text: 2 length bytes, then the bytes
};

// Large objects: clobs as text blobs (subtype 1), blobs as binary ones, written
// and read by segments of at most 65535 bytes.
class lob_binding : public tovi::driver::lob_binding_base<driver> {
public:
    using lob_binding_base::get_value;
    using lob_binding_base::lob_binding_base;
    using lob_binding_base::set_value;
    ~lob_binding() override;
    void setup() override;
    void get_value() override;
    void set_value() override;

protected:
    void bind_now(const std::string& data) override;

private:
    bool input() const { return factory->get_direction() != out; }
    short indicator_ = 0;
    ISC_QUAD blob_{};
};

// What the engine tells of an open blob (its information items).
struct blob_info {
    ISC_INT64 total_length = 0;
    ISC_INT64 largest_segment = 0;
    ISC_INT64 segments = 0;
    bool segmented = true;
};
// The information items of open blob `h`; "BLOB information was truncated." and
// "Requested BLOB information is unavailable." (code 0) when the engine says so.
blob_info read_blob_info(statement& st, isc_blob_handle& h);
// Writes `bytes` as a new blob of `st`'s transaction; its identifier into `id`.
void write_blob(statement& st, const std::string& bytes, ISC_QUAD& id);
// The whole content of blob `id`.
std::string read_blob(statement& st, ISC_QUAD& id);

struct binding_kinds : tovi::driver::typed_binding_set<binding, lob_binding> {};

}  // namespace tovi::ib

#endif
