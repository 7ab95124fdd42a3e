// Action lines and the header of the clear-sign text.
#include "wallet/clear_sign.hpp"

#include "types/hex.hpp"
#include "types/keypair.hpp"

namespace vorn::clear_sign {

namespace {

const Json* find_key(const Json& body, std::string_view key) {
    auto it = body.find(key);
    return it == body.end() ? nullptr : &*it;
}

const char* buy_sell(bool is_buy) { return is_buy ? "Buy" : "Sell"; }
const char* above_below(bool above) { return above ? "Above" : "Below"; }
const char* true_false(bool b) { return b ? "true" : "false"; }

std::string dash_or_fixed8(const std::optional<double>& v) { return v ? format_fixed8(*v) : std::string("-"); }

// "i" is optional and then false; when present it must be a boolean.
Result<bool> iso_flag(const Json& body) {
    if (find_key(body, "i") == nullptr) return false;
    return boolean(body, "i");
}

// Propagates the error of a reader result out of the enclosing function.
#define CS_TRY(var, expr)                              \
    auto var = (expr);                                 \
    if (!var) return fail(std::move(var).error())

Result<std::string> limit_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(buy, boolean(b, "b"));
    CS_TRY(px, exact(find_key(b, "px")));
    CS_TRY(sz, exact(find_key(b, "sz")));
    CS_TRY(tif, text(b, "tif"));
    if (*tif != "GTC" && *tif != "IOC" && *tif != "ALO") return fail(field_error("tif"));
    CS_TRY(ro, boolean(b, "r"));
    CS_TRY(iso, iso_flag(b));
    return "Limit " + std::string(*c) + " " + buy_sell(*buy) + " px=" + *px + " sz=" + *sz +
           " tif=" + std::string(*tif) + " ro=" + true_false(*ro) +
           " iso=" + true_false(*iso);
}

Result<std::string> market_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(buy, boolean(b, "b"));
    CS_TRY(sz, exact(find_key(b, "sz")));
    CS_TRY(ro, boolean(b, "r"));
    CS_TRY(iso, iso_flag(b));
    std::string line = "Market " + std::string(*c) + " " + buy_sell(*buy) + " sz=" + *sz +
                       " ro=" + true_false(*ro) + " iso=" + true_false(*iso);
    const Json* slippage = find_key(b, "slippage");
    if (slippage != nullptr && !slippage->is_null()) {
        CS_TRY(s, exact(slippage));
        line += " slippage=" + *s + "bps";
    }
    return line;
}

Result<std::string> cancel_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(oid, text(b, "oid"));
    return "Cancel " + std::string(*c) + " oid=" + std::string(*oid);
}

Result<std::string> modify_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(oid, text(b, "oid"));
    // A modify's size travels as a raw f64, not as a fixed-point integer, so
    // the fixed-point exactness rule does not apply to it.
    CS_TRY(sz, safe(find_key(b, "sz")));
    return "Modify " + std::string(*c) + " oid=" + std::string(*oid) + " sz=" + format_fixed8(*sz);
}

Result<std::string> cancel_all_line(const Json& b) {
    const Json* c = find_key(b, "c");
    if (c == nullptr || !c->is_array()) return fail(field_error("c"));
    if (c->empty()) return std::string("CancelAll *");
    std::string line = "CancelAll ";
    bool first = true;
    for (const Json& sym : *c) {
        // Each symbol gets the same character check as a text field.
        if (!sym.is_string() || has_forbidden_char(sym.get_ref<const std::string&>())) return fail(field_error("c"));
        if (!first) line += ",";
        line += sym.get_ref<const std::string&>();
        first = false;
    }
    return line;
}

// Stop and take-profit share one layout.
Result<std::string> tpsl_line(const char* label, const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(above, boolean(b, "d"));
    CS_TRY(tr, exact(find_key(b, "tr")));
    CS_TRY(sz, exact(find_key(b, "sz")));
    CS_TRY(lim, exact_or_dash(find_key(b, "lim")));
    return std::string(label) + " " + std::string(*c) + " " + above_below(*above) + " thresh=" + *tr + " sz=" + *sz +
           " limit=" + *lim;
}

