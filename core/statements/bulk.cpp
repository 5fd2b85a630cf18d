// Bulk work: vectors bound to a statement through one value of each column's
// kind. The driver's statement runs the rows when it can (impl::bulk_statement);
// else they run here, row by row through tovi::statement.
#include <tovi/bulk.hpp>

#include <tovi/exception.hpp>
#include <tovi/statement.hpp>
#include <tovi/values.hpp>

#include <type_traits>

namespace tovi {

namespace impl {
bulk_vector::~bulk_vector() = default;
void bulk_vector::null_in_plain_vector() {
    value_is_null e(0);
    e.set_data(
        "A NULL column was fetched into a vector of plain values (use std::optional elements "
        "for NULLs).",
        0);
    throw e;
}
bulk_statement::~bulk_statement() = default;
}  // namespace impl

namespace {

template <class T>
struct optional_of : std::false_type {
    using type = T;
};
template <class T>
struct optional_of<std::optional<T>> : std::true_type {
    using type = T;
};

// The bound value of each element kind.
template <class T>
struct value_of;
template <>
struct value_of<long> {
    static constexpr impl::bulk_kind kind = impl::bulk_kind::integer;
    using type = long_t;
    static type make() { return type(); }
};
template <>
struct value_of<double> {
    static constexpr impl::bulk_kind kind = impl::bulk_kind::real;
    using type = double_t;
    static type make() { return type(); }
};
template <>
struct value_of<std::string> {
    static constexpr impl::bulk_kind kind = impl::bulk_kind::text;
    using type = string_t;
    static type make() { return type(0); }
};
template <>
struct value_of<bytes> {
    static constexpr impl::bulk_kind kind = impl::bulk_kind::bytes;
    using type = blob_t;
    static type make() { return type(); }
};
template <>
struct value_of<tm> {
    static constexpr impl::bulk_kind kind = impl::bulk_kind::date_time;
    using type = date_time_t;
    static type make() { return type(); }
};

std::string row_text(std::size_t row, std::size_t rows) {
    return "Row " + std::to_string(row) + " of " + std::to_string(rows) +
           " failed (rows counted from 0).";
}

template <class E>
class vector_column final : public impl::bulk_vector {
public:
    using element = typename optional_of<E>::type;
    static constexpr bool nullable = optional_of<E>::value;

