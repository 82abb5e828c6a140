#include "platform/db/connectionstring.h"

#include "platform/db/databaseerror.h"
#include "platform/process.h"
#include "platform/text.h"

#include <odbcinst.h>
#include <soci/backend-loader.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

namespace kzt {

namespace {

const char* const kConnectTimeout = "connect_timeout";
const char* const kQueryTimeout = "query_timeout";
constexpr int kMaxTimeout = 3600;

[[noreturn]] void invalid(const std::string& utf8, const std::string& why)
{
    throw DatabaseError(DatabaseError::Category::ConnectionFailed,
                        utf8ToCp1252("Invalid connection string \""
                                     + quotedUtf8(maskedSecrets(utf8))
                                     + "\": " + maskedSecrets(why)));
}

bool sameKey(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    }
    return i == a.size() && !b[i];
}

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// One "key=value" of a parameter list, with the text it was written as.
struct Setting {
    std::string key;
    std::string value;
    std::string text;
    bool hasValue = false;
};

// "key=value key='a value' key = value": blank-separated, as the sqlite3 and postgresql
// backends read them. Quotes (' or ") hold blanks; a backslash escapes the next character.
std::vector<Setting> blankSeparated(const std::string& params)
{
    std::vector<Setting> settings;
    std::size_t i = 0;
    const std::size_t n = params.size();
    auto blanks = [&] {
        while (i < n && std::isspace(static_cast<unsigned char>(params[i])))
            ++i;
    };
    while (true) {
        blanks();
        if (i >= n)
            break;
        Setting s;
        const std::size_t start = i;
        while (i < n && params[i] != '=' && !std::isspace(static_cast<unsigned char>(params[i])))
            s.key += params[i++];
        const std::size_t afterKey = i;
        blanks();
        if (i < n && params[i] == '=') {
            s.hasValue = true;
            ++i;
            blanks();
            if (i < n && (params[i] == '\'' || params[i] == '"')) {
                const char quote = params[i++];
                while (i < n && params[i] != quote) {
                    if (params[i] == '\\' && i + 1 < n)
                        ++i;
                    s.value += params[i++];
                }
                if (i < n)
                    ++i;
            } else {
                while (i < n && !std::isspace(static_cast<unsigned char>(params[i])))
                    s.value += params[i++];
            }
        } else {
            i = afterKey;
        }
        s.text = params.substr(start, i - start);
        settings.push_back(std::move(s));
    }
    return settings;
}

// "Key=Value;Key={va;lue}": ODBC attributes; braces hold ';' ("}}" is a brace).
std::vector<Setting> semicolonSeparated(const std::string& params)
{
    std::vector<Setting> settings;
    std::size_t i = 0;
    const std::size_t n = params.size();
    while (i < n) {
        const std::size_t start = i;
        Setting s;
        while (i < n && params[i] != '=' && params[i] != ';')
            s.key += params[i++];
        if (i < n && params[i] == '=') {
            s.hasValue = true;
            ++i;
            if (i < n && params[i] == '{') {
                ++i;
                while (i < n) {
                    if (params[i] == '}') {
                        if (i + 1 < n && params[i + 1] == '}') {
                            s.value += '}';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    s.value += params[i++];
                }
            }
            while (i < n && params[i] != ';')
                s.value += params[i++];
        }
        s.text = params.substr(start, i - start);
        while (!s.key.empty() && std::isspace(static_cast<unsigned char>(s.key.back())))
            s.key.pop_back();
        while (!s.key.empty() && std::isspace(static_cast<unsigned char>(s.key.front())))
            s.key.erase(0, 1);
        if (!s.text.empty())
            settings.push_back(std::move(s));
        if (i < n)
            ++i; // the ';'
    }
    return settings;
}

int seconds(const std::string& utf8, const Setting& s)
{
    int value = 0;
    const auto result = std::from_chars(s.value.data(), s.value.data() + s.value.size(), value);
    if (result.ec != std::errc() || result.ptr != s.value.data() + s.value.size() || value < 1
        || value > kMaxTimeout)
        invalid(utf8, s.key + " needs a whole number of seconds from 1 to "
                          + std::to_string(kMaxTimeout) + ", not '" + s.value + "'");
    return value;
}

// Takes our own time limits out of the settings.
std::vector<Setting> takeTimeouts(const std::string& utf8, std::vector<Setting> settings,
                                  ConnectionTarget& target)
{
    std::vector<Setting> kept;
    for (auto& s : settings) {
        if (sameKey(s.key, kConnectTimeout))
            target.connectTimeout = seconds(utf8, s);
        else if (sameKey(s.key, kQueryTimeout))
            target.queryTimeout = seconds(utf8, s);
        else
            kept.push_back(std::move(s));
    }
    return kept;
}

std::string joined(const std::vector<Setting>& settings, char separator)
{
    std::string text;
    for (const auto& s : settings) {
        if (!text.empty())
            text += separator;
        text += s.text;
    }
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0
            && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string percentEncoded(const std::string& text)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    return out;
}

// The SQLite store a sqlite3 string names, and the parameters the backend gets for it.
// The backend receives the file as a URI opened read-write without creating it, so the
// file checked here is the one opened, and a store that vanished is never made anew.
void resolveSqlite(const std::string& utf8, ConnectionTarget& target)
{
    std::vector<Setting> settings;
    std::string database;
    bool readOnly = false;
    if (target.parameters.find('=') == std::string::npos) {
        database = target.parameters; // the whole text names the file, as the backend reads it
    } else {
        for (auto& s : takeTimeouts(utf8, blankSeparated(target.parameters), target)) {
            if (s.key == "db" || s.key == "dbname") {
                database = s.value; // the backend takes the last one given
                continue;
            }
            readOnly = readOnly || s.key == "readonly";
            settings.push_back(std::move(s));
        }
    }

    std::string path = database;
    std::vector<std::string> query; // the URI's own parameters, but its mode
    std::string mode;
    if (database.rfind("file:", 0) == 0) {
        std::string rest = database.substr(5);
        rest = rest.substr(0, rest.find('#'));
        const auto question = rest.find('?');
        const std::string queryText =
            question == std::string::npos ? "" : rest.substr(question + 1);
        rest = rest.substr(0, question);
        if (rest.rfind("//", 0) == 0) {
            const auto slash = rest.find('/', 2);
            const std::string authority =
                rest.substr(2, slash == std::string::npos ? slash : slash - 2);
            if (!authority.empty() && authority != "localhost")
                invalid(utf8, "a file: URI names the host \"" + authority + "\"");
            rest = slash == std::string::npos ? "" : rest.substr(slash);
        }
        path = percentDecoded(rest);
        std::size_t at = 0;
        while (at <= queryText.size() && !queryText.empty()) {
            const auto amp = queryText.find('&', at);
            const std::string item =
                queryText.substr(at, amp == std::string::npos ? amp : amp - at);
            if (item.rfind("mode=", 0) == 0)
                mode = item.substr(5);
            else if (!item.empty())
                query.push_back(item);
            if (amp == std::string::npos)
                break;
            at = amp + 1;
        }
    }
    if (mode == "memory" || path == ":memory:") {
        target.sqliteInMemory = true;
        return;
    }
    target.sqliteFile = path;
    readOnly = readOnly || mode == "ro";

    std::string db;
    if (sqlite3_compileoption_used("USE_URI")) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(path, error);
        db = "file://" + percentEncoded(error ? path : absolute.string())
             + (readOnly ? "?mode=ro" : "?mode=rw");
        for (const auto& item : query)
            db += "&" + item;
    } else {
        // No URIs in this SQLite: the plain file name, checked just before it is opened.
        db = path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
        if (readOnly && !std::any_of(settings.begin(), settings.end(), [](const Setting& s) {
                return s.key == "readonly";
            }))
            db += " readonly=1";
    }
    // The one wait SQLite has, for another connection's write lock, is bounded by our
    // query limit: the backend's own timeout may make it shorter, never longer (without
    // one the wait would be none at all). The backend takes the last one given.
    int wait = target.queryTimeout;
    for (auto it = settings.begin(); it != settings.end();) {
        if (it->key != "timeout") {
            ++it;
            continue;
        }
        int given = 0;
        const auto parsed =
            std::from_chars(it->value.data(), it->value.data() + it->value.size(), given);
        if (parsed.ec != std::errc() || parsed.ptr != it->value.data() + it->value.size()
            || given < 0)
            invalid(utf8, "timeout needs a whole number of seconds, not '" + it->value + "'");
        wait = std::min(given, target.queryTimeout);
        it = settings.erase(it);
    }
    Setting timeout;
    timeout.text = "timeout=" + std::to_string(wait);
    settings.push_back(std::move(timeout));
    Setting file;
    file.text = "db=" + db;
    settings.push_back(std::move(file));
    target.parameters = joined(settings, ' ');
}

// libpq's keyword form starts with "key =", a URI never does ("user@host:port/db?...").
bool isKeywordForm(const std::string& params)
{
    std::size_t i = 0;
    while (i < params.size() && std::isspace(static_cast<unsigned char>(params[i])))
        ++i;
    if (i == params.size())
        return true;
    const std::size_t start = i;
    while (i < params.size() && isWordChar(params[i]))
        ++i;
    while (i < params.size() && params[i] == ' ')
        ++i;
    return i > start && i < params.size() && params[i] == '=';
}

// What a DBA sees in the server's session list: the module and the host it runs in,
// "kzt00318/pdv". Only characters no layer quotes or splits on: the sessions's backend
// cuts its parameters at blanks, quotes or not.
std::string applicationName()
{
    std::string name = "kzt00318/";
    for (const char c : extractFileName(hostExecutablePath())) {
        const bool plain =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        name += plain ? c : '_';
    }
    return name.size() > 63 ? name.substr(0, 63) : name; // what the server keeps
}

bool setsApplicationName(const std::string& key)
{
    return sameKey(key, "application_name");
}

// libpq takes the last of a repeated key, so what is appended here wins.
void resolvePostgresql(const std::string& utf8, ConnectionTarget& target)
{
    if (!isKeywordForm(target.parameters) && target.parameters.rfind("postgresql://", 0) != 0
        && target.parameters.rfind("postgres://", 0) != 0)
        target.parameters = "postgresql://" + target.parameters; // a libpq URI
    const std::string& params = target.parameters;
    if (params.rfind("postgresql://", 0) == 0 || params.rfind("postgres://", 0) == 0) {
        const auto question = params.find('?');
        std::string base = params.substr(0, question);
        std::vector<std::string> kept;
        bool named = false;
        if (question != std::string::npos) {
            std::size_t at = question + 1;
            while (at <= params.size()) {
                const auto amp = params.find('&', at);
                const std::string item =
                    params.substr(at, amp == std::string::npos ? amp : amp - at);
                const auto equals = item.find('=');
                Setting s;
                s.key = item.substr(0, equals);
                s.value = equals == std::string::npos ? "" : item.substr(equals + 1);
                if (sameKey(s.key, kConnectTimeout)) {
                    target.connectTimeout = seconds(utf8, s);
                } else if (sameKey(s.key, kQueryTimeout)) {
                    target.queryTimeout = seconds(utf8, s);
                } else if (!item.empty()) {
                    named = named || setsApplicationName(s.key);
                    kept.push_back(item);
                }
                if (amp == std::string::npos)
                    break;
                at = amp + 1;
            }
        }
        kept.push_back(std::string(kConnectTimeout) + "=" + std::to_string(target.connectTimeout));
        kept.push_back("client_encoding=UTF8");
        if (!named)
            kept.push_back("application_name=" + percentEncoded(applicationName()));
        std::string joinedQuery;
        for (const auto& item : kept)
            joinedQuery += (joinedQuery.empty() ? "?" : "&") + item;
        target.parameters = base + joinedQuery;
        return;
    }
    const std::vector<Setting> kept = takeTimeouts(utf8, blankSeparated(params), target);
    // The client library's own limit is ours, so that an attempt we stopped waiting for
    // ends about when we do (libpq waits two seconds at the least), long before the
    // module could be unloaded under it.
    target.parameters = joined(kept, ' ');
    if (!target.parameters.empty())
        target.parameters += ' ';
    target.parameters += std::string(kConnectTimeout) + "=" + std::to_string(target.connectTimeout)
                         + " client_encoding=UTF8";
    if (std::none_of(kept.begin(), kept.end(),
                     [](const Setting& s) { return setsApplicationName(s.key); }))
        target.parameters += " application_name=" + applicationName();
}

// Whether an ODBC string reaches PostgreSQL's driver: through its Driver=, or its DSN's.
bool reachesPsqlOdbc(const std::vector<Setting>& settings)
{
    std::string driver;
    std::string dsn;
    for (const auto& s : settings) {
        if (sameKey(s.key, "driver"))
            driver = s.value;
        else if (sameKey(s.key, "dsn"))
            dsn = s.value;
    }
    char found[1024] = {0};
    if (driver.empty() && !dsn.empty()
        && SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", found, sizeof found, "odbc.ini")
               > 0)
        driver = found;
    std::string library = driver; // a driver's name, or its library's path
    if (!driver.empty() && driver.find('/') == std::string::npos
        && SQLGetPrivateProfileString(driver.c_str(), "Driver", "", found, sizeof found,
                                      "odbcinst.ini")
               > 0)
        library = found;
    std::transform(library.begin(), library.end(), library.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return library.find("psqlodbc") != std::string::npos;
}

// The connect limit, handed to the driver. Through SOCI no login timeout can be set
// before the driver connects, so PostgreSQL's driver gets it as libpq's own option (the
// last one given wins there); other drivers' connects are bounded by our wait alone.
void boundOdbcConnect(std::vector<Setting>& settings, int connectTimeout)
{
    if (!reachesPsqlOdbc(settings))
        return;
    const std::string ours = std::string(kConnectTimeout) + "=" + std::to_string(connectTimeout);
    std::string options;
    for (auto it = settings.begin(); it != settings.end();) {
        if (sameKey(it->key, "pqopt")) {
            options += it->value + " ";
            it = settings.erase(it);
        } else {
            ++it;
        }
    }
    std::string escaped;
    for (const char c : options + ours)
        escaped += c == '}' ? std::string("}}") : std::string(1, c);
    Setting pqopt;
    pqopt.text = "pqopt={" + escaped + "}";
    settings.push_back(std::move(pqopt));
}

// Where the value of a secret key starting at `at` ends, and where it begins; npos when
// no "key =" stands there.
std::pair<std::size_t, std::size_t> secretValueAt(std::string_view text, std::size_t at)
{
    constexpr std::pair<std::size_t, std::size_t> none{std::string_view::npos,
                                                       std::string_view::npos};
    if (at > 0 && isWordChar(text[at - 1]))
        return none;
    std::size_t i = at;
    for (const std::string_view key : {std::string_view("password"), std::string_view("pwd")}) {
        const std::string_view here = text.substr(at, key.size());
        if (here.size() == key.size()
            && std::equal(here.begin(), here.end(), key.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == b;
               })) {
            i = at + key.size();
            break;
        }
    }
    if (i == at || (i < text.size() && isWordChar(text[i])))
        return none;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i >= text.size() || text[i] != '=')
        return none;
    ++i;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t begin = i;
    if (i < text.size() && (text[i] == '\'' || text[i] == '"' || text[i] == '{')) {
        const char close = text[i] == '{' ? '}' : text[i];
        for (++i; i < text.size(); ++i) {
            if (close != '}' && text[i] == '\\' && i + 1 < text.size()) {
                ++i;
            } else if (text[i] == close) {
                if (close == '}' && i + 1 < text.size() && text[i + 1] == '}') {
                    ++i;
                    continue;
                }
                return {begin, i + 1};
            }
        }
        return {begin, text.size()};
    }
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != ';'
           && text[i] != '&')
        ++i;
    // The quote a message or a JSON text closes its string with, and the marks after it,
    // are no part of the value: "...password=x": why, {"c": "pwd=x"}.
    std::size_t end = i;
    while (end > begin && std::strchr(":,.)]}", text[end - 1]) && text[end - 1] != '\0')
        --end;
    return {begin, end > begin && text[end - 1] == '"' ? end - 1 : i};
}

