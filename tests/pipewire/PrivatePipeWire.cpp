#include "PrivatePipeWire.h"
#include "support/ProgramOnPath.h"

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
    /** Waits until the condition holds or the deadline passes; whether it held. */
    template <typename Condition>
    bool waitFor (Condition&& condition, double timeoutSeconds)
    {
        const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutSeconds * 1000.0;
        while (! condition())
        {
            if (juce::Time::getMillisecondCounterHiRes() > deadline)
                return false;
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }
        return true;
    }

    /** Whether the process has ended (and is reaped); also true when it is no child any more. */
    bool hasEnded (pid_t pid)
    {
        int status = 0;
        const auto result = waitpid (pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    }

    /** Reaps the processes that ended after their parent: the session bus and WirePlumber, whose
        parent dbus-run-session may end first. This process adopts them as a subreaper.
    */
    void reapOrphans()
    {
        int status = 0;
        while (waitpid (-1, &status, WNOHANG) > 0)
        {
        }
    }

    const char* const daemonConfig = R"(# The test's own PipeWire: no sound card, a dummy driver at 48 kHz.
context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 48000
    default.clock.allowed-rates = [ 48000 ]
    default.clock.quantum = 256
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access args = { } }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    {   factory = spa-node-factory
        args = {
            factory.name    = support.node.driver
            node.name       = Dummy-Driver
            node.group      = pipewire.dummy
            priority.driver = 20000
        }
    }
]
)";
} // namespace

//==============================================================================
PrivatePipeWire::Background::~Background()
{
    stop (SIGTERM, 5.0);
}

