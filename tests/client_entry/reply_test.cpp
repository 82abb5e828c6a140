// The C interface's dialog reply: what the operator was shown reaches the host, and no
// secret with it, whoever composed the text.

#include "client/cinterface.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogReply, MessagesReachTheHostWithSecretsMasked)
{
    struct Case {
        std::string shown; // Windows-1252
        std::string text;  // what the host reads, UTF-8
    };
    const std::vector<Case> cases = {
        {"Observa\xe7\xe3o deve ser informada.", "Observação deve ser informada."},
        {"no server at host=db password=segredo dbname=loja",
         "no server at host=db password=*** dbname=loja"},
        {"login failed: DSN=loja;UID=caixa;PWD=segredo;",
         "login failed: DSN=loja;UID=caixa;PWD=***;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const kzt::Json reply =
            Cli_kzt00318::capi::observacaoReply("", kzt::Variant::arrayOf(5), {{c.shown, 3}});
        EXPECT_EQ(reply.at("messages"), kzt::Json::array({{{"text", c.text}, {"type", 3}}}));
    }
}

} // namespace
