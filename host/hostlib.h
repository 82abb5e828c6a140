#pragma once

// What the module requires of the host's shared library: eleven routines. Texts are
// 8-bit Windows-1252. The station's stand-in implements them (station/hostlib); each
// routine reports its call and arguments (as Windows-1252 text) to the presentation's
// trace before it does anything else.

#include "host/host_global.h"

#include "platform/clientdataset.h"
#include "platform/db/database.h"
#include "platform/ui/form.h"
#include "platform/variant.h"

#include <exception>
#include <string>

namespace host {

// The host library's errors: MensagemMetodo's and CheckResultServ's failures. what() is
// the failure text as the operator should read it.
class KZT_HOST_API HostError : public kzt::Error {
public:
    using kzt::Error::Error;
};

// Message types. The module only ever passes tmAtencao (3).
enum class TTipoMsg : int { tmInformacao = 0, tmConfirmacao = 1, tmErro = 2, tmAtencao = 3 };

// Shows `texto` to the operator in a touch message box and waits for it to be dismissed
// (through presentation().message, so tests and scripted runs answer it instead).
// titulo: a caption line above the text (empty: none); idEsquema: the schema identifier
// shown small in the box; every TTipoMsg looks the same, with one OK button. The other
// positions (confirma, padrao, ajuda, codigo, cds) are traced but change nothing.
KZT_HOST_API void Mensagem(const std::string& texto, const std::string& titulo,
                           const std::string& confirma, const std::string& padrao, TTipoMsg tipo,
                           const std::string& ajuda, const std::string& idEsquema, int codigo,
                           kzt::ClientDataSet* cds);

// Result check of a data routine: returns a data packet untouched; raises HostError
// carrying the text for anything else (an error text from the routine), and a clear
// error for an empty or non-text value. It never shows the text itself, whatever
// `mostra` says: the caller's handler shows it once.
KZT_HOST_API kzt::Variant MensagemMetodo(const kzt::Variant& resultado, bool mostra, int codigo,
                                         const std::string& metodo, const std::string& unidade,
                                         const std::string& chave, const std::string& idEsquema);

// Returns for a boolean true or an empty variant; otherwise raises HostError whose
// message is the failure text (the value as text; "False" for a boolean false). An empty
// text is a failure too, reported with a sentence of its own rather than a blank one.
KZT_HOST_API void CheckResultServ(const kzt::Variant& resultado, bool mostra, int codigo);

KZT_HOST_API kzt::Variant iif(bool condicao, const kzt::Variant& verdadeiro,
                              const kzt::Variant& falso);

// Pads on the left with zeros to `tamanho` characters; a text as long or longer (or a
// width below 1) is returned whole, never cut.
KZT_HOST_API std::string Ajusta(const std::string& texto, int tamanho);

// True for a text that is empty or holds only blanks (spaces, tabs, line breaks and other
// control characters; a non-breaking space counts as text).
KZT_HOST_API bool EmptyString(const std::string& texto);

// Translates a form's texts to the station's language; the stand-in station speaks
// Portuguese, so it records the call and changes nothing.
KZT_HOST_API void Trad(kzt::Form* form);

// Prepares the database session after the connection opened (SQLite: foreign keys on
// and a busy timeout; other backends: nothing). The host's own reads (the price lookup)
// use this session from then on, so they read the store the module chose.
KZT_HOST_API void SetADODBSession(kzt::Connection* connection);

// The connection string for the code: "212" gives the one set for that code, any other
// code the one set for ""; when none was set (for "212": neither), the embedded store
// sqlite3://db=<host executable directory>/store.db. Windows-1252, like every text of
// the library; a string with no Windows-1252 form (a folder name in another script)
// raises HostError rather than naming another file.
KZT_HOST_API std::string _GetStringConexQtr(const std::string& codigo);

// A text on a database error for the operator: "Erro no banco de dados: <driver text>",
// without the statement or bound values; `complemento`, when given, names what failed:
// "Erro no banco de dados (<complemento>): <driver text>".
KZT_HOST_API std::string ADOExceptionMessage(const std::exception& erro, kzt::Connection* conexao,
                                             const std::string& complemento);

} // namespace host
