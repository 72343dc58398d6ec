// The LV2 window inside a parent window of the test's own, on an X server of the test's own: with
// a host that drives the message loop through idle calls, and with one that does not, where the
// plug-in's own thread serves the window. Edits reach the host as port writes inside touch
// brackets; the host's port events change nothing while the instance runs.

#include "Lv2TestHost.h"
#include "lv2/Lv2Descriptors.h"
#include "lv2/Lv2PluginInstance.h"
#include "lv2/Lv2PortLayout.h"

#include "state/TrellaParams.h"
#include "support/DesktopAtoms.h"
#include "support/PrivateXServer.h"

#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>

namespace
{
    /** What the host heard from the window, in order: writes (port, value) and touches. */
    struct HostLog
    {
        struct Event
        {
            char what; // 'w' write, 'b' touch begin, 'e' touch end
            uint32_t port;
            float value;
        };

        std::mutex lock; // the plug-in's own thread may call in
        std::vector<Event> events;
        int resizeWidth = 0, resizeHeight = 0;

        void add (Event event)
        {
            const std::scoped_lock guard (lock);
            events.push_back (event);
        }

        std::vector<Event> copy()
        {
            const std::scoped_lock guard (lock);
            return events;
        }
    };

    void write (LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        if (protocol == 0 && size == sizeof (float))
            static_cast<HostLog*> (controller)->add ({ 'w', port, *static_cast<const float*> (buffer) });
    }

    Display* testDisplay()
    {
        static Display* display = []() -> Display*
        {
            if (! usePrivateXServer())
                return nullptr;
            makeWindowManagerAtoms();
            return XOpenDisplay (nullptr);
        }();
        return display;
    }

