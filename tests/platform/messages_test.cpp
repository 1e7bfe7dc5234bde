// The message queue and how system events reach the window procedure.
#include <gtest/gtest.h>

// Only to inject input as the system would deliver it.
#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace {

using namespace platform;

struct Seen {
    void* user;
    Message message;
};

intptr_t record(void* user, unsigned message, uintptr_t wParam, intptr_t lParam) {
    static_cast<std::vector<Seen>*>(user)->push_back({user, {message, wParam, lParam}});
    return intptr_t(message) + 1000;
}

std::vector<Message> drain() {
    std::vector<Message> out;
    Message m;
    while (peekMessage(&m)) out.push_back(m);
    return out;
}

TEST(MessageQueue, PostedMessagesComeBackInOrder) {
    drain();
    postMessage({WM_KEYDOWN, 'A', 1});
    postQuitMessage(3);
    postMessage({WM_KEYUP, 'A', 2});
    const std::vector<Message> got = drain();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].message, WM_KEYDOWN);
    EXPECT_EQ(got[0].lParam, 1);
    EXPECT_EQ(got[1].message, WM_QUIT);
    EXPECT_EQ(got[1].wParam, 3u);
    EXPECT_EQ(got[2].message, WM_KEYUP);
    Message m;
    EXPECT_FALSE(peekMessage(&m));
}

TEST(MessageQueue, DefaultProcedureTurnsSystemCloseIntoWmClose) {
    drain();
    EXPECT_EQ(defWindowProc(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(defWindowProc(WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(drain().empty());
    // The low four bits of a system command belong to the system.
    EXPECT_EQ(defWindowProc(WM_SYSCOMMAND, SC_CLOSE | 0x2, 0), 0);
    const std::vector<Message> got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, WM_CLOSE);
}

TEST(MessageQueue, DispatchReachesTheClassProcedureWithItsUserPointer) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_EQ(dispatchMessage({WM_CLOSE, 0, 0}), 0);  // no class: nobody to call
    std::vector<Seen> seen;
    ASSERT_TRUE(registerWindowClass("Dispatch", record, &seen));
    EXPECT_EQ(dispatchMessage({WM_KEYDOWN, VK_ESCAPE, 7}), intptr_t(WM_KEYDOWN) + 1000);
    EXPECT_TRUE(unregisterWindowClass("Dispatch"));
    EXPECT_EQ(dispatchMessage({WM_CLOSE, 0, 0}), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].user, &seen);
    EXPECT_EQ(seen[0].message.wParam, uintptr_t(VK_ESCAPE));
    EXPECT_EQ(seen[0].message.lParam, 7);
}

class SystemEvents : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        ASSERT_TRUE(registerWindowClass("Events", record, &seen));
        drain();
    }
    void TearDown() override { EXPECT_TRUE(unregisterWindowClass("Events")); }

    static void key(Uint32 type, SDL_Keycode sym, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.sym = sym;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static void windowEvent(Uint8 event, int a = 0, int b = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = event;
        e.window.data1 = a;
        e.window.data2 = b;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    std::vector<Seen> seen;
};

TEST_F(SystemEvents, KeysArriveAsVirtualKeyCodes) {
    const struct {
        SDL_Keycode sym;
        uintptr_t vk;
    } keys[] = {{SDLK_ESCAPE, 27}, {SDLK_RETURN, 13}, {SDLK_SPACE, 32}, {SDLK_BACKSPACE, 8},
                {SDLK_TAB, 9},     {SDLK_a, 'A'},     {SDLK_z, 'Z'},   {SDLK_0, '0'},
                {SDLK_9, '9'},     {SDLK_LEFT, 37},   {SDLK_UP, 38},   {SDLK_RIGHT, 39},
                {SDLK_DOWN, 40},   {SDLK_F1, 0x70},   {SDLK_F12, 0x7B}, {SDLK_LSHIFT, 16},
                {SDLK_RCTRL, 17},  {SDLK_LALT, 18}};
    for (const auto& k : keys) key(SDL_KEYDOWN, k.sym);
    key(SDL_KEYDOWN, SDLK_AUDIOPLAY);  // nothing the player knows: dropped
    key(SDL_KEYDOWN, SDLK_a, true);
    key(SDL_KEYUP, SDLK_a);

    const std::vector<Message> got = drain();
    ASSERT_EQ(got.size(), std::size(keys) + 2);
    for (size_t i = 0; i < std::size(keys); ++i) {
        EXPECT_EQ(got[i].message, WM_KEYDOWN) << i;
        EXPECT_EQ(got[i].wParam, keys[i].vk) << i;
    }
    // Held keys repeat their WM_KEYDOWN, as on Windows.
    EXPECT_EQ(got[std::size(keys)].message, WM_KEYDOWN);
    EXPECT_EQ(got[std::size(keys)].wParam, uintptr_t('A'));
    EXPECT_EQ(got.back().message, WM_KEYUP);
    EXPECT_EQ(got.back().wParam, uintptr_t('A'));
}

TEST_F(SystemEvents, CloseRequestsAndResizesBecomeWindowMessages) {
    windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600);
    windowEvent(SDL_WINDOWEVENT_MOVED, 10, 10);  // nothing to say about moves
    windowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    postQuitMessage(0);  // already-queued messages go before system events

    const std::vector<Message> got = drain();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message, WM_QUIT);
    EXPECT_EQ(got[1].message, WM_SIZE);
    EXPECT_EQ(got[1].lParam, (intptr_t(600) << 16) | 800);
    EXPECT_EQ(got[2].message, WM_CLOSE);
    EXPECT_EQ(got[3].message, WM_CLOSE);
}

}  // namespace