// The end of the password in a URI's "user:password@" starting at `at` (just past "://"),
// and where it begins; npos when there is none.
std::pair<std::size_t, std::size_t> uriPasswordAt(std::string_view text, std::size_t at)
{
    std::size_t i = at;
    while (i < text.size() && text[i] != '/' && text[i] != '?' && text[i] != '#' && text[i] != '='
           && text[i] != ';' && text[i] != '"'
           && !std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    const std::string_view authority = text.substr(at, i - at);
    const auto atSign = authority.rfind('@');
    const auto colon = authority.find(':');
    if (atSign == std::string_view::npos || colon == std::string_view::npos || colon > atSign)
        return {std::string_view::npos, std::string_view::npos};
    return {at + colon + 1, at + atSign};
}

// The backend library a string names is looked for in the system's places only: SOCI
// also tries the current folder when they hold none, so a planted libsoci_NAME.so would
// be loaded. Every connection is parsed before it opens, so this runs before any load.
void keepBackendsOutOfTheCurrentFolder()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::vector<std::string>& paths = soci::dynamic_backends::search_paths();
        std::erase_if(paths,
                      [](const std::string& path) { return path.empty() || path[0] != '/'; });
    });
}

} // namespace

std::string maskedSecrets(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto [begin, end] = secretValueAt(text, i);
        if (begin == std::string_view::npos && text.substr(i, 3) == "://") {
            out += "://";
            i += 3;
            std::tie(begin, end) = uriPasswordAt(text, i);
            if (begin == std::string_view::npos)
                continue; // what follows may start a key of its own
        }
        if (begin != std::string_view::npos) {
            out.append(text.substr(i, begin - i));
            out += "***";
            i = end;
            continue;
        }
        out += text[i++];
    }
    return out;
}

ConnectionTarget parseConnectionString(const std::string& utf8)
{
    if (utf8.empty())
        throw DatabaseError(DatabaseError::Category::ConnectionFailed,
                            "No connection string was given.");
    const auto separator = utf8.find("://");
    if (separator == std::string::npos || separator == 0)
        invalid(utf8, "expected backend://parameters.");
    keepBackendsOutOfTheCurrentFolder();
    ConnectionTarget target;
    target.backend = utf8.substr(0, separator);
    target.parameters = utf8.substr(separator + 3);
    if (target.backend == "postgres") // libpq's own short scheme
        target.backend = "postgresql";
    if (target.backend == "sqlite3")
        resolveSqlite(utf8, target);
    else if (target.backend == "postgresql")
        resolvePostgresql(utf8, target);
    else if (target.backend == "odbc") {
        std::vector<Setting> settings =
            takeTimeouts(utf8, semicolonSeparated(target.parameters), target);
        boundOdbcConnect(settings, target.connectTimeout);
        target.parameters = joined(settings, ';');
    } else
        target.parameters =
            joined(takeTimeouts(utf8, blankSeparated(target.parameters), target), ' ');
    return target;
}

} // namespace kzt
