/* A tiny host built against the installed plug-in only: the header from
 * include/zelprinter/, the library by its link name. It makes a context,
 * asks for the IPv4 transport and frees the context again. */
#include <stdio.h>

#include <zelprinter/zel_api.h>

/* The record sizes a host relies on, as the installed header declares them. */
typedef char check_settings_size[sizeof(ZelSnmpV3Settings) == 716 ? 1 : -1];
typedef char check_job_size[sizeof(ZelJobInfo) == 1336 ? 1 : -1];

int main(void) {
  ZelContext* ctx = NULL;
  if (ZelInit(NULL) != -2) {
    fprintf(stderr, "host: ZelInit(NULL) did not answer -2\n");
    return 1;
  }
  int32_t rc = ZelInit(&ctx);
  if (rc != 0 || ctx == NULL) {
    fprintf(stderr, "host: ZelInit answered %d\n", (int)rc);
    return 1;
  }
  rc = ZelCommandString(ctx, "CmdSetCommunityGetOption", "public");
  if (rc != 0) {
    fprintf(stderr, "host: ZelCommandString answered %d\n", (int)rc);
    ZelUnInit(ctx);
    return 1;
  }
  if (ZelTransportAvailable(1) != 1) {
    fprintf(stderr, "host: ZelTransportAvailable(1) answered no\n");
    ZelUnInit(ctx);
    return 1;
  }
  ZelUnInit(ctx);
  printf("host: ok\n");
  return 0;
}
