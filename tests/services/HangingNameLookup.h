#pragma once

/** A host name whose lookup hangs, as a lookup does when the name server does not answer: this
    test binary replaces the C library's getaddrinfo, and a lookup of this one name waits `hangMs`
    and then fails; every other name is looked up as usual. (A ThreadSanitizer build has its own
    getaddrinfo, so there the replacement is left out and isAvailable() is false.)
*/
namespace hanging_lookup
{
    constexpr const char* host = "lookup-hangs.invalid";
    constexpr int hangMs = 3000;

    bool isAvailable();

    /** How many lookups of the name have started so far. */
    int lookupsStarted();
} // namespace hanging_lookup