Result<std::string> range_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(buy, boolean(b, "d"));
    CS_TRY(pmin, exact(find_key(b, "pmin")));
    CS_TRY(pmax, exact(find_key(b, "pmax")));
    CS_TRY(sz, exact(find_key(b, "sz")));
    CS_TRY(lmin, exact_or_dash(find_key(b, "lmin")));
    CS_TRY(lmax, exact_or_dash(find_key(b, "lmax")));
    return "Range " + std::string(*c) + " " + buy_sell(*buy) + " min=" + *pmin + " max=" + *pmax + " sz=" + *sz +
           " lmin=" + *lmin + " lmax=" + *lmax;
}

Result<std::string> trailing_line(const Json& b) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(buy, boolean(b, "b"));
    CS_TRY(sz, exact(find_key(b, "sz")));
    CS_TRY(trb, integer(b, "trb"));
    CS_TRY(stb, integer(b, "stb"));
    CS_TRY(lim, exact_or_dash(find_key(b, "lim")));
    return "Trailing " + std::string(*c) + " " + buy_sell(*buy) + " sz=" + *sz + " trail=" + std::to_string(*trb) +
           "bps step=" + std::to_string(*stb) + "bps limit=" + *lim;
}

Result<std::string> trigger_line(const Json& b, uint32_t depth) {
    CS_TRY(c, text(b, "c"));
    CS_TRY(above, boolean(b, "d"));
    CS_TRY(tr, exact(find_key(b, "tr")));
    const Json* actions = find_key(b, "actions");
    if (actions == nullptr || !actions->is_array()) return fail(field_error("actions"));
    // Every child must render, so nothing the user cannot see is signed; only
    // the count is shown.
    for (const Json& child : *actions) {
        CS_TRY(line, action_line(child, depth + 1));
    }
    return "Trigger " + std::string(*c) + " " + above_below(*above) + " thresh=" + *tr + " nested=" + std::to_string(actions->size());
}

Result<std::string> transfer_line(const Json& b) {
    CS_TRY(k, text(b, "k"));
    const char* kind = nullptr;
    if (*k == "internal") kind = "Internal";
    else if (*k == "external") kind = "External";
    else return fail(field_error("transfer kind"));
    CS_TRY(from, text(b, "from"));
    CS_TRY(to, text(b, "to"));
    CS_TRY(amt, number(find_key(b, "marginAmount")));
    return "Transfer " + std::string(kind) + " from=" + std::string(*from) + " to=" + std::string(*to) +
           " amt=" + format_fixed8(*amt);
}

Result<std::string> faucet_line(const Json& b) {
    CS_TRY(u, text(b, "u"));
    CS_TRY(amount, optional(find_key(b, "amount"), false));
    return "Faucet user=" + std::string(*u) + " amount=" + dash_or_fixed8(*amount);
}

Result<std::string> agent_wallet_line(const Json& b) {
    CS_TRY(a, text(b, "a"));
    CS_TRY(del, boolean(b, "d"));
    return "AgentWallet agent=" + std::string(*a) + " delete=" + true_false(*del);
}

Result<std::string> whitelist_faucet_line(const Json& b) {
    CS_TRY(target, text(b, "target"));
    CS_TRY(wl, boolean(b, "whitelist"));
    return "WhitelistFaucet target=" + std::string(*target) + " whitelist=" + true_false(*wl);
}

Result<std::string> create_sub_account_line(const Json& b) {
    CS_TRY(name, text(b, "name"));
    CS_TRY(amt, optional(find_key(b, "marginAmount"), false));
    return "CreateSubAccount name=" + std::string(*name) + " amt=" + dash_or_fixed8(*amt);
}

Result<std::string> remove_sub_account_line(const Json& b) {
    CS_TRY(to_remove, text(b, "toRemove"));
    return "RemoveSubAccount " + std::string(*to_remove);
}

Result<std::string> rename_sub_account_line(const Json& b) {
    CS_TRY(account, text(b, "account"));
    CS_TRY(name, text(b, "name"));
    return "RenameSubAccount account=" + std::string(*account) + " name=" + std::string(*name);
}

