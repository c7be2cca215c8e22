#pragma once
// The private test server's host, user and password as the module's connections take them.
#include "classlib/Afx.h"
#include "support/AdoServer.h"

namespace serverlogin {

inline CString server() {
    return CString(kelmo::test::pgServer()->host.c_str());
}
inline CString user() {
    return CString(kelmo::test::pgServer()->user.c_str());
}
inline CString password() {
    return CString(kelmo::test::pgServer()->password.c_str());
}

} // namespace serverlogin
