// The window builder's refusal of a definition it cannot apply.
#include <gtest/gtest.h>

#include <string>

#include "widgets/window.h"
#include "widgets/window_definition.h"

namespace qv::test {
namespace {

int g_created = 0;

// A binding whose control the definition lacks, such as a misspelt name, gives no window; spelt
// right, the same definition builds.
TEST(WindowBuilder, ABindingToAControlTheDefinitionLacksIsAnError) {
    const ControlDefinition controls[] = {
        {"标签", Kind::Label, 0, 0, 10, 10, nullptr, true, Cursor::Default}};
    for (const char* name : {"标鉴", "标签"}) {
        SCOPED_TRACE(name);
        const bool known = std::string(name) == "标签";
        const EventBinding bindings[] = {{nullptr, Event::Created, +[] { ++g_created; }},
                                         {name, Event::Click, +[](int, int, int) {}}};
        const WindowDefinition def{"", 0, 0, 20, 20, nullptr, controls, bindings};
        g_created = 0;
        testing::internal::CaptureStderr();
        Window* w = CreateStartWindow(def);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(w != nullptr, known);
        EXPECT_EQ(StartWindow(), w);
        EXPECT_EQ(g_created, known ? 1 : 0);
        if (known) {
            EXPECT_TRUE(w->find("标签")->hasBinding(Event::Click));
        } else {
            EXPECT_NE(said.find("标鉴"), std::string::npos) << said;
        }
        DestroyStartWindow();
    }
}

}  // namespace
}  // namespace qv::test
