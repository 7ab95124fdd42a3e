// The Python class Signer: wraps one core Signer behind a borrow flag.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "sign/sign.hpp"

namespace vorn::py {

// Creates the heap type (once). Returns a new reference, or nullptr with the
// internal-fault exception set.
PyObject* create_signer_type();

// Instance layout, shared with the methods defined in other files.
struct SignerObject {
    PyObject_HEAD
    vorn::Signer* signer;
    // 0: free; > 0: that many shared borrows; -1: borrowed exclusively.
    int borrow;
};

// Borrow guards: a conflicting borrow raises RuntimeError "Already borrowed"
// (exclusive wanted while any borrow is held) or "Already mutably borrowed"
// (shared wanted while an exclusive one runs). Check ok() after
// construction; the borrow is released on destruction.
class SharedBorrow {
public:
    explicit SharedBorrow(PyObject* self);
    ~SharedBorrow();
    SharedBorrow(const SharedBorrow&) = delete;
    SharedBorrow& operator=(const SharedBorrow&) = delete;
    bool ok() const { return obj_ != nullptr; }
    const vorn::Signer& signer() const { return *obj_->signer; }

private:
    SignerObject* obj_;
};

class ExclusiveBorrow {
public:
    explicit ExclusiveBorrow(PyObject* self);
    ~ExclusiveBorrow();
    ExclusiveBorrow(const ExclusiveBorrow&) = delete;
    ExclusiveBorrow& operator=(const ExclusiveBorrow&) = delete;
    bool ok() const { return obj_ != nullptr; }
    vorn::Signer& signer() const { return *obj_->signer; }

private:
    SignerObject* obj_;
};

}  // namespace vorn::py
