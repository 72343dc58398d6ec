#include "PrivateXServer.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace
{
    void startServer()
    {
        int pipeFds[2];
        if (pipe (pipeFds) != 0)
            return;

        const pid_t server = fork();
        if (server == 0)
        {
            dup2 (pipeFds[1], 9);
            // -terminate: the server ends with its last client, when this process exits.
            execlp ("Xvfb", "Xvfb", "-displayfd", "9", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-terminate",
                    (char*) nullptr);
            _exit (127);
        }
        close (pipeFds[1]);

        // Xvfb writes its display number once it accepts clients.
        std::string number;
        pollfd ready{ pipeFds[0], POLLIN, 0 };
        char c = 0;
        while (server > 0 && poll (&ready, 1, 10000) > 0 && read (pipeFds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close (pipeFds[0]);

        if (! number.empty())
            setenv ("DISPLAY", (":" + number).c_str(), 1);
    }
} // namespace

bool usePrivateXServer()
{
    static const bool started = []
    {
        startServer();
        return true;
    }();
    (void) started;

    const char* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != '\0';
}