    /** How many pixels of the window are not black. */
    int paintedPixels (Display* display, Window window)
    {
        XWindowAttributes attributes{};
        if (! XGetWindowAttributes (display, window, &attributes) || attributes.map_state != IsViewable)
            return 0;
        auto* image = XGetImage (display, window, 0, 0, (unsigned) attributes.width, (unsigned) attributes.height,
                                 AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0;
        int painted = 0;
        for (int y = 0; y < attributes.height; y += 4)
            for (int x = 0; x < attributes.width; x += 4)
                painted += (XGetPixel (image, x, y) & 0xffffff) != 0;
        XDestroyImage (image);
        return painted * 16;
    }

    class Lv2Window : public ::testing::TestWithParam<bool> // whether the host calls idle
    {
    };

    TEST_P (Lv2Window, OpensInTheHostsWindowAndTellsTheHostEveryEdit)
    {
        const bool hostCallsIdle = GetParam();
        auto* display = testDisplay();
        if (display == nullptr)
            GTEST_SKIP() << "SKIPPED: no X display (run under xvfb-run, or install Xvfb)";

        Lv2TestHost host;
        ASSERT_TRUE (host.isLoaded());
        host.activate();

        const auto parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 1000, 700, 0, 0, 0);
        XMapWindow (display, parent);
        XSync (display, False);

        HostLog log;
        LV2UI_Resize resize{ &log, [] (LV2UI_Feature_Handle h, int width, int height)
                             {
                                 auto& l = *static_cast<HostLog*> (h);
                                 const std::scoped_lock guard (l.lock);
                                 l.resizeWidth = width;
                                 l.resizeHeight = height;
                                 return 0;
                             } };
        LV2UI_Touch touch{ &log, [] (LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                              static_cast<HostLog*> (h)->add ({ grabbed ? 'b' : 'e', port, 0.0f });
                          } };
        const LV2_Feature instanceAccess{ LV2_INSTANCE_ACCESS_URI, &host.instance() };
        const LV2_Feature parentFeature{ LV2_UI__parent, (void*) (uintptr_t) parent };
        const LV2_Feature resizeFeature{ LV2_UI__resize, &resize };
        const LV2_Feature touchFeature{ LV2_UI__touch, &touch };
        const LV2_Feature idleFeature{ LV2_UI__idleInterface, nullptr };
        std::vector<const LV2_Feature*> features{ &instanceAccess, &parentFeature, &resizeFeature, &touchFeature };
        if (hostCallsIdle)
            features.push_back (&idleFeature);
        features.push_back (nullptr);

        const auto* descriptor = kroLv2UiDescriptor();
        const auto* idle =
            static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));
        ASSERT_NE (idle, nullptr);
        LV2UI_Widget widget = nullptr;
        auto* ui = descriptor->instantiate (descriptor, KRO_LV2_URI, "", write, &log, &widget, features.data());
        ASSERT_NE (ui, nullptr);
        ASSERT_NE (widget, nullptr);

        // Waits for a condition; the host that calls idle does so every 10 ms meanwhile.
        const auto waitFor = [&] (auto condition, int milliseconds = 5000)
        {
            for (int elapsed = 0; elapsed < milliseconds && ! condition(); elapsed += 10)
            {
                if (hostCallsIdle)
                    idle->idle (ui);
                juce::Thread::sleep (10);
            }
            return condition();
        };

        // A child of the host's window, at the editor's size, painted.
        const auto window = (Window) (uintptr_t) widget;
        Window root = 0, parentOfWidget = 0, *children = nullptr;
        unsigned int count = 0;
        XQueryTree (display, window, &root, &parentOfWidget, &children, &count);
        if (children != nullptr)
            XFree (children);
        EXPECT_EQ (parentOfWidget, parent);
        EXPECT_TRUE (waitFor ([&] { return paintedPixels (display, window) > 800 * 580 / 2; }));
        {
            const std::scoped_lock guard (log.lock);
            EXPECT_EQ (log.resizeWidth, 800);
            EXPECT_EQ (log.resizeHeight, 580);
        }

        if (const auto* folder = std::getenv ("KRO_LV2_WINDOW_SCREENSHOTS"))
        {
            XWindowAttributes attributes{};
            XGetWindowAttributes (display, window, &attributes);
            auto* image = XGetImage (display, window, 0, 0, (unsigned) attributes.width, (unsigned) attributes.height,
                                     AllPlanes, ZPixmap);
            juce::Image picture (juce::Image::RGB, attributes.width, attributes.height, true);
            for (int y = 0; y < attributes.height; ++y)
                for (int x = 0; x < attributes.width; ++x)
                    picture.setPixelAt (x, y, juce::Colour ((juce::uint32) (XGetPixel (image, x, y) | 0xff000000)));
            XDestroyImage (image);
            juce::FileOutputStream stream (
                juce::File (folder).getChildFile (hostCallsIdle ? "lv2-window-idle.png" : "lv2-window-own-thread.png"));
            stream.setPosition (0);
            stream.truncate();
            juce::PNGImageFormat().writeImageToStream (picture, stream);
        }

        // An edit in the window, as its controls make one: begin, value, end.
        const int gain = findTrellaParamIndex ("band2_gain");
        const auto gainPort = Lv2PortLayout::portOf (gain);
        juce::MessageManager::getInstance()->callFunctionOnMessageThread (
            [] (void* p) -> void*
            {
                auto* engine = static_cast<Lv2PluginInstance*> (p)->getProcessor().getEngine();
                engine->beginChangeGesture (7);
                engine->setBandGain (1, 6.0f);
                engine->endChangeGesture (7);
                return nullptr;
            },
            &host.instance());

        // The edit ends only once the host has taken the written value onto its port and run a
        // block with it, so every value the host hears lies inside the bracket.
        ASSERT_TRUE (waitFor ([&] { return log.copy().size() >= 2; }));
        waitFor ([] { return false; }, 100);
        EXPECT_EQ (log.copy().size(), 2u);

        // While the edit is open, what arrives on the port is the host's late echo of the window's
        // writes: it does not pull the value back from under the user's hand.
        auto& processor = host.instance().getProcessor();
        juce::AudioBuffer<float> buffer (2, 64);
        buffer.clear();
        host.setPort ("band2_gain", 3.0f);
        host.process (buffer, { 64 });
        EXPECT_EQ (processor.getKroParameter (gain)->getValue(), 30.0f / 48.0f);

        host.setPort ("band2_gain", log.copy()[1].value);
        host.process (buffer, { 64 });
        EXPECT_TRUE (waitFor ([&] { return log.copy().size() >= 3; }));

        const auto events = log.copy();
        ASSERT_EQ (events.size(), 3u);
        EXPECT_EQ (events[0].what, 'b');
        EXPECT_EQ (events[0].port, gainPort);
        EXPECT_EQ (events[1].what, 'w');
        EXPECT_EQ (events[1].port, gainPort);
        EXPECT_EQ (events[1].value, 6.0f);
        EXPECT_EQ (events[2].what, 'e');
        EXPECT_EQ (events[2].port, gainPort);

        // Port events: nothing while the host runs the instance (its ports are taken in run),
        // the processor follows while it does not; the window sends none of them back.
        const float threeDecibels = 3.0f;
        descriptor->port_event (ui, Lv2PortLayout::portOf (findTrellaParamIndex ("band3_gain")), sizeof (float), 0,
                                &threeDecibels);
        EXPECT_EQ (processor.getKroParameter (findTrellaParamIndex ("band3_gain"))->getValue(), 0.5f);
        host.deactivate();
        descriptor->port_event (ui, Lv2PortLayout::portOf (findTrellaParamIndex ("band3_gain")), sizeof (float), 0,
                                &threeDecibels);
        EXPECT_EQ (processor.getKroParameter (findTrellaParamIndex ("band3_gain"))->getValue(), 27.0f / 48.0f);
        waitFor ([] { return false; }, 300); // a moment for anything that would be sent back
        EXPECT_EQ (log.copy().size(), 3u);

        descriptor->cleanup (ui);
        XDestroyWindow (display, parent);
        XSync (display, False);
    }

    INSTANTIATE_TEST_SUITE_P (Hosts, Lv2Window, ::testing::Values (true, false),
                              [] (const auto& test) { return test.param ? "HostCallsIdle" : "OwnMessageThread"; });
} // namespace
