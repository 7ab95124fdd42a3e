// The exchange's JSON vocabulary for actions and order items: the "actions"
// list that travels with every signed or prepared message. It is rendered
// once, here, into a sink; the sinks decide what is built (a JSON value in
// prepare/action_json.hpp, Python objects in the binding).
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types/error.hpp"
#include "types/types.hpp"

// The key-order check of the sinks: on in debug builds, and wherever
// VORN_CHECK_KEY_ORDER is defined (the sanitizer builds).
#if !defined(NDEBUG) && !defined(VORN_CHECK_KEY_ORDER)
#define VORN_CHECK_KEY_ORDER 1
#endif

namespace vorn {

// Receives one rendering: containers opened and closed in nesting order, each
// object value preceded by its key. Keys arrive in ascending byte order
// within each object (checked where VORN_CHECK_KEY_ORDER is defined: a key
// out of order aborts with both keys named). Non-finite f64 values arrive as
// null. A sink may fail on its own (out of memory); it then records that
// itself and ignores the rest.
class ActionSink {
public:
    virtual ~ActionSink() = default;

    void begin_object() {
        open(true);
        on_begin_object();
    }
    void end_object() {
        close();
        on_end_object();
    }
    void begin_array() {
        open(false);
        on_begin_array();
    }
    void end_array() {
        close();
        on_end_array();
    }
    void key(std::string_view k) {
#ifdef VORN_CHECK_KEY_ORDER
        check_key(k);
#endif
        on_key(k);
    }
    void value(bool b) { on_bool(b); }
    void value(uint64_t u) { on_u64(u); }
    void value(int64_t i) { on_i64(i); }
    void value(double x) {
        if (std::isfinite(x)) {
            on_f64(x);
        } else {
            on_null();
        }
    }
    void value(std::nullptr_t) { on_null(); }
    void value(std::string_view text) { on_text(text); }
    void value(const char* text) { on_text(text); }
    void value(const std::string& text) { on_text(text); }
    // No silent conversions: every other type is picked by its caller.
    template <class T>
    void value(T) = delete;

protected:
    virtual void on_begin_object() = 0;
    virtual void on_end_object() = 0;
    virtual void on_begin_array() = 0;
    virtual void on_end_array() = 0;
    virtual void on_key(std::string_view key) = 0;
    virtual void on_bool(bool b) = 0;
    virtual void on_u64(uint64_t u) = 0;
    virtual void on_i64(int64_t i) = 0;
    virtual void on_f64(double x) = 0;
    virtual void on_null() = 0;
    virtual void on_text(std::string_view text) = 0;

private:
    // One entry per open container: whether it is an object, whether it has
    // had a key, and the last key. Present in every build so that the layout
    // does not depend on the check.
    struct Open {
        bool object;
        bool keyed;
        std::string last;
    };
    std::vector<Open> open_;

    void open([[maybe_unused]] bool object) {
#ifdef VORN_CHECK_KEY_ORDER
        open_.push_back({object, false, {}});
#endif
    }
    void close() {
#ifdef VORN_CHECK_KEY_ORDER
        if (!open_.empty()) open_.pop_back();
#endif
    }
    void check_key(std::string_view k);
};

// The "actions" list of an action: one value per order item for an orders
// action, one per price for an oracle-prices action, exactly one for every
// other action, as one array. Refuses what the wire conversion refuses by
// the same rules (check_order_kind, legacy withdrawals), leaving the sink
// with an unfinished rendering; the fee rule is left to the conversion.
// Items nested kMaxOrderNesting deep are OrderNesting, as there.
Status render_actions(const Action& action, ActionSink& sink);

// The "actions" list of an orders action holding these items.
Status render_order_items(std::span<const OrderItem> items, ActionSink& sink);

}  // namespace vorn
