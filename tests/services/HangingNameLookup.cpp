#include "HangingNameLookup.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <netdb.h>
#include <thread>

namespace
{
    std::atomic<int> started{ 0 };
} // namespace

#if KRO_TSAN_BUILD

bool hanging_lookup::isAvailable()
{
    return false;
}

#else

bool hanging_lookup::isAvailable()
{
    return true;
}

// Found before the C library's by every library of the process (libcurl's resolver thread included).
extern "C" int getaddrinfo (const char* node, const char* service, const addrinfo* hints, addrinfo** result)
{
    if (node != nullptr && std::strcmp (node, hanging_lookup::host) == 0)
    {
        started.fetch_add (1);
        std::this_thread::sleep_for (std::chrono::milliseconds (hanging_lookup::hangMs));
        return EAI_AGAIN;
    }

    using Lookup = int (*) (const char*, const char*, const addrinfo*, addrinfo**);
    static const auto real = reinterpret_cast<Lookup> (dlsym (RTLD_NEXT, "getaddrinfo"));
    return real (node, service, hints, result);
}

#endif

int hanging_lookup::lookupsStarted()
{
    return started.load();
}