void PrivatePipeWire::Background::stop (int signal, double timeoutSeconds)
{
    if (pid <= 0)
        return;

    kill (-pid, signal);
    if (! waitFor ([this] { return hasEnded (pid); }, timeoutSeconds))
    {
        kill (-pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }
    pid = -1;
    reapOrphans();
}

//==============================================================================
PrivatePipeWire::PrivatePipeWire (const juce::File& config, const juce::File& lv2)
    : configHome (config)
    , lv2Path (lv2)
{
    prctl (PR_SET_CHILD_SUBREAPER, 1);

    // Directly under /tmp rather than in the test's scratch folder: the daemon's socket lives in the
    // runtime folder, and a socket's path may not be longer than 107 bytes.
    char pattern[] = "/tmp/kro-pipewire-XXXXXX";
    if (mkdtemp (pattern) != nullptr)
        runtime = juce::File (pattern);
}

PrivatePipeWire::~PrivatePipeWire()
{
    // In reverse order of starting: the session manager, then the daemon.
    if (sessionManager != nullptr)
        sessionManager->stop (SIGTERM, 5.0);
    if (daemon != nullptr)
        daemon->stop (SIGTERM, 5.0);
    reapOrphans();

    if (runtime != juce::File())
        runtime.deleteRecursively();
}

juce::StringArray PrivatePipeWire::missingPrograms()
{
    const std::pair<const char*, const char*> programs[] = {
        { "pipewire", "pipewire-bin" }, { "pw-cat", "pipewire-bin" },     { "pw-record", "pipewire-bin" },
        { "pw-link", "pipewire-bin" },  { "wireplumber", "wireplumber" }, { "dbus-run-session", "dbus-daemon" },
    };
    juce::StringArray missing;
    for (const auto& [name, package] : programs)
        if (! findProgramOnPath (name).existsAsFile())
            missing.add (juce::String (name) + " (Debian package " + package + ")");
    return missing;
}

std::vector<std::string> PrivatePipeWire::environment() const
{
    const juce::StringArray replaced{ "XDG_RUNTIME_DIR",          "XDG_CONFIG_HOME",      "LV2_PATH",
                                      "DBUS_SESSION_BUS_ADDRESS", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_REMOTE",
                                      "PIPEWIRE_CONFIG_DIR" };
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (! replaced.contains (juce::String (*variable).upToFirstOccurrenceOf ("=", false, false)))
            variables.emplace_back (*variable);

    variables.push_back ("XDG_RUNTIME_DIR=" + runtime.getFullPathName().toStdString());
    variables.push_back ("XDG_CONFIG_HOME=" + configHome.getFullPathName().toStdString());
    variables.push_back ("LV2_PATH=" + lv2Path.getFullPathName().toStdString());
    return variables;
}

pid_t PrivatePipeWire::spawn (const std::vector<std::string>& command, const juce::File& log) const
{
    const auto program = findProgramOnPath (command.front()).getFullPathName().toStdString();
    auto variables = environment();
    std::vector<char*> argv, envp;
    for (const auto& argument : command)
        argv.push_back (const_cast<char*> (argument.c_str()));
    argv.push_back (nullptr);
    for (auto& variable : variables)
        envp.push_back (variable.data());
    envp.push_back (nullptr);
    const auto logPath = log.getFullPathName().toStdString();

    const pid_t pid = fork();
    if (pid == 0)
    {
        setpgid (0, 0);
        const int output = open (logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int input = open ("/dev/null", O_RDONLY);
        dup2 (input, STDIN_FILENO);
        dup2 (output, STDOUT_FILENO);
        dup2 (output, STDERR_FILENO);
        execve (program.c_str(), argv.data(), envp.data());
        _exit (127);
    }
    if (pid > 0)
        setpgid (pid, pid); // also from here, so that it holds before the first kill
    return pid;
}

std::unique_ptr<PrivatePipeWire::Background>
PrivatePipeWire::startInBackground (const std::vector<std::string>& command, const juce::File& log)
{
    auto background = std::make_unique<Background>();
    background->pid = spawn (command, log);
    return background;
}

int PrivatePipeWire::run (const std::vector<std::string>& command, double timeoutSeconds, std::string* output)
{
    const auto log = runtime.getNonexistentChildFile ("run", ".log");
    const pid_t pid = spawn (command, log);
    if (pid <= 0)
        return -1;

    int status = 0;
    const bool ended = waitFor ([&] { return waitpid (pid, &status, WNOHANG) == pid; }, timeoutSeconds);
    if (! ended)
    {
        kill (-pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }
    if (output != nullptr)
        *output = log.loadFileAsString().toStdString();
    log.deleteFile();
    return ended && WIFEXITED (status) ? WEXITSTATUS (status) : -1;
}

juce::String PrivatePipeWire::start (const juce::String& sinkPort)
{
    if (runtime == juce::File())
        return "no runtime folder could be made";

    const auto pipewireFolder = configHome.getChildFile ("pipewire");
    if (! pipewireFolder.createDirectory() ||
        ! pipewireFolder.getChildFile ("pipewire.conf").replaceWithText (daemonConfig))
        return "the daemon's configuration could not be written";

    daemon = startInBackground ({ "pipewire" }, runtime.getChildFile ("pipewire.log"));
    if (! waitFor ([this] { return runtime.getChildFile ("pipewire-0").exists(); }, 10.0))
        return "the PipeWire daemon did not open its socket within 10 s";

    sessionManager =
        startInBackground ({ "dbus-run-session", "--", "wireplumber" }, runtime.getChildFile ("wireplumber.log"));

    const auto hasSinkPort = [this, &sinkPort]
    {
        std::string ports;
        return run ({ "pw-link", "-i" }, 5.0, &ports) == 0 && juce::String (ports).contains (sinkPort);
    };
    if (! waitFor (hasSinkPort, 20.0))
        return "the port " + sinkPort + " did not appear within 20 s";
    return {};
}

juce::String PrivatePipeWire::logs() const
{
    return "pipewire:\n" + runtime.getChildFile ("pipewire.log").loadFileAsString() + "\nwireplumber:\n" +
           runtime.getChildFile ("wireplumber.log").loadFileAsString();
}
