#pragma once
// This module's name, description, version and build date, and their registration in the server
// product's database "ostrel".
#include "classlib/Afx.h"

class CModuleDetails {
public:
    CModuleDetails();
    ~CModuleDetails();

    void setModDetails(CString server, CString user, CString password, int timeout);
    void setModuleRunning(CString server, CString user, CString password, int timeout);

    CString getName() const { return name; }
    CString getDescription() const { return description; }
    COleDateTime getDate() const { return date; }
    CString getVersion() const { return version; }

    // A build date in the compiler's form ("Oct  3 2014"), read the same whatever the user's locale;
    // an invalid date-time when the text is not in that form.
    static COleDateTime parseBuildDate(const wchar_t* text);

private:
    CString name;
    CString description;
    COleDateTime date;
    CString version;
};
