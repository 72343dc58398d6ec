#include "VersionRequest.h"

#include <curl/curl.h>

#include <memory>
#include <string>

namespace
{
    struct Body
    {
        std::string bytes;
        bool tooLong = false;
    };

    size_t collect (char* data, size_t size, size_t count, void* user)
    {
        auto& body = *static_cast<Body*> (user);
        const size_t bytes = size * count;
        if (body.bytes.size() + bytes > (size_t) VersionRequest::maximumAnswerBytes)
        {
            body.tooLong = true;
            return 0; // ends the transfer: this is no version
        }
        body.bytes.append (data, bytes);
        return bytes;
    }

    struct EasyHandle
    {
        void operator() (CURL* handle) const { curl_easy_cleanup (handle); }
    };

    struct MultiHandle
    {
        void operator() (CURLM* handle) const { curl_multi_cleanup (handle); }
    };
} // namespace

VersionRequest::VersionRequest (juce::URL requestAddress)
    : address (std::move (requestAddress))
{
}

juce::String VersionRequest::fetchAnswer()
{
    if (cancelled)
        return {};

    const std::unique_ptr<CURLM, MultiHandle> multi (curl_multi_init());
    const std::unique_ptr<CURL, EasyHandle> easy (curl_easy_init());
    if (multi == nullptr || easy == nullptr)
        return {};

    Body body;
    const auto url = address.toString (true);
    const auto* version = curl_version_info (CURLVERSION_NOW);
    const auto userAgent = std::string ("curl/") + (version != nullptr ? version->version : "");
    auto* e = easy.get();
    curl_easy_setopt (e, CURLOPT_URL, url.toRawUTF8());
    curl_easy_setopt (e, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt (e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt (e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt (e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt (e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt (e, CURLOPT_MAXREDIRS, (long) maximumRedirects);
    curl_easy_setopt (e, CURLOPT_CONNECTTIMEOUT_MS, (long) connectionTimeoutMs);
    curl_easy_setopt (e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt (e, CURLOPT_LOW_SPEED_TIME, (long) (connectionTimeoutMs / 1000));
    curl_easy_setopt (e, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt (e, CURLOPT_WRITEDATA, &body);
    curl_multi_add_handle (multi.get(), e);

    {
        const std::scoped_lock guard (lock);
        running = multi.get();
    }

    // Waits on the connection, and on cancel()'s wake-up, a second at a time.
    while (! cancelled)
    {
        int stillRunning = 0;
        if (curl_multi_perform (multi.get(), &stillRunning) != CURLM_OK || stillRunning == 0)
            break;
        curl_multi_poll (multi.get(), nullptr, 0, 1000, nullptr);
    }

    {
        const std::scoped_lock guard (lock);
        running = nullptr;
    }

    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int left = 0;
    while (const auto* message = curl_multi_info_read (multi.get(), &left))
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;

    long status = 0;
    curl_easy_getinfo (e, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle (multi.get(), e);

    if (cancelled || result != CURLE_OK || status < 200 || status >= 300 || body.tooLong)
        return {};

    return juce::String::createStringFromData (body.bytes.data(), (int) body.bytes.size());
}

void VersionRequest::cancel()
{
    cancelled = true;

    const std::scoped_lock guard (lock);
    if (running != nullptr)
        curl_multi_wakeup (static_cast<CURLM*> (running));
}
