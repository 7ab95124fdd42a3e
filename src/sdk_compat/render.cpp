// The out-of-line part of the renderer: the key-order check's report.
#include "sdk_compat/render.hpp"

#include <cstdio>
#include <cstdlib>

namespace vorn {

void KeyOrderCheck::check(std::string_view k) {
    if (open_.empty() || !open_.back().object) {
        std::fprintf(stderr, "action JSON: key \"%.*s\" outside an object\n", static_cast<int>(k.size()), k.data());
        std::abort();
    }
    Open& top = open_.back();
    if (top.keyed && !(std::string_view(top.last) < k)) {
        std::fprintf(stderr, "action JSON: key \"%.*s\" after \"%s\": keys must ascend\n", static_cast<int>(k.size()),
                     k.data(), top.last.c_str());
        std::abort();
    }
    top.keyed = true;
    top.last.assign(k);
}

}  // namespace vorn
