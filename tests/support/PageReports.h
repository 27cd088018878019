// What test pages report through a bound function, in arrival order. A page that calls the
// launcher's bridge and then reports shows, once its report is here, that the engine has handed
// every call the page made before it to its native function (calls of one page arrive in order).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/wke.h"

inline std::vector<std::wstring>& PageReports() {
    static std::vector<std::wstring> reports;
    return reports;
}

// The native function to bind, e.g. jsBindFunction("Report", ReportFromPage, 1): keeps argument 0.
inline jsValue WKE_CALL ReportFromPage(jsExecState es) {
    if (jsArgCount(es) > 0) PageReports().push_back(jsToTempStringW(es, jsArg(es, 0)));
    return jsUndefined();
}

inline bool PageReported(const wchar_t* what) {
    return std::find(PageReports().begin(), PageReports().end(), what) != PageReports().end();
}