    explicit vector_column(std::vector<E>& v)
        : bulk_vector(value_of<element>::kind, nullable, &v),
          v_(v),
          value_(value_of<element>::make()) {}
    std::size_t size() const override { return v_.size(); }
    void load(std::size_t row) override {
        const E& e = v_[row];
        if constexpr (std::is_same_v<element, bytes>) {
            const bytes* data = nullptr;
            if constexpr (nullable)
                data = e ? &*e : nullptr;
            else
                data = &e;
            if (data != nullptr) value_.set_entire(std::string(data->begin(), data->end()));
            value_.is_null = data == nullptr;
        } else if constexpr (nullable) {
            value_.is_null = !e.has_value();
            if (e.has_value()) value_.value = *e;
        } else {
            value_.is_null = false;
            value_.value = e;
        }
    }
    void store() override {
        if constexpr (std::is_same_v<element, bytes>) {
            if (value_.is_null) {
                if constexpr (!nullable) null_in_plain_vector();
                v_.emplace_back();
                return;
            }
            const std::string data = value_.get_entire();
            v_.emplace_back(bytes(data.begin(), data.end()));
        } else if constexpr (nullable) {
            if (value_.is_null)
                v_.emplace_back();
            else
                v_.emplace_back(value_.value);
        } else {
            if (value_.is_null) null_in_plain_vector();
            v_.push_back(value_.value);
        }
    }
    void clear() override { v_.clear(); }
    value_factory_acceptor& value() override { return value_; }

private:
    std::vector<E>& v_;
    typename value_of<element>::type value_;
};

}  // namespace

bulk::bulk(statement& st) : statement_(st) {
    if (!st.is_parsed())
        throw bad_operation("Bulk work needs a parsed statement: call parse() first.", 0);
    // The driver takes the i-th vector for the i-th binding.
    if (st.get_impl()->get_bind().size() != 0 || st.get_impl()->get_define().size() != 0)
        throw bad_operation(
            "The statement already has bindings: bind all its values through the bulk object "
            "(parse the statement again to start afresh).",
            0);
}

bulk::~bulk() = default;

bulk& bulk::in(std::unique_ptr<impl::bulk_vector> v) {
    statement_ << v->value();
    in_.push_back(std::move(v));
    return *this;
}

bulk& bulk::out(std::unique_ptr<impl::bulk_vector> v) {
    statement_ >> v->value();
    out_.push_back(std::move(v));
    return *this;
}

#define TOVI_BULK_KIND(E)                                  \
    bulk& bulk::operator<<(std::vector<E>& v) {            \
        return in(std::make_unique<vector_column<E>>(v));  \
    }                                                      \
    bulk& bulk::operator>>(std::vector<E>& v) {            \
        return out(std::make_unique<vector_column<E>>(v)); \
    }
TOVI_BULK_KIND(long)
TOVI_BULK_KIND(double)
TOVI_BULK_KIND(std::string)
TOVI_BULK_KIND(tm)
TOVI_BULK_KIND(std::optional<long>)
TOVI_BULK_KIND(std::optional<double>)
TOVI_BULK_KIND(std::optional<std::string>)
TOVI_BULK_KIND(std::optional<tm>)
TOVI_BULK_KIND(bytes)
TOVI_BULK_KIND(std::optional<bytes>)
#undef TOVI_BULK_KIND

std::size_t bulk::rows() const {
    if (in_.empty()) return 0;
    const std::size_t n = in_.front()->size();
    for (const auto& c : in_) {
        if (c->size() == n) continue;
        std::string sizes;
        for (const auto& each : in_)
            sizes += (sizes.empty() ? "" : ", ") + std::to_string(each->size());
        throw bad_operation("The bound vectors differ in length (" + sizes +
                                "): every parameter needs one element per row.",
                            0);
    }
    return n;
}

void bulk::execute() {
    if (in_.empty()) {
        if (!out_.empty())
            if (auto* driver = dynamic_cast<impl::bulk_statement*>(statement_.get_impl()))
                driver->rows_fetched_in_bulk();
        statement_.execute();
        return;
    }
    const std::size_t n = rows();
    if (n == 0) return;
    std::size_t row = 0;
    try {
        if (auto* driver = dynamic_cast<impl::bulk_statement*>(statement_.get_impl())) {
            std::vector<impl::bulk_vector*> in(in_.size());
            for (std::size_t c = 0; c < in_.size(); ++c) in[c] = in_[c].get();
            driver->execute_bulk(in.data(), in.size(), n, row);
            return;
        }
        for (; row < n; ++row) {
            for (const auto& c : in_) c->load(row);
            statement_.execute();
        }
    } catch (exception& e) {
        if (row < n) e.set_data(row_text(row, n), 0);  // else the driver said what it knows
        throw;
    }
}

std::size_t bulk::fetch(std::size_t n) {
    for (const auto& c : out_) c->clear();
    if (n == 0) return 0;
    if (auto* driver = dynamic_cast<impl::bulk_statement*>(statement_.get_impl())) {
        std::vector<impl::bulk_vector*> out(out_.size());
        for (std::size_t c = 0; c < out_.size(); ++c) out[c] = out_[c].get();
        return driver->fetch_bulk(out.data(), out.size(), n);
    }
    std::size_t got = 0;
    while (got < n && statement_.next()) {
        for (const auto& c : out_) c->store();
        ++got;
    }
    return got;
}

}  // namespace tovi