Result<std::string> leverage_line(const Json& b) {
    const Json* m = find_key(b, "m");
    if (m == nullptr || !m->is_object()) return fail(field_error("m"));
    // The JSON object already iterates its keys in ascending byte order.
    std::string line = "UpdateLeverage ";
    bool first = true;
    for (auto it = m->begin(); it != m->end(); ++it) {
        // Market symbols are printed too; refuse them like text fields.
        if (has_forbidden_char(it.key())) return fail(field_error("m"));
        CS_TRY(lev, number(&it.value()));
        if (!first) line += ",";
        line += it.key() + ":" + format_fixed8(*lev);
        first = false;
    }
    return line;
}

Result<std::string> approve_fee_line(const Json& b) {
    CS_TRY(to, text(b, "to"));
    CS_TRY(fee, integer(b, "fee"));
    return "ApproveCommissionFee to=" + std::string(*to) + " max_fee=" + std::to_string(*fee);
}

Result<std::string> revoke_fee_line(const Json& b) {
    CS_TRY(to, text(b, "to"));
    return "RevokeCommissionFee to=" + std::string(*to);
}

#undef CS_TRY

const char* network_name(uint8_t domain) {
    switch (domain) {
    case 1: return "mainnet";
    case 2: return "testnet";
    case 3: return "devnet";
    default: return nullptr;
    }
}

}  // namespace

Result<std::string> action_line(const Json& action, uint32_t depth) {
    if (depth > kMaxDepth) return fail(field_error("action nesting"));
    if (!action.is_object() || action.size() != 1) return fail(field_error("action tag"));
    const std::string& tag = action.begin().key();
    const Json& body = action.begin().value();
    if (!body.is_object()) return fail(field_error("action body"));

    if (tag == "l") return limit_line(body);
    if (tag == "m") return market_line(body);
    if (tag == "cx") return cancel_line(body);
    if (tag == "mod") return modify_line(body);
    if (tag == "cxa") return cancel_all_line(body);
    if (tag == "st") return tpsl_line("Stop", body);
    if (tag == "tp") return tpsl_line("TakeProfit", body);
    if (tag == "rng") return range_line(body);
    if (tag == "trl") return trailing_line(body);
    if (tag == "trig") return trigger_line(body, depth);
    if (tag == "transfer") return transfer_line(body);
    if (tag == "faucet") return faucet_line(body);
    if (tag == "agentWalletCreation") return agent_wallet_line(body);
    if (tag == "whitelistFaucet") return whitelist_faucet_line(body);
    if (tag == "createSubAccount") return create_sub_account_line(body);
    if (tag == "removeSubAccount") return remove_sub_account_line(body);
    if (tag == "renameSubAccount" || tag == "rsa") return rename_sub_account_line(body);
    if (tag == "updateUserSettings") return leverage_line(body);
    if (tag == "abc") return approve_fee_line(body);
    if (tag == "rbc") return revoke_fee_line(body);
    return fail(Error::signing_failed("unsupported offchain clear-sign action: " + tag));
}

Result<std::string> render_text(const uint8_t* message, size_t message_len, const std::vector<Json>& actions,
                                std::string_view account, uint64_t nonce) {
    const char* network = message_len == 0 ? nullptr : network_name(message[message_len - 1]);
    if (network == nullptr) return fail(field_error("network domain"));

    const Hash digest = sha256(message, message_len);

    std::string out;
    out.reserve(256 + 96 * actions.size());
    out += "Vorn Exchange Transaction\n";
    out += "Network: ";
    out += network;
    out += "\nAccount: ";
    out += account;
    out += "\nNonce: ";
    out += std::to_string(nonce);
    out += "\nActions: ";
    out += std::to_string(actions.size());
    out += "\nSignable-Hash: ";
    out += hex_encode(digest.bytes.data(), digest.bytes.size());
    out += "\n";
    for (size_t i = 0; i < actions.size(); ++i) {
        auto line = action_line(actions[i], 0);
        if (!line) return fail(std::move(line).error());
        out += "[";
        out += std::to_string(i);
        out += "] ";
        out += *line;
        out += "\n";
    }
    return out;
}

}  // namespace vorn::clear_sign
