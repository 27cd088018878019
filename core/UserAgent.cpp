#include "core/UserAgent.h"

const char kLauncherUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/86.0.4240.111 Safari/537.36 OrvelClient/2.0";
