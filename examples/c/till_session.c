/*
 * A till session against a fiscal module, in C.
 *
 *   till_session [module-ip] [activation-code] [data-dir]
 *
 * Asks for the library's version, chooses the module by its address, checks
 * it, sells, cancels that sale, reads the last fiscal session back and shows
 * which device answered. Every result is printed split into its fields.
 *
 * The calls block (a network call can wait for minutes when no module
 * answers): a real point-of-sale program makes them from a worker thread,
 * never from the thread that draws its screen.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <taviksat/taviksat.h>

#ifdef _WIN32
#  include <windows.h>
#endif

/* A result text stays valid only for the next 99 calls: copy what you keep. */
static char* copy_text(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = malloc(size);
  if (copy == NULL) {
    fputs("out of memory\n", stderr);
    exit(1);
  }
  return memcpy(copy, text, size);
}

/* The JSON texts come from the library's C runtime and go back to it. On
 * Windows the DLL allocates with msvcrt.dll's malloc, which a program built
 * against another runtime (MSVC's ucrtbase) must not free with its own free. */
static void free_library_text(const char* text) {
#ifdef _WIN32
  typedef void(__cdecl * FreeFunction)(void*);
  FreeFunction msvcrt_free = (FreeFunction)(void*)GetProcAddress(LoadLibraryA("msvcrt.dll"), "free");
  if (msvcrt_free != NULL) msvcrt_free((void*)text);
#else
  free((void*)text);
#endif
}

static char* read_file(const char* dir, const char* name) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  FILE* file = fopen(path, "rb");
  if (file == NULL) {
    fprintf(stderr, "cannot open %s\n", path);
    exit(1);
  }
  size_t size = 0, capacity = 4096;
  char* text = malloc(capacity);
  for (size_t got; text != NULL && (got = fread(text + size, 1, capacity - size - 1, file)) > 0;) {
    size += got;
    if (capacity - size - 1 == 0) text = realloc(text, capacity *= 2);
  }
  fclose(file);
  if (text == NULL) exit(1);
  text[size] = '\0';
  return text;
}

/* "|" separates the fields of a request: an argument holding one would be
 * split by the module, so such text is refused before the call. */
static const char* argument(const char* text) {
  if (strchr(text, '|') != NULL) {
    fprintf(stderr, "refused: an argument holds '|'\n");
    exit(1);
  }
  return text;
}

/* Copies the result and prints it split at "|"; fields[i] points into the copy. */
#define MAX_FIELDS 64
struct Result {
  char* text;
  const char* fields[MAX_FIELDS];
  int count;
};

static struct Result show(const char* call, int session, const char* answer) {
  struct Result result = {copy_text(answer), {0}, 0};
  printf("== %s (session %d)\n", call, session);
  for (char* field = result.text; result.count < MAX_FIELDS;) {
    char* bar = strchr(field, '|');
    if (bar != NULL) *bar = '\0';
    result.fields[result.count++] = field;
    if (strlen(field) > 60) {
      printf("  [%d] %.40s... (%zu characters)\n", result.count, field, strlen(field));
    } else {
      printf("  [%d] %s\n", result.count, field);
    }
    if (bar == NULL) break;
    field = bar + 1;
  }
  return result;
}

static const char* field(const struct Result* result, int number) {
  return number <= result->count ? result->fields[number - 1] : "";
}

static char* replace(const char* text, const char* placeholder, const char* value) {
  const char* at = strstr(text, placeholder);
  if (at == NULL) return copy_text(text);
  size_t head = (size_t)(at - text), size = strlen(text) - strlen(placeholder) + strlen(value) + 1;
  char* out = malloc(size);
  if (out == NULL) exit(1);
  snprintf(out, size, "%.*s%s%s", (int)head, text, value, at + strlen(placeholder));
  return out;
}

int main(int argc, char** argv) {
  const char* ip = argc > 1 ? argv[1] : "127.0.0.1";
  const char* code = argc > 2 ? argv[2] : "12345678";
  const char* data = argc > 3 ? argv[3] : "../data";

  printf("VersaoLib: %s\n", VersaoLib());

  int filter = FiltraMFEIp(argument(ip));
  printf("FiltraMFEIp(%s): %d\n", ip, filter);
  if (filter != 0) return 1;

  int session = GeraNumeroSessao();
  struct Result consult = show("ConsultarSAT", session, ConsultarSAT(session));

  session = GeraNumeroSessao();
  struct Result status =
      show("ConsultarStatusOperacional", session, ConsultarStatusOperacional(session, argument(code)));

  char* sale_xml = read_file(data, "venda.xml");
  session = GeraNumeroSessao();
  struct Result sale = show("EnviarDadosVenda", session, EnviarDadosVenda(session, code, argument(sale_xml)));
  if (strcmp(field(&sale, 2), "06000") != 0) return 1;
  const char* key = field(&sale, 9);
  printf("sale key: %s\n", key);
  printf("sale total: %s\n", field(&sale, 10));

  char* template_xml = read_file(data, "cancelamento.xml");
  char* cancellation_xml = replace(template_xml, "CHAVE_DA_VENDA", key);
  session = GeraNumeroSessao();
  struct Result cancel = show("CancelarUltimaVenda", session,
                              CancelarUltimaVenda(session, code, argument(key), argument(cancellation_xml)));
  printf("cancellation code: %s\n", field(&cancel, 2));

  session = GeraNumeroSessao();
  struct Result last = show("ConsultarUltimaSessaoFiscal", session, ConsultarUltimaSessaoFiscal(session, code));

  const char* json = GetDeviceInfoAsJson();
  printf("GetDeviceInfoAsJson: %s\n", json != NULL ? json : "(none)");
  if (json != NULL) free_library_text(json);

  int cancelled = strcmp(field(&cancel, 2), "07000") == 0;
  struct Result* results[] = {&consult, &status, &sale, &cancel, &last};
  for (size_t i = 0; i < sizeof results / sizeof results[0]; ++i) free(results[i]->text);
  free(sale_xml);
  free(template_xml);
  free(cancellation_xml);
  return cancelled ? 0 : 1;
}
