#pragma once

#include <juce_core/juce_core.h>

#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

/** A PipeWire daemon of the test's own: a throw-away runtime folder, a configuration folder that
    stands in for the user's (~/.config: the daemon's own pipewire.conf with a dummy driver instead
    of sound cards, and the drop-ins under test in pipewire/pipewire.conf.d/), and WirePlumber on a
    private session bus. Nothing touches a user's own session.

    Every program is started in a process group of its own and stopped by that id, in reverse
    order, with a deadline; the runtime folder is removed at the end.
*/
class PrivatePipeWire
{
public:
    /** `configHome` receives pipewire/pipewire.conf; the caller puts drop-ins beside it.
        `lv2Path` is where the daemon's filter-chain looks for LV2 bundles.
    */
    PrivatePipeWire (const juce::File& configHome, const juce::File& lv2Path);
    ~PrivatePipeWire();

    /** Starts the daemon and the session manager and waits until the sink's input port is there.
        Returns the problem, or an empty text.
    */
    juce::String start (const juce::String& sinkPort);

    /** What the daemon and the session manager printed, for a failure message. */
    juce::String logs() const;

    /** One program run to its end with the private environment; its exit status, or -1 when it
        ran past the deadline (it is then stopped).
    */
    int run (const std::vector<std::string>& command, double timeoutSeconds, std::string* output = nullptr);

    /** A program started in the background with the private environment. */
    class Background
    {
    public:
        ~Background();

        /** Sends the signal to its process group and waits for it to end (SIGKILL after the deadline). */
        void stop (int signal, double timeoutSeconds);

        pid_t getPid() const noexcept { return pid; }

    private:
        friend class PrivatePipeWire;
        pid_t pid = -1;
    };

    std::unique_ptr<Background> startInBackground (const std::vector<std::string>& command, const juce::File& log);

    /** The programs the test needs that are not installed, by name, with their Debian package. */
    static juce::StringArray missingPrograms();

private:
    pid_t spawn (const std::vector<std::string>& command, const juce::File& log) const;
    std::vector<std::string> environment() const;

    juce::File configHome, lv2Path, runtime;
    std::unique_ptr<Background> daemon, sessionManager;
};
