#include "host/script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What a script reads as: each step as written, then each answer queue.
std::vector<std::string> readAs(const host::Script& script)
{
    std::vector<std::string> out;
    for (const host::ScriptStep& step : script.steps)
        out.push_back(step.source);
    for (const std::string& text : script.answers.editor)
        out.push_back("editor=" + text);
    for (const std::string& text : script.answers.price)
        out.push_back("price=" + text);
    return out;
}

TEST(ScriptSteps, CommasSeparateStepsButStayInTexts)
{
    struct Case {
        const char* script;
        std::vector<std::string> steps; // empty: refused
    };
    const std::vector<Case> cases = {
        {"press:sbt01,press:sptConfirmar", {"press:sbt01", "press:sptConfirmar"}},
        {"press:sbt01, press:sptConfirmar", {"press:sbt01", "press:sptConfirmar"}},
        {"post:1,5,enter,press:sptConfirmar", {"post:1,5,enter", "press:sptConfirmar"}},
        {"price:SEM ESTOQUE, LIGUE,dump", {"dump", "price=SEM ESTOQUE, LIGUE"}},
        {"editor:A,B,search:,shot:x.png", {"shot:x.png", "editor=A,B"}},
        // A name cannot hold a comma: what follows is a step, and a wrong one is refused
        // rather than pressed as part of the name.
        {"press:sbt01,jump", {}},
        {"key:27,shift", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        if (c.steps.empty()) {
            EXPECT_THROW(host::parseScript(c.script), host::ScriptError);
            continue;
        }
        EXPECT_EQ(readAs(host::parseScript(c.script)), c.steps);
    }
}

} // namespace
