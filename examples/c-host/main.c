/* kzt-c-host: a till written in C, with no Qt of its own, that asks the operator for an
   observation through the module's plain C interface and prints what came back.

   kzt-c-host [STATION_DIR [REQUEST_JSON]]

   STATION_DIR holds the station parameter file PARAMETROSQTR.CDS and the store store.db
   (kzt-station --init-sample DIR writes both); without it the module takes them from
   KZT_HOST_EXE / KZT_CONNECTION, or from beside this program. REQUEST_JSON defaults to an
   order of product 1001. Exit status: 0 when the call ran, 1 when it was refused, 2 for an
   unknown option. */

#include <kzt00318/kzt00318.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* `text` as a JSON string: quotes, backslashes and control characters escaped. */
static char* json_string(const char* text)
{
    char* out = malloc(strlen(text) * 6 + 3);
    char* p = out;
    if (out == NULL)
        return NULL;
    *p++ = '"';
    for (; *text != '\0'; ++text) {
        const unsigned char c = (unsigned char)*text;
        if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = (char)c;
        } else if (c < 0x20) {
            p += sprintf(p, "\\u%04x", c);
        } else {
            *p++ = (char)c;
        }
    }
    *p++ = '"';
    *p = '\0';
    return out;
}

/* Points the module at STATION_DIR: the host executable is taken to live there. */
static int configure(const char* station_dir)
{
    static const char name[] = "/kzt-c-host";
    char* host_exe = malloc(strlen(station_dir) + sizeof name);
    char *quoted, *config, *reply = NULL;
    int status;
    if (host_exe == NULL)
        return 1;
    strcpy(host_exe, station_dir);
    strcat(host_exe, name);
    quoted = json_string(host_exe);
    free(host_exe);
    if (quoted == NULL)
        return 1;
    config = malloc(strlen(quoted) + 16);
    if (config == NULL) {
        free(quoted);
        return 1;
    }
    sprintf(config, "{\"hostExe\": %s}", quoted);
    free(quoted);
    status = kzt_configure(config, &reply);
    free(config);
    if (status != 0)
        fprintf(stderr, "kzt-c-host: configuration refused: %s\n", reply ? reply : "");
    kzt_free(reply);
    return status;
}

int main(int argc, char** argv)
{
    const char* request = argc > 2 ? argv[2] : "[\"N\", \"P\", \"1001\", \"X-BURGER\", \"\", true]";
    char* reply = NULL;
    int status;

    if (argc > 1 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        printf("Usage: kzt-c-host [STATION_DIR [REQUEST_JSON]]\n"
               "Asks the operator for an observation through the module's C interface and\n"
               "prints the reply. STATION_DIR holds PARAMETROSQTR.CDS and store.db\n"
               "(kzt-station --init-sample DIR writes both); REQUEST_JSON defaults to an\n"
               "order of product 1001. Exit status: 0 when the call ran, 1 when it was\n"
               "refused.\n");
        return 0;
    }
    /* A folder name that looks like an option is more likely a mistyped option. */
    if (argc > 1 && argv[1][0] == '-') {
        fprintf(stderr, "kzt-c-host: unknown option '%s'; try kzt-c-host --help\n", argv[1]);
        return 2;
    }
    fprintf(stderr, "kzt-c-host: observation module %s\n", kzt_version());
    if (argc > 1 && configure(argv[1]) != 0)
        return 1;

    /* Returns when the operator has confirmed or left the dialog. */
    status = kzt_observacao(request, &reply);
    printf("%s\n", reply ? reply : "");
    kzt_free(reply);
    if (status != 0) {
        fprintf(stderr, "kzt-c-host: the module refused the call; the till goes on\n");
        return 1;
    }
    return 0;
}
