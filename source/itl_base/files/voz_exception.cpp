// voz_exception.cpp - CVozException and its copy onto GTRSTATUS.
//
// The exception has the status record's exact layout (checked below), so
// copying is a copy of the whole record.
#include "files/voz_exception.hpp"

#include <cstring>

static_assert(sizeof(CVozException) == sizeof(GTRSTATUS),
              "CVozException mirrors GTRSTATUS");
static_assert(offsetof(CVozException, errfname1) ==
                  offsetof(GTRSTATUS, errfname1),
              "CVozException mirrors GTRSTATUS");
static_assert(offsetof(CVozException, detail) == offsetof(GTRSTATUS, detail),
              "CVozException mirrors GTRSTATUS");

CVozException::CVozException(int32_t rc, int32_t ec, const char* text1,
                             const char* text2, int32_t extra) {
    memset(static_cast<void*>(this), 0, sizeof *this);
    retcode = rc;
    errcode = ec;
    detail = extra;
    voz_StatusName(errfname1, text1);
    voz_StatusName(errfname2, text2);
}

CVozException::CVozException(const GTRSTATUS& st) {
    memcpy(static_cast<void*>(this), &st, sizeof st);
}

CVozException::CVozException(const CVozException& other) {
    memcpy(static_cast<void*>(this), &other, sizeof other);
}

CVozException& CVozException::operator=(const CVozException& other) {
    if (this != &other) memcpy(static_cast<void*>(this), &other, sizeof other);
    return *this;
}

void CVozException::CopyTo(GTRSTATUS* st) const {
    if (st != nullptr) memcpy(st, this, sizeof *st);
}

void voz_StatusFromException(GTRSTATUS* st, const CVozException& e) {
    e.CopyTo(st);
}
