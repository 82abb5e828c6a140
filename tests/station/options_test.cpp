// The station's command line: good lines build the calls they say, bad ones are refused
// with a message that names the problem.

#include "station/app/options.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using station::Action;
using station::StationOptions;

struct GoodLine {
    const char* name;
    std::vector<std::string> args;
    std::function<void(const StationOptions&)> check;
};

const station::CallOptions& only(const StationOptions& o)
{
    EXPECT_EQ(o.calls.size(), 1u);
    return o.calls.front();
}

const std::vector<GoodLine>& goodLines()
{
    static const std::vector<GoodLine> lines = {
        {"nothing: one interactive call, ten text entries, five empty results",
         {},
         [](const StationOptions& o) {
             const auto& c = only(o);
             EXPECT_FALSE(c.scripted);
             const auto request = c.request();
             ASSERT_EQ(request.size(), 10u);
             EXPECT_EQ(request[5].type(), kzt::Variant::Type::Text);
             const auto result = c.result();
             ASSERT_TRUE(result.isArray());
             EXPECT_EQ(result.array().size(), 5u);
             EXPECT_FALSE(o.module.has_value());
         }},
        {"named entries land at their indices, converted to the code page",
         {"--obligatory", "S",         "--kind",     "CP",          "--product", "1001",   "--name",
          "HAMBÚRGUER",   "--current", "X",          "--sale-open", "True",      "--wait", "5",
          "--customer",   "C1",        "--consumer", "K2",          "--time",    "12:00"},
         [](const StationOptions& o) {
             const auto request = only(o).request();
             const char* expected[] = {"S",    "CP", "1001", "HAMBÚRGUER", "X",
                                       "True", "5",  "C1",   "K2",         "12:00"};
             for (std::size_t i = 0; i < 10; ++i)
                 EXPECT_EQ(request[i].asText(), kzt::utf8ToCp1252(expected[i])) << "entry " << i;
         }},
        {"typed entries and a longer request",
         {"--entries", "12", "--entry", "5=bool:true", "--entry", "6=int:-7", "--entry",
          "7=float:2.5", "--entry", "11=empty:", "--entry", "8=str:a=b:c"},
         [](const StationOptions& o) {
             const auto request = only(o).request();
             ASSERT_EQ(request.size(), 12u);
             EXPECT_EQ(request[5], kzt::Variant(true));
             EXPECT_EQ(request[6], kzt::Variant(std::int64_t{-7}));
             EXPECT_EQ(request[7], kzt::Variant(2.5));
             EXPECT_TRUE(request[11].isEmpty());
             EXPECT_EQ(request[8].asText(), "a=b:c");
         }},
        {"a short request and a result that is no array",
         {"--entries", "3", "--result-not-array"},
         [](const StationOptions& o) {
             EXPECT_EQ(only(o).request().size(), 3u);
             EXPECT_FALSE(only(o).result().isArray());
         }},
        {"result size",
         {"--result-size", "2"},
         [](const StationOptions& o) { EXPECT_EQ(only(o).result().array().size(), 2u); }},
        {"actions in order, answers in their own queues",
         {"--do", "press:sbt01", "--do", "editor:PÃO",     "--do", "key:115+alt+ctrl",
          "--do", "search:",     "--do", "search:07",      "--do", "post:a,b,enter,char",
          "--do", "keypad:15",   "--do", "price:PRECZERO", "--do", "dump",
          "--do", "shot:x.png",  "--do", "key:F1"},
         [](const StationOptions& o) {
             const auto& c = only(o);
             EXPECT_TRUE(c.scripted);
             ASSERT_EQ(c.actions.size(), 6u);
             EXPECT_EQ(c.actions[0].kind, Action::Kind::Press);
             EXPECT_EQ(c.actions[0].name, "sbt01");
             EXPECT_EQ(c.actions[1].kind, Action::Kind::Key);
             EXPECT_EQ(c.actions[1].key, 115);
             EXPECT_EQ(c.actions[1].shift, kzt::ssAlt | kzt::ssCtrl);
             EXPECT_EQ(c.actions[2].kind, Action::Kind::Post);
             EXPECT_EQ(c.actions[2].text, "a,b");
             EXPECT_TRUE(c.actions[2].enter);
             EXPECT_TRUE(c.actions[2].asChar);
             EXPECT_EQ(c.actions[3].kind, Action::Kind::Dump);
             EXPECT_EQ(c.actions[4].name, "x.png");
             EXPECT_EQ(c.actions[5].key, 112);
             ASSERT_EQ(c.answers.search.size(), 2u);
             EXPECT_FALSE(c.answers.search[0].has_value());
             EXPECT_EQ(c.answers.search[1], std::optional<std::string>("07"));
             EXPECT_EQ(c.answers.editor.front(), kzt::utf8ToCp1252("PÃO"));
             EXPECT_EQ(c.answers.keypad.front(), "15");
             EXPECT_EQ(c.answers.price.front(), "PRECZERO");
         }},
        {"post of an empty text with enter only",
         {"--do", "post:,enter"},
         [](const StationOptions& o) {
             const auto& a = only(o).actions.at(0);
             EXPECT_EQ(a.text, "");
             EXPECT_TRUE(a.enter);
             EXPECT_FALSE(a.asChar);
         }},
        {"--next starts a call of its own; host settings stay with their call",
         {"--kind", "P", "--connection", "sqlite3://db=/a", "--trace", "--next", "--kind", "C",
          "--host-exe", "/x/kzt212.exe", "--connection", "sqlite3://db=/a", "--connection-212",
          "sqlite3://db=/b"},
         [](const StationOptions& o) {
             ASSERT_EQ(o.calls.size(), 2u);
             EXPECT_EQ(o.calls[0].request()[1].asText(), "P");
             EXPECT_EQ(o.calls[0].connection, std::optional<std::string>("sqlite3://db=/a"));
             EXPECT_TRUE(o.calls[0].trace);
             EXPECT_EQ(o.calls[1].request()[1].asText(), "C");
             EXPECT_FALSE(o.calls[1].trace);
             EXPECT_EQ(o.calls[1].connection, o.calls[0].connection);
             EXPECT_EQ(o.calls[1].hostExe, std::optional<std::string>("/x/kzt212.exe"));
             EXPECT_EQ(o.calls[1].connection212, std::optional<std::string>("sqlite3://db=/b"));
         }},
        {"--call takes the arguments up to --next",
         {"--call", "getOcorPed", "0001", "01", "1001", "--next", "--call", "getQtMaxObserv",
          "1002"},
         [](const StationOptions& o) {
             ASSERT_EQ(o.calls.size(), 2u);
             EXPECT_EQ(o.calls[0].routine, std::optional<std::string>("getOcorPed"));
             EXPECT_EQ(o.calls[0].routineArgs, (std::vector<std::string>{"0001", "01", "1001"}));
             EXPECT_EQ(o.calls[1].routineArgs, (std::vector<std::string>{"1002"}));
         }},
        {"--call stops taking arguments at the routine's count",
         {"--call", "getOcorCanc", "0001", "01", "--trace"},
         [](const StationOptions& o) {
             EXPECT_EQ(only(o).routineArgs, (std::vector<std::string>{"0001", "01"}));
             EXPECT_TRUE(only(o).trace);
         }},
        {"a sample store on a server, replacing one",
         {"--init-sample", "/tmp/s", "--connection", "postgresql://dbname=loja", "--force"},
         [](const StationOptions& o) {
             EXPECT_TRUE(o.force);
             EXPECT_EQ(o.calls[0].connection,
                       std::optional<std::string>("postgresql://dbname=loja"));
         }},
        {"process-wide options",
         {"--module", "/m/lib.so", "--kind", "P"},
         [](const StationOptions& o) {
             EXPECT_EQ(o.module, std::optional<std::string>("/m/lib.so"));
         }},
        {"the sample store alone",
         {"--init-sample", "/tmp/s"},
         [](const StationOptions& o) {
             EXPECT_EQ(o.initSample, std::optional<std::string>("/tmp/s"));
             EXPECT_FALSE(o.force);
         }},
    };
    return lines;
}

