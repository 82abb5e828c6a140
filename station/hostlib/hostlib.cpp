#include "host/hostlib.h"
#include "host/settings.h"

#include "platform/db/connectionstring.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/hostlib/presentation.h"
#include "station/hostlib/tracing.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

namespace host {

namespace {

std::string gConnection;    // code ""
std::string gConnection212; // code "212"
std::weak_ptr<kzt::Connection* const> gPreparedSession;

std::string variantText(const kzt::Variant& value)
{
    switch (value.type()) {
    case kzt::Variant::Type::Array: return "<array " + std::to_string(value.array().size()) + ">";
    case kzt::Variant::Type::Packet: return "<packet>";
    default: return value.asText();
    }
}

std::string boolText(bool value)
{
    return value ? "True" : "False";
}

void trace(const std::string& call, const std::vector<std::string>& args)
{
    traceCall(call, args);
}

// The connection string for a code, as the station set it or the default, in UTF-8 as
// paths and the command line come.
std::string connectionUtf8(const std::string& codigo)
{
    if (codigo == "212" && !gConnection212.empty())
        return gConnection212;
    if (!gConnection.empty())
        return gConnection;
    // A host path given without a folder lies in the working directory, not at the root.
    const std::string file = std::filesystem::absolute(kzt::hostExecutablePath())
                                 .parent_path()
                                 .append("store.db")
                                 .lexically_normal()
                                 .string();
    // Connection parameters are separated by blanks: a folder name with one is quoted.
    if (file.find(' ') != std::string::npos && file.find('"') == std::string::npos)
        return "sqlite3://db=\"" + file + "\"";
    return "sqlite3://db=" + file;
}

} // namespace

void setConnectionString(const std::string& code, const std::string& connection)
{
    (code == "212" ? gConnection212 : gConnection) = connection;
}

void Mensagem(const std::string& texto, const std::string& titulo, const std::string& confirma,
              const std::string& padrao, TTipoMsg tipo, const std::string& ajuda,
              const std::string& idEsquema, int codigo, kzt::ClientDataSet* cds)
{
    trace("Mensagem", {texto, titulo, confirma, padrao, std::to_string(static_cast<int>(tipo)),
                       ajuda, idEsquema, std::to_string(codigo), cds ? cds->name() : "nil"});
    MessageBoxRequest request;
    request.text = kzt::maskedSecrets(texto); // whoever composed it, no secret reaches the screen
    request.title = titulo;
    request.type = static_cast<int>(tipo);
    request.schema = idEsquema;
    presentation().message(request);
}

kzt::Variant MensagemMetodo(const kzt::Variant& resultado, bool mostra, int codigo,
                            const std::string& metodo, const std::string& unidade,
                            const std::string& chave, const std::string& idEsquema)
{
    trace("MensagemMetodo", {variantText(resultado), boolText(mostra), std::to_string(codigo),
                             metodo, unidade, chave, idEsquema});
    if (resultado.isPacket())
        return resultado;
    if (resultado.isText() && !resultado.asText().empty())
        throw HostError(resultado.asText());
    if (resultado.isEmpty() || resultado.isText())
        throw HostError(kzt::utf8ToCp1252("A rotina " + metodo + " não retornou dados."));
    throw HostError(kzt::utf8ToCp1252("A rotina " + metodo + " retornou um valor inesperado ("
                                      + variantText(resultado) + ")."));
}

void CheckResultServ(const kzt::Variant& resultado, bool mostra, int codigo)
{
    trace("CheckResultServ", {variantText(resultado), boolText(mostra), std::to_string(codigo)});
    using Type = kzt::Variant::Type;
    switch (resultado.type()) {
    case Type::Empty: return;
    case Type::Boolean:
        if (resultado.asBoolean())
            return;
        throw HostError("False");
    case Type::Text:
    case Type::WideText:
        if (resultado.asText().empty())
            throw HostError(kzt::utf8ToCp1252("A verificação falhou sem informar o motivo."));
        throw HostError(resultado.asText());
    default: throw HostError(variantText(resultado));
    }
}

kzt::Variant iif(bool condicao, const kzt::Variant& verdadeiro, const kzt::Variant& falso)
{
    trace("iif", {boolText(condicao), variantText(verdadeiro), variantText(falso)});
    return condicao ? verdadeiro : falso;
}

std::string Ajusta(const std::string& texto, int tamanho)
{
    trace("Ajusta", {texto, std::to_string(tamanho)});
    if (tamanho <= 0 || texto.size() >= static_cast<std::size_t>(tamanho))
        return texto;
    return std::string(static_cast<std::size_t>(tamanho) - texto.size(), '0') + texto;
}

bool EmptyString(const std::string& texto)
{
    trace("EmptyString", {texto});
    return std::all_of(texto.begin(), texto.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

void Trad(kzt::Form* form)
{
    std::string name = "nil";
    if (form)
        name = form->objectName().isEmpty() ? form->metaObject()->className()
                                            : form->objectName().toStdString();
    trace("Trad", {name});
}

void SetADODBSession(kzt::Connection* connection)
{
    trace("SetADODBSession", {connection ? connection->name() : "nil"});
    // The host's own reads (the price lookup) go through the session the module chose.
    gPreparedSession = connection ? connection->handle() : std::weak_ptr<kzt::Connection* const>();
    if (!connection || !connection->connected() || connection->backendName() != "sqlite3")
        return;
    // Foreign keys are off by default in SQLite; the store's other engines enforce them.
    // (The wait for a till's own short writes is the connection's query limit.)
    connection->execute("PRAGMA foreign_keys = ON");
}

kzt::Connection* preparedSession()
{
    const auto handle = gPreparedSession.lock();
    return handle ? *handle : nullptr;
}

std::string _GetStringConexQtr(const std::string& codigo)
{
    trace("_GetStringConexQtr", {codigo});
    // The library's texts are Windows-1252: a path is handed out in that code page, or
    // refused when it cannot be, since "?" in its place would name another file.
    const std::string connection = connectionUtf8(codigo);
    if (const auto text = kzt::utf8ToCp1252Exact(connection))
        return *text;
    throw HostError(
        kzt::utf8ToCp1252("A conexão com o banco de dados da loja não pode ser usada: \""
                          + kzt::quotedUtf8(kzt::maskedSecrets(connection))
                          + "\" tem caracteres que o Windows-1252 não representa."));
}

std::string ADOExceptionMessage(const std::exception& erro, kzt::Connection* conexao,
                                const std::string& complemento)
{
    std::string driver;
    if (const auto* database = dynamic_cast<const kzt::DatabaseError*>(&erro))
        driver = database->driverMessage();
    else if (const auto* error = dynamic_cast<const kzt::Error*>(&erro))
        driver = error->message();
    else
        driver = kzt::utf8ToCp1252(erro.what()); // library texts are UTF-8
    trace("ADOExceptionMessage", {driver, conexao ? conexao->name() : "nil", complemento});

    std::string text = kzt::utf8ToCp1252("Erro no banco de dados");
    if (!complemento.empty())
        text += " (" + complemento + ")";
    if (driver.empty())
        return text + ".";
    return text + ": " + driver;
}

} // namespace host
