// The action JSON as a JSON value (nlohmann's sorted-key model): the sink
// for clear-signing, the fuzzers and C++ callers.
#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sdk_compat/render.hpp"
#include "types/error.hpp"
#include "types/types.hpp"

namespace vorn {

using json = nlohmann::json;

// Builds the rendered "actions" list as JSON values into out, replacing its
// content once the list is finished.
class JsonSink final : public ActionSinkOf<JsonSink> {
public:
    explicit JsonSink(std::vector<json>& out) : out_(out) {}

private:
    friend class ActionSinkOf<JsonSink>;
    void on_begin_object() { open(json::object()); }
    void on_end_object() { close(); }
    void on_begin_array() { open(json::array()); }
    void on_end_array() { close(); }
    void on_key(std::string_view key, bool) { key_.assign(key); }
    void on_bool(bool b) { put(json(b)); }
    void on_u64(uint64_t u) { put(json(u)); }
    void on_i64(int64_t i) { put(json(i)); }
    void on_f64(double x) { put(json(x)); }
    void on_null() { put(json(nullptr)); }
    void on_text(std::string_view text, bool) { put(json(text)); }

    // Places v in the open container and returns it there.
    json& put(json v);
    void open(json container);
    void close();

    std::vector<json>& out_;
    json root_;                 // the list, while it is open
    std::vector<json*> stack_;  // the open containers, root_ first
    std::string key_;
};

// The rendered list as JSON values (render_actions).
Result<std::vector<json>> action_to_json(const Action& action);

}  // namespace vorn
