// The JSON sink. Containers are opened inside their parent, so the pointers
// on the stack stay valid: only the innermost open container grows.
#include "prepare/action_json.hpp"

#include <utility>

namespace vorn {

json& JsonSink::put(json v) {
    json& top = *stack_.back();
    if (top.is_object()) return top[key_] = std::move(v);
    top.push_back(std::move(v));
    return top.back();
}

void JsonSink::open(json container) {
    if (stack_.empty()) {
        root_ = std::move(container);
        stack_.push_back(&root_);
        return;
    }
    stack_.push_back(&put(std::move(container)));
}

void JsonSink::close() {
    stack_.pop_back();
    if (!stack_.empty()) return;
    auto& list = root_.get_ref<json::array_t&>();
    out_.assign(std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
    root_ = nullptr;
}

Result<std::vector<json>> action_to_json(const Action& action) {
    std::vector<json> out;
    JsonSink sink(out);
    if (auto st = render_actions(action, sink); !st) return fail(std::move(st.error()));
    return out;
}

}  // namespace vorn
