// The driver-side script every driver gets from the framework: a Create tree is
// printed by the dialect's create visitor (in dependency order), a Drop tree by
// the dialect's drop visitor (tovi::drop_support) or else the core's,
// and each printed text runs on the script's transaction as
// tovi::statement::execute(text) would: the same cache, DDL rules and error
// translation, the failing text in the context.
#ifndef TOVI_DRIVER_SCRIPT_BASE_HPP
#define TOVI_DRIVER_SCRIPT_BASE_HPP

#include <memory>
#include <string>

#include <tovi/tovi.hpp>

#include <tovi/driver/binding_factory.hpp>
#include <tovi/driver/error_context.hpp>

namespace tovi::driver {

template <class D>
class script_base final : public sql::impl::script {
public:
    script_base(data_aware_command* command_, typename D::transaction& owner)
        : script(command_), owner_(owner), bind_(in, nullptr), define_(out, nullptr) {}

    sql::value_visitor_t* get_visitor() override {
        auto run = [this](const std::string& text) { run_text(text); };
        sql_support* dialect = server_of(owner_.get_owner()).get_sql_support();
        if (dynamic_cast<sql::impl::drop_stmt*>(tree.get()) == nullptr) {
            visitor_.reset(dialect->make_create_visitor());
        } else if (auto* drops = dynamic_cast<drop_support*>(dialect)) {
            visitor_.reset(drops->make_drop_visitor());
        } else {
            visitor_.reset(new sql::drop_visitor());
        }
        visitor_->set_callback(run);
        return visitor_.get();
    }

    void reset() override {}
    void flush() override {}
    bool next() override { return false; }
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }

private:
    // One text, as tovi::statement::execute(text) runs it, on this transaction.
    void run_text(const std::string& text) {
        impl::statement* s = owner_.acquire_statement(text, command);
        struct hand_back {
            typename D::transaction& t;
            impl::statement* s;
            ~hand_back() {
                try {
                    t.release_statement(s);
                } catch (...) {
                }
            }
        } guard{owner_, s};
        s->get_bind().get_value();
        s->execute();
    }

    typename D::transaction& owner_;
    std::unique_ptr<sql::value_visitor_t> visitor_;
    binding_factory<D> bind_;
    binding_factory<D> define_;
};

}  // namespace tovi::driver

#endif
