// The one call path of the module's METH_FASTCALL | METH_KEYWORDS functions
// and methods: bind the arguments (binder.hpp), borrow the instance (methods
// only), convert the arguments (arguments.hpp), run the body, convert its
// result; any C++ exception is mapped by call_guarded (errors.hpp).
//
// A body is a plain function whose parameter types are the converters of its
// parameters, in order:
//
//   constexpr const char* kAgentParams[] = {"agent_pubkey", "delete", "nonce"};
//   constexpr CallSignature kSignAgent{"Signer.sign_agent_wallet", kAgentParams, 3, 2};
//
//   PyObject* sign_agent_wallet(Signer& s, Key agent, Flag del, Nonce nonce) {
//       return signed_to_python(s.sign_agent_wallet(agent.value, del.value, nonce.value));
//   }
//
//   {"sign_agent_wallet", fastcall<kSignAgent, sign_agent_wallet>(), kFastCall, doc}
//
// A leading reference parameter `T&` or `const T&` makes the body a method of
// the class that wraps a T: the class defines Borrow<T&> (exclusive) and
// Borrow<const T&> (shared), guards constructed from `self` with ok() and
// get(). The borrow is taken after binding and held while the arguments
// convert and the body runs. Without one the body is a module function or a
// static method.
//
// Results: PyObject* is returned as it is (nullptr with the error set), void
// gives None, bool a bool and std::string a str.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include <string>

#include "arguments.hpp"
#include "binder.hpp"
#include "errors.hpp"
#include "results.hpp"

namespace vorn::py {

inline constexpr int kFastCall = METH_FASTCALL | METH_KEYWORDS;

// The borrow of a method's instance; specialised by the class (see above).
template <class Receiver>
struct Borrow;

namespace detail {

template <class... C, size_t... I>
bool convert_arguments(const CallSignature& sig, PyObject* const* a, std::tuple<C...>& args,
                       std::index_sequence<I...>) {
    auto first = [](auto& c) {
        if constexpr (requires { c.decode_first(); }) {
            return c.decode_first();
        } else {
            return true;
        }
    };
    const bool ok = (std::get<I>(args).read(a[I], sig.params[I]) && ...) && (first(std::get<I>(args)) && ...) &&
                    (decode_step(std::get<I>(args)) && ...);
    if (!ok) (settle_step(std::get<I>(args)), ...);
    return ok;
}

// Runs the body with the converted arguments and converts its result.
template <class R, class F>
PyObject* result_of(F&& run) {
    if constexpr (std::is_void_v<R>) {
        run();
        Py_RETURN_NONE;
    } else if constexpr (std::is_same_v<R, PyObject*>) {
        return run();
    } else if constexpr (std::is_same_v<R, bool>) {
        return PyBool_FromLong(run());
    } else {
        static_assert(std::is_same_v<R, std::string>, "a body returns PyObject*, void, bool or std::string");
        return text_to_python(run());
    }
}

// Module functions and static methods: no instance.
template <class Body>
struct BodyTraits;

template <class R, class... C>
struct BodyTraits<R (*)(C...)> {
    using Args = std::tuple<std::decay_t<C>...>;
    template <auto Body, class Convert>
    static PyObject* run(PyObject*, Args& args, Convert&& convert) {
        if (!convert()) return nullptr;
        return result_of<R>([&] { return std::apply([](auto&... c) { return Body(std::move(c)...); }, args); });
    }
};

// Methods: the leading reference names the instance and its borrow.
template <class R, class Self, class... C>
struct BodyTraits<R (*)(Self&, C...)> {
    using Args = std::tuple<std::decay_t<C>...>;
    template <auto Body, class Convert>
    static PyObject* run(PyObject* self, Args& args, Convert&& convert) {
        Borrow<Self&> borrow(self);
        if (!borrow.ok() || !convert()) return nullptr;
        return result_of<R>(
            [&] { return std::apply([&](auto&... c) { return Body(borrow.get(), std::move(c)...); }, args); });
    }
};

template <class Args, size_t... I>
constexpr Py_ssize_t count_required(std::index_sequence<I...>) {
    return (Py_ssize_t{0} + ... + (is_optional<std::tuple_element_t<I, Args>>() ? 0 : 1));
}

template <const CallSignature& Sig, auto Body>
PyObject* call(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    using Traits = BodyTraits<decltype(Body)>;
    using Args = typename Traits::Args;
    constexpr size_t n = std::tuple_size_v<Args>;
    static_assert(Sig.nparams == static_cast<Py_ssize_t>(n), "one converter per parameter");
    static_assert(Sig.nrequired == count_required<Args>(std::make_index_sequence<n>{}),
                  "the optional parameters are those with optional converters");
    return call_guarded([&]() -> PyObject* {
        PyObject* a[kMaxParams];
        if (!bind_args(Sig, args, nargs, kwnames, a)) return nullptr;
        Args converted;
        return Traits::template run<Body>(self, converted, [&] {
            return convert_arguments(Sig, a, converted, std::make_index_sequence<n>{});
        });
    });
}

}  // namespace detail

// The METH_FASTCALL | METH_KEYWORDS entry point of a body, typed for a
// PyMethodDef.
template <const CallSignature& Sig, auto Body>
PyCFunction fastcall() {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&detail::call<Sig, Body>));
}

}  // namespace vorn::py