TEST(StationOptions, GoodLines)
{
    for (const auto& line : goodLines()) {
        SCOPED_TRACE(line.name);
        StationOptions options;
        ASSERT_NO_THROW(options = station::parseOptions(line.args));
        line.check(options);
    }
}

struct BadLine {
    std::vector<std::string> args;
    const char* message;
};

TEST(StationOptions, BadLinesAreRefusedWithTheReason)
{
    const std::vector<BadLine> lines = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--kind"}, "--kind needs a value"},
        {{"--entries", "-1"}, "--entries needs a whole number from 0 to 1000, not '-1'"},
        {{"--entries", "ten"}, "--entries needs a whole number from 0 to 1000, not 'ten'"},
        {{"--result-size", "3x"}, "--result-size needs a whole number from 0 to 1000, not '3x'"},
        {{"--entry", "5"}, "--entry needs N=TYPE:VALUE, not '5'"},
        {{"--entry", "x=str:a"}, "--entry x=str:a: the index must be a whole number from 0"},
        {{"--entry", "5=date:1"}, "--entry 5=date:1: unknown type 'date'"},
        {{"--entry", "5=int:1.5"}, "--entry 5=int:1.5: '1.5' is not a whole number"},
        {{"--entry", "5=bool:sim"}, "--entry 5=bool:sim: 'sim' is not true or false"},
        {{"--entry", "5=empty:x"}, "an empty entry takes no value"},
        {{"--entries", "5", "--customer", "C"}, "entry 7 is beyond the request's 5 entries"},
        {{"--do", "jump"}, "--do jump: unknown action 'jump'"},
        {{"--do", "press:"}, "--do press:: press needs a control name"},
        {{"--do", "press"}, "--do press: press needs a control name"},
        {{"--do", "key:F13"}, "--do key:F13: unknown key 'F13'"},
        {{"--do", "key:300"}, "a virtual key is a number from 1 to 255"},
        {{"--do", "key:115+meta"}, "--do key:115+meta: unknown modifier 'meta'"},
        {{"--do", "post"}, "--do post: post needs a text"},
        {{"--do", "dump:x"}, "--do dump:x: dump takes no argument"},
        {{"--do", "shot:"}, "shot needs a file name"},
        {{"--do", "editor"}, "--do editor: editor needs ':' and its answer"},
        {{"--module", "a", "--module", "b"}, "--module is given twice"},
        {{"--kind", "P", "--next", "--do", "dump", "--call", "getOcorPed", "1", "2", "3"},
         "call 2: --call runs a data routine and takes no --do actions"},
        // --call takes its routine's arguments and no more; what it cannot use is refused.
        {{"--call", "getOcorCanc", "0001", "--trace"},
         "--call getOcorCanc takes 2 arguments (branch store), 1 given"},
        {{"--call", "getTudo"}, "--call: unknown routine \"getTudo\""},
        {{"--call", "getQtMaxObserv", "1001", "--kind", "P"},
         "--kind has no effect on --call, which runs a data routine"},
        {{"--call", "getQtMaxObserv", "1001", "--result-not-array"},
         "--result-not-array has no effect on --call"},
        // Options that would be ignored.
        {{"--result-not-array", "--result-size", "3"},
         "--result-size has no effect with --result-not-array"},
        {{"--kind", "P", "--kind", "C"}, "--kind is given twice in one call"},
        {{"--name", "X", "--entry", "3=str:Y"},
         "entry 3 is given twice (--name and --entry 3=str:Y)"},
        {{"--init-sample", "/tmp/s", "--kind", "P", "--do", "dump"},
         "--init-sample does its work and stops, so --kind would be ignored"},
        {{"--companion-shots", "/tmp/s", "--call", "getQtMaxObserv", "1"},
         "--companion-shots does its work and stops, so --call would be ignored"},
        {{"--companion-shots", "/tmp/s", "--module", "/m.so"}, "so --module would be ignored"},
        {{"--kind", "P", "--next"}, "--next must be followed by the options of another call"},
        {{"--next", "--kind", "P"}, "--next must follow the options of a call"},
        // The module keeps its first connection: a later call cannot move it elsewhere.
        {{"--connection", "sqlite3://db=/a", "--do", "dump", "--next", "--connection",
          "sqlite3://db=/b", "--do", "dump"},
         "call 2 would read sqlite3://db=/b, but the module keeps call 1's connection "
         "(sqlite3://db=/a)"},
        {{"--host-exe", "/t/KRB.EXE", "--connection-212", "sqlite3://db=/k", "--do", "dump",
          "--next", "--host-exe", "/t/pdv", "--do", "dump"},
         "call 2 would read the store beside /t, but the module keeps call 1's connection "
         "(sqlite3://db=/k)"},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.args.front() + (line.args.size() > 1 ? " " + line.args[1] : ""));
        try {
            station::parseOptions(line.args);
            ADD_FAILURE() << "accepted";
        } catch (const station::UsageError& e) {
            EXPECT_NE(e.message().find(line.message), std::string::npos) << e.message();
        }
    }
}

// --help is read on a terminal and turned into the man page: no line wider than 80 columns,
// and every option the parser accepts is listed.
TEST(StationOptions, HelpFitsATerminalAndListsEveryOption)
{
    const std::string help = station::usageText();
    std::size_t start = 0;
    while (start < help.size()) {
        const std::size_t end = help.find('\n', start);
        const std::string line = help.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        start = end == std::string::npos ? help.size() : end + 1;
    }
    for (const char* option : {"--obligatory", "--entry", "--result-not-array", "--connection-212",
                               "--host-exe", "--trace", "--do", "--call", "--next", "--module",
                               "--init-sample", "--force", "--companion-shots", "--version"})
        EXPECT_NE(help.find(std::string("\n  ") + option + " "), std::string::npos) << option;
}

} // namespace
