/* kzt00318.h: the observation module's plain C interface.

   For hosts written in C, or in any language that can call a C function (Python through
   ctypes, Java, C#, ...), without the module's C++ types. Texts cross it as UTF-8 JSON.

   Every function but kzt_version writes a reply into *reply_json: a NUL-terminated UTF-8
   JSON object the module allocates and the host releases with kzt_free. The return value
   is 0 when the call ran and non-zero when the request itself was refused; a refused call
   replies {"error": TEXT} and has changed nothing. When reply_json is NULL the call is
   refused and nothing can be replied. *reply_json is left NULL only when memory ran out
   while the reply was written; the return value still says whether the call ran.

   Dialogs are shown on one thread: the one that made the first dialog call (or the
   thread of the host's own Qt application, when it has one); a dialog call from another
   thread is refused. Any thread may configure or call a data routine, one call at a
   time: a call made while another thread's call is running is refused. The module never
   ends the host process. */

#ifndef KZT00318_H
#define KZT00318_H

#ifdef __cplusplus
extern "C" {
#endif

#define KZT00318_API __attribute__((visibility("default")))

/* Where the store and the station's parameter file are, for a host that is not the
   station: {"hostExe": PATH, "connection": STR, "connection212": STR}, each optional.
   hostExe is the path taken as the host executable: its folder holds PARAMETROSQTR.CDS
   and the default store (store.db), and its file name decides whether the connection of
   code "212" is used. connection and connection212 are the store connection strings
   (sqlite3://db=PATH, postgresql://..., odbc://...) for codes "" and "212". cacheDir is
   the folder of the offline cache ("off" switches it off; the environment's is
   KZT_CACHE_DIR, the default $XDG_CACHE_HOME/kzt00318, off for a local SQLite store).

   A key left out keeps its setting; null restores the environment's value
   (KZT_HOST_EXE, KZT_CONNECTION, KZT_CONNECTION_212, read when the module is loaded), or
   the default when the environment has none. Unknown keys, values that are not strings,
   and a connection string that can no longer take effect (the store connection is
   already open on another one) are refused, and no setting changes.

   Reply: the settings in force, {"hostExe": ..., "connection": ..., "connection212": ...,
   "cacheDir": ...}, with the values of password and pwd keys, and a URI's password, shown
   as ***: a host that logs its replies logs no secret. No error this interface replies
   shows one. */
KZT00318_API int kzt_configure(const char* config_json, char** reply_json);

/* Shows the observation dialog and waits until the operator leaves it.

   request_json: a JSON array of up to ten entries, each a string, a number, a boolean or
   null; missing entries read as empty:
     0 "S" when an observation is compulsory        5 whether a sale is open
     1 list kind: "C", "P", "CP" or "D"              6 waiting time already given
     2 product code ("IDSOLOBSFINVEN": end of sale)  7 customer code
     3 product name (end of sale: the header text)   8 consumer code
     4 the observation the item already has          9 time value for price lookups

   Reply: {"returned": TEXT, "result": [group code, waiting time, chosen occurrences,
   free text, controlled records], "messages": [{"text": TEXT, "type": N}, ...]}, the two
   record lists as {"fields": [...], "rows": [...]}, and "messages" every message box the
   operator was shown during the call. "returned" is "erro" when the operator left without
   confirming. When the dialog could not be prepared (the store cannot be opened, say) the
   operator was shown why, the reply adds "error" with the same text, "returned" is "" and
   the result entries are null. "cachedAt" (ISO 8601, UTC) is added when
   the store's server could not be reached and the list came from the offline cache: the
   time the server gave it.

   For tests only, KZT_SCRIPT (read at every call) holds the operator's steps in the form
   of kzt-station's --do, separated by commas:
     KZT_SCRIPT=press:sbt01,press:sptConfirmar
   press:NAME, key:VK[+alt][+ctrl][+shift], post:TEXT[,enter][,char], shot:FILE run in
   the dialog in order; editor:TEXT, keypad:TEXT, search:CODE and price:TEXT answer the
   companion dialogs. In the text of post:, editor: or price:, a comma followed by
   anything but a step stays in the text. The call then needs no display (the module's windows go
   offscreen unless QT_QPA_PLATFORM names a platform), message boxes are dismissed, and when the
   steps run out with the dialog still shown it is closed as on shutdown. A step that fails is
   reported in "error"; one that cannot be read refuses the call. Once a process has made
   a scripted call, its unscripted dialog calls are refused: nobody could answer them.

   Refused: a request that is not such an array, a KZT_SCRIPT that cannot be read, no
   display to show the dialog on, a call from another thread, a call made while a dialog
   is showing. */
KZT00318_API int kzt_observacao(const char* request_json, char** reply_json);

/* Calls one of the module's data routines: getOcorCanc, getOcorPed, getOcorCancProd,
   getOcorDesc, getNrSeqVenda, getObrigaObsCan or getQtMaxObserv. args_json: a JSON array
   of the routine's arguments as strings.

   Reply: {"routine": NAME, "result": VALUE}, return value 0. When the routine answered
   with a database error the return value is non-zero and the reply {"routine": NAME,
   "error": TEXT}: TEXT is what the C++ routine (and kzt-station --call) gives in place of
   its value, "Erro no banco de dados: ...", so it is never mistaken for a value here.
   An answer from the offline cache adds "cachedAt", the time the server gave it (ISO
   8601, UTC). Refused: an unknown routine, a wrong argument count, arguments that are not strings
   or that have no Windows-1252 form (every argument is a code). */
KZT00318_API int kzt_call(const char* routine, const char* args_json, char** reply_json);

/* Releases a reply. NULL is allowed. */
KZT00318_API void kzt_free(char* reply_json);

/* The module's version, "MAJOR.MINOR.PATCH"; a static string. */
KZT00318_API const char* kzt_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KZT00318_H */
