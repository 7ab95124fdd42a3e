// The Python class Signer's instance and the borrow guards of its methods,
// for the files that define them: signer_type.cpp (construction, flags, raw
// and record signing) and operations.cpp (the signable operations).
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <type_traits>

#include "fastcall.hpp"
#include "sign/sign.hpp"

namespace vorn::py {

struct SignerObject {
    PyObject_HEAD
    vorn::Signer* signer;
    // 0: free; > 0: that many shared borrows; -1: borrowed exclusively.
    int borrow;
};

// The borrow guards of the Signer's methods (fastcall.hpp): a conflicting
// borrow raises RuntimeError "Already borrowed" (exclusive wanted while any
// borrow is held) or "Already mutably borrowed" (shared wanted while an
// exclusive one runs). The borrow is released on destruction.
template <bool Exclusive>
class SignerBorrow {
public:
    explicit SignerBorrow(PyObject* self) : obj_(reinterpret_cast<SignerObject*>(self)) {
        if (Exclusive ? obj_->borrow != 0 : obj_->borrow < 0) {
            PyErr_SetString(PyExc_RuntimeError, Exclusive ? "Already borrowed" : "Already mutably borrowed");
            obj_ = nullptr;
            return;
        }
        obj_->borrow = Exclusive ? -1 : obj_->borrow + 1;
    }
    ~SignerBorrow() {
        if (obj_ != nullptr) obj_->borrow = Exclusive ? 0 : obj_->borrow - 1;
    }
    SignerBorrow(const SignerBorrow&) = delete;
    SignerBorrow& operator=(const SignerBorrow&) = delete;
    bool ok() const { return obj_ != nullptr; }
    std::conditional_t<Exclusive, Signer&, const Signer&> get() const { return *obj_->signer; }

private:
    SignerObject* obj_;
};

template <>
struct Borrow<Signer&> : SignerBorrow<true> {
    using SignerBorrow::SignerBorrow;
};

template <>
struct Borrow<const Signer&> : SignerBorrow<false> {
    using SignerBorrow::SignerBorrow;
};

}  // namespace vorn::py
