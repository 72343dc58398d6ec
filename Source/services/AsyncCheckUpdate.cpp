#include "AsyncCheckUpdate.h"

#include "VersionRequest.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <dlfcn.h>
#include <thread>

namespace
{
    /** A thread of a check may outlive the window and the processor. Inside a host the plug-in's
        library could be unloaded under it, so once a check has started the library stays loaded
        until the process ends.
    */
    void keepThisLibraryLoaded()
    {
        static const bool pinned = []
        {
            Dl_info info{};
            if (dladdr (reinterpret_cast<const void*> (&keepThisLibraryLoaded), &info) == 0 ||
                info.dli_fname == nullptr)
                return false;
            return dlopen (info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
        }();
        juce::ignoreUnused (pinned);
    }
} // namespace

/** What the check's thread and the check share. */
struct AsyncCheckUpdate::Job
{
    explicit Job (const juce::String& baseAddress)
        : request (UpdateCheck::requestAddress (baseAddress))
    {
    }

    VersionRequest request;        // its cancellation is the check's abandonment
    juce::WaitableEvent abandoned; // ends the thread's wait before the delivery
    std::atomic<bool> pending{ true };
    std::atomic<bool> threadRunning{ false };

    // Written by the thread before it posts the delivery, read on the message thread after.
    int result = UpdateCheck::noAnswer;
    juce::String message;

    AsyncCheckUpdate* owner = nullptr; // message thread; cleared when the check is abandoned
};

AsyncCheckUpdate::AsyncCheckUpdate (const juce::String& baseAddress)
    : job (std::make_shared<Job> (baseAddress))
{
    job->owner = this;
}

AsyncCheckUpdate::~AsyncCheckUpdate()
{
    abandon();
}

void AsyncCheckUpdate::start()
{
    keepThisLibraryLoaded();
    job->threadRunning = true;

    std::thread (
        [job = job]
        {
            juce::Thread::setCurrentThreadName ("AsyncCheckUpdate");
            CheckUpdate (job->result, job->message, job->request);
            const auto answeredAtMs = juce::Time::getMillisecondCounterHiRes();

            // Never sooner than the delay after the answer; at once when abandoned.
            for (;;)
            {
                const auto leftMs = deliveryDelayMs - (juce::Time::getMillisecondCounterHiRes() - answeredAtMs);
                if (job->request.isCancelled() || leftMs <= 0.0)
                    break;
                job->abandoned.wait ((int) std::ceil (leftMs));
            }

            if (! job->request.isCancelled())
                juce::MessageManager::callAsync (
                    [weak = std::weak_ptr<Job> (job)]
                    {
                        if (const auto shared = weak.lock(); shared != nullptr && shared->owner != nullptr)
                            shared->owner->deliver();
                    });

            job->threadRunning = false;
        })
        .detach();
}

void AsyncCheckUpdate::abandon()
{
    job->owner = nullptr;
    onFinished = nullptr;
    job->pending = false;
    job->request.cancel();
    job->abandoned.signal();
}

void AsyncCheckUpdate::deliver()
{
    job->pending = false;
    if (const auto callback = onFinished; callback != nullptr)
        callback (job->result, job->message);
}

bool AsyncCheckUpdate::isPending() const noexcept
{
    return job->pending.load();
}

bool AsyncCheckUpdate::isThreadRunning() const noexcept
{
    return job->threadRunning.load();
}
