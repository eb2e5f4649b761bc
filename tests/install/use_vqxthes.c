/* use_vqxthes.c: a caller of the installed thesaurus library, built with
 * `cc $(pkg-config --cflags --libs vqxthes)`: the message of a failed
 * dictionary call (the check of a dictionary that does not exist).
 * Argument: a folder. */
#include <stdio.h>
#include <string.h>

#include "itl_thesaurus.h"
#include "voz_cnet.h"

int main(int argc, char** argv) {
  CNETSTATUS status;
  char message[VOZ_CNET_MESSAGE_MAX];
  if (argc != 2) {
    fprintf(stderr, "usage: use_vqxthes <folder>\n");
    return 2;
  }
  memset(&status, 0, sizeof status);
  vozCNETclear(argv[1], "nodict", &status); /* an absent dictionary is no error */
  if (status.retcode != 0) return 1;
  vozCNETverify(argv[1], "nodict", NULL, NULL, NULL, &status);
  memset(message, 0, sizeof message);
  vozCNETgetMessage(2, &status, message);
  printf("check of a missing dictionary: %u %s\n", (unsigned)status.retcode, message);
  return status.retcode != 0 && message[0] != '\0' ? 0 : 1;
}
