// Identical controllers: which one is "#2", what is remembered of it, and
// which bindings its inputs press.
#include "input/controller_marks.h"

#include <SDL3/SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/menu_item.h"
#include "core/setting_id.h"
#include "input/binding_text.h"
#include "rurazu/rurazu_pages.h"
#include "sdl_test_support.h"

namespace {

std::vector<std::string> Texts(const std::vector<Input::RememberedMark>& memory) {
    std::vector<std::string> texts;
    for (const auto& m : memory) texts.push_back(Input::RememberedMarkText(m));
    return texts;
}

TEST(ControllerMarks, TwinsKeepTheirRememberedMarksElseTakeTheLowestFree) {
    const std::string a = "\\\\?\\HID#VID_1209&PID_0001#0&0&0", b = "\\\\?\\hid#vid_1209&pid_0001#0&1&1";
    const std::string c = "\\\\?\\HID#VID_1209&PID_0001#0&2&2";
    struct Row {
        const char* why;
        std::vector<Input::ControllerSeen> connected;
        std::vector<std::string> memory;
        std::vector<uint32_t> marks;
        std::vector<std::string> memoryAfter;
    };
    const Row rows[] = {
        {"alone: plain, nothing remembered", {{1, "W", a, 0}}, {}, {1}, {}},
        {"found at once: by path, not by SDL's order",
         {{1, "W", b, 0}, {2, "W", a, 0}},
         {},
         {2, 1},
         {"1 " + a + " W", "2 " + b + " W"}},
        {"remembered marks come back against the paths' order",
         {{1, "W", b, 0}, {2, "W", a, 0}},
         {"1 " + b + " W", "2 " + a + " W"},
         {1, 2},
         {"1 " + b + " W", "2 " + a + " W"}},
        {"a new path takes the lowest mark no connected twin holds, and its memory",
         {{1, "W", a, 2}, {2, "W", c, 0}},
         {"2 " + a + " W", "1 " + b + " W"},
         {2, 1},
         {"1 " + c + " W", "2 " + a + " W"}},
        {"a remembered mark a connected twin holds goes to the next free",
         {{1, "W", a, 1}, {2, "W", b, 0}},
         {"1 " + b + " W"},
         {1, 2},
         {"2 " + b + " W", "1 " + a + " W"}},
        {"a twin alone keeps its mark", {{3, "W", b, 0}}, {"2 " + b + " W"}, {2}, {"2 " + b + " W"}},
        {"other names and controllers without a path",
         {{1, "W", "", 0}, {2, "W", "", 0}, {3, "X", a, 0}},
         {"1 " + a + " W"},
         {1, 2, 1},
         {"1 " + a + " W"}},
    };
    for (const Row& row : rows) {
        std::vector<Input::ControllerSeen> connected = row.connected;
        std::vector<Input::RememberedMark> memory;
        for (const std::string& text : row.memory) {
            Input::RememberedMark m;
            ASSERT_TRUE(Input::ReadRememberedMark(text, m)) << text;
            memory.push_back(m);
        }
        const bool changed = Input::GiveMarks(connected, memory);
        std::vector<uint32_t> marks;
        for (const auto& seen : connected) marks.push_back(seen.mark);
        EXPECT_EQ(marks, row.marks) << row.why;
        EXPECT_EQ(Texts(memory), row.memoryAfter) << row.why;
        EXPECT_EQ(changed, row.memory != row.memoryAfter) << row.why;
    }

    Input::RememberedMark read;
    ASSERT_TRUE(Input::ReadRememberedMark("16 " + a + " Arduino Leonardo", read));
    EXPECT_EQ(Input::RememberedMarkText(read), "16 " + a + " Arduino Leonardo");
    for (const char* never : {"0 p W", "17 p W", "2 p", "2 p ", "2  W", "x p W", "02x p W"})
        EXPECT_FALSE(Input::ReadRememberedMark(never, read)) << never;
}

// Two boxes of one name: a capture on each makes its own text, a marked
// binding fires from its box alone, a plain one from both, except on an
// input a marked binding takes on the second.
TEST(ControllerMarks, MarkedBindingsNameOneTwinAndPlainOnesBoth) {
    const SDL_JoystickID first = kvt_test::AttachVirtualJoystick("Twin Box");
    const SDL_JoystickID second = kvt_test::AttachVirtualJoystick("Twin Box");
    const SDL_JoystickID lookalike = kvt_test::AttachVirtualJoystick("Twin Box #2");  // only looks marked
    SDL_Joystick* handles[] = {SDL_OpenJoystick(first), SDL_OpenJoystick(second),
                               SDL_OpenJoystick(lookalike)};
    Input::ControllerMarks marks;
    Input::BindingTexts texts;
    texts.UseMarks(&marks);
    SDL_Event press{};
    press.type = SDL_EVENT_JOYSTICK_BUTTON_DOWN;
    press.jbutton.which = second;
    press.jbutton.button = 3;
    EXPECT_STREQ(texts.Make(press), "#3 Twin Box") << "no marks before the job reads them";
    marks.Refresh();
    EXPECT_STREQ(texts.Make(press), "#3 Twin Box #2") << "a text made before the marks is made anew";
    press.jbutton.which = first;
    EXPECT_STREQ(texts.Make(press), "#3 Twin Box") << "the first keeps its name";
    EXPECT_EQ(marks.NameOf(first), "Twin Box");

    texts.SetClaims({Input::ReadBinding("#3 Twin Box #2"), Input::ReadBinding("H0.1 Twin Box #2")});
    const struct {
        const char* binding;
        SDL_JoystickID from;
        int button;
        bool fires;
    } rows[] = {
        {"#3 Twin Box #2", second, 3, true},  {"#3 Twin Box #2", first, 3, false},
        {"#3 Twin Box", first, 3, true},      {"#3 Twin Box", second, 3, false},
        {"#4 Twin Box", second, 4, true},     {"#4 Twin Box #2", second, 4, true},
        {"#4 Twin Box #3", second, 4, false}, {"#3 Twin Box #2", lookalike, 3, true},
        {"#3 Twin Box", lookalike, 3, false},
    };
    for (const auto& row : rows) {
        press.jbutton.which = row.from;
        press.jbutton.button = static_cast<Uint8>(row.button);
        const Input::BindingMatch expected =
            row.fires ? Input::BindingMatch::Press : Input::BindingMatch::None;
        EXPECT_EQ(texts.Match(Input::ReadBinding(row.binding), press), expected)
            << row.binding << " from joyID" << row.from;
    }
    SDL_Event hat{};
    hat.type = SDL_EVENT_JOYSTICK_HAT_MOTION;
    hat.jhat.which = second;
    hat.jhat.value = SDL_HAT_DOWN;
    EXPECT_EQ(texts.Match(Input::ReadBinding("H0.4 Twin Box"), hat), Input::BindingMatch::Press)
        << "the twin's hat down is not taken";
    hat.jhat.value = SDL_HAT_UP;
    EXPECT_EQ(texts.Match(Input::ReadBinding("H0.1 Twin Box"), hat), Input::BindingMatch::None);

    // Only what is bound opens: a marked line its twin alone, a plain one both.
    KVTRurazu page(nullptr, "[1/4] RurAzu", nullptr, nullptr);
    MenuItem* line = MenuItem::Binding(RURAZU_UP, "Up", "", 0);
    page.items.push_back(line);
    line->SetValue("#3 Twin Box #2");
    EXPECT_TRUE(Input::PageBindsJoystick(page, marks, second));
    EXPECT_FALSE(Input::PageBindsJoystick(page, marks, first));
    line->SetValue("#3 Twin Box");
    EXPECT_TRUE(Input::PageBindsJoystick(page, marks, second));
    EXPECT_TRUE(Input::PageBindsJoystick(page, marks, first));

    for (SDL_Joystick* handle : handles) SDL_CloseJoystick(handle);
    SDL_Quit();
}

}  // namespace
