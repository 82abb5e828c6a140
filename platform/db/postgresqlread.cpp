// PostgreSQL's reads, and any other backend's, through SOCI: the server's own text.

#include "platform/db/backendreads.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>

namespace kzt::detail {

namespace {

// The handle inside SOCI's own session. The backend does not export the class's type
// information, so the sanitizer's check of dynamic types is left out here: the backend's
// name has already said which class it is.
__attribute__((no_sanitize("vptr"))) PGconn* postgresqlHandle(soci::session& session)
{
    return static_cast<soci::postgresql_session_backend*>(session.get_backend())->conn_;
}

// PostgreSQL, and any backend without a reader of its own, through SOCI: every column
// into text.
class SociRead final : public PreparedRead {
public:
    // Servers hand the whole result over at once: the batch only sets how much is
    // copied at a time.
    static constexpr std::size_t kBatchRows = 64;

    SociRead(soci::session& session, const std::string& sql, const std::vector<std::string>& names,
             std::size_t columns)
        : mStatement(session), mValues(names.size()), mTexts(columns), mIndicators(columns)
    {
        try {
            for (std::size_t i = 0; i < names.size(); ++i)
                mStatement.exchange(soci::use(mValues[i], names[i]));
            for (std::size_t c = 0; c < columns; ++c) {
                mTexts[c].resize(kBatchRows);
                mIndicators[c].resize(kBatchRows);
                mStatement.exchange(soci::into(mTexts[c], mIndicators[c]));
            }
            mStatement.alloc();
            mStatement.prepare(sql);
            mStatement.define_and_bind();
        } catch (const soci::soci_error& e) {
            throw failureOf(e);
        }
    }

    void run(const std::vector<std::string>& values, std::vector<Cell>& cells) override
    {
        try {
            for (std::size_t i = 0; i < mValues.size(); ++i)
                mValues[i] = values[i];
            resize();
            bool more = mStatement.execute(true);
            while (more && !mTexts.empty()) {
                const std::size_t rows = mIndicators.front().size();
                for (std::size_t r = 0; r < rows; ++r) {
                    for (std::size_t c = 0; c < mTexts.size(); ++c) {
                        if (mIndicators[c][r] == soci::i_null)
                            cells.emplace_back();
                        else
                            cells.emplace_back(std::move(mTexts[c][r]));
                    }
                }
                resize();
                more = mStatement.fetch();
            }
        } catch (const soci::soci_error& e) {
            throw failureOf(e);
        }
    }

private:
    void resize()
    {
        for (std::size_t c = 0; c < mTexts.size(); ++c) {
            mTexts[c].resize(kBatchRows);
            mIndicators[c].resize(kBatchRows);
        }
    }

    soci::statement mStatement;
    std::vector<std::string> mValues;
    std::vector<std::vector<std::string>> mTexts;
    std::vector<std::vector<soci::indicator>> mIndicators;
};

} // namespace

std::unique_ptr<PreparedRead> prepareSociRead(soci::session& session, const std::string& sql,
                                              const std::vector<std::string>& names,
                                              std::size_t columns)
{
    return std::make_unique<SociRead>(session, sql, names, columns);
}

int postgresqlSocket(soci::session& session)
{
    return PQsocket(postgresqlHandle(session));
}

} // namespace kzt::detail
