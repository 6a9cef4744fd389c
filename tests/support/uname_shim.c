/* Test-only: uname(2) with the kernel release and machine type taken from
 * the environment, so that a replayed board dump shows its own. Loaded with
 * LD_PRELOAD into the black-box runs; never linked into a shipped target.
 *
 *   QORID_TEST_RELEASE  replaces utsname.release when set
 *   QORID_TEST_MACHINE  replaces utsname.machine when set
 *
 * Every other field, and every failure, is the real uname's. A value longer
 * than the field is cut to fit, as the kernel's own fields are. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>

typedef int (*uname_fn)(struct utsname *);

static void replace(char *field, size_t size, const char *variable) {
  const char *value = getenv(variable);
  if (value == NULL) {
    return;
  }
  size_t length = strlen(value);
  if (length > size - 1) {
    length = size - 1;
  }
  memset(field, 0, size);
  memcpy(field, value, length);
}

int uname(struct utsname *buf) {
  static uname_fn real;
  if (real == NULL) {
    /* dlsym hands back an object pointer; copying it is the portable way to
     * get the function pointer out of it. */
    void *symbol = dlsym(RTLD_NEXT, "uname");
    memcpy(&real, &symbol, sizeof real);
  }
  if (real == NULL) {
    errno = ENOSYS;
    return -1;
  }
  const int status = real(buf);
  if (status != 0) {
    return status;
  }
  replace(buf->release, sizeof buf->release, "QORID_TEST_RELEASE");
  replace(buf->machine, sizeof buf->machine, "QORID_TEST_MACHINE");
  return 0;
}
