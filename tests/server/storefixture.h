#pragma once

// The store the data routines run against: the sample store in a temporary SQLite file,
// or, as a second instance of every shared case, the database KZT_TEST_CONNECTION names
// ("odbc://...", "postgresql://..."), loaded with the same schema and data.

#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include "platform/datapacket.h"
#include "platform/db/sqldialect.h"
#include "platform/variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kzt::test {

class StoreTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs statements (separated by ';') on the store through its own session.
    void run(const std::string& sql);
    bool external() const { return GetParam() == "external"; }

    TempDir dir;
    std::string connection;
    Engine engine = Engine::Sqlite; // the engine on the other end of `connection`
};

// The backends every StoreTest case runs on; "external" skips without KZT_TEST_CONNECTION.
std::vector<std::string> storeBackends();

// Occurrence codes of a list routine's packet, in packet order; fails on a non-packet.
std::vector<std::string> codesOf(const Variant& result);
Packet packetOf(const Variant& result);

// "01".."NN"
std::vector<std::string> codeRange(int from, int to);

std::u16string w(const std::string& utf8);

} // namespace kzt::test
